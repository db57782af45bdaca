// Compiled into every program that links qz5801_trend (an interface source of
// it): the window's side takes the linked factory and loads no file.
#include "TrendHost.h"
#include "TrendWindow.h"

namespace {

const bool linked = [] {
    setLinkedTrendViewFactory(&qz5801CreateTrendView);
    return true;
}();

} // namespace
