#include "ModeBox.h"

#include <QEvent>

void TModeBox::changeEvent(QEvent *event)
{
    // Before the list is first shown a font change is only noted: the box
    // repaints with its new font as every widget does, and the size it
    // reports is measured anew when it is first shown.
    if (event->type() == QEvent::FontChange && !listShown) {
        fontHandedOn = false;
        QWidget::changeEvent(event);
        return;
    }
    QComboBox::changeEvent(event);
}

void TModeBox::showPopup()
{
    if (!listShown) {
        listShown = true;
        if (!fontHandedOn) {
            // What Qt would have done at the change: the list gets the box's font.
            QEvent change(QEvent::FontChange);
            QComboBox::changeEvent(&change);
            fontHandedOn = true;
        }
    }
    QComboBox::showPopup();
}
