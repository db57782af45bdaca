// Qt lets no exception cross its event loop, so every event handler of the
// windows runs inside this guard: an error that escapes the handler is shown
// in the standard error box and the tool goes on.
#pragma once

#include "Dialogs.h"

#include <QString>

#include <exception>
#include <utility>

template <typename Handler> void runGuarded(QWidget *owner, Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &error) {
        showErrorBox(owner, QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorBox(owner, QString());
    }
}
