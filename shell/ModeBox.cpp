#include "ModeBox.h"

#include <QEvent>

void TModeBox::changeEvent(QEvent *event)
{
    // Before the list is first shown a font change is only noted: the box
    // repaints with its new font as every widget does, and the size it
    // reports is measured anew when it is first shown.
    if (event->type() == QEvent::FontChange && !listShown) {
        QWidget::changeEvent(event);
        return;
    }
    QComboBox::changeEvent(event);
}

void TModeBox::showPopup()
{
    if (!listShown) {
        listShown = true;
        // What Qt would have done at the changes it was spared: the list gets the box's font.
        QEvent change(QEvent::FontChange);
        QComboBox::changeEvent(&change);
    }
    QComboBox::showPopup();
}
