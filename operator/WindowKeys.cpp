#include "WindowKeys.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QWidget>

void lendWindowKeys(QWidget &window, const QList<QAction *> &items)
{
    for (QAction *item : items) {
        auto *key = new QAction(&window);
        key->setObjectName(item->objectName() + QStringLiteral("Key"));
        key->setShortcuts(item->shortcuts());
        key->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(key, &QAction::triggered, &window, [item, here = QPointer<QWidget>(&window)] {
            if (!item->isEnabled())
                return;
            QPointer<QWidget> focus = QApplication::focusWidget();
            item->trigger();
            // A box of the main window closes into the main window: back here,
            // unless the item closed either window (Exit).
            const auto *owner = qobject_cast<QWidget *>(item->parent());
            if (!here || !here->isVisible() || (owner && !owner->window()->isVisible()))
                return;
            here->raise();
            here->activateWindow();
            if (focus && here->isAncestorOf(focus))
                focus->setFocus(Qt::OtherFocusReason);
        });
        window.addAction(key);
    }
}
