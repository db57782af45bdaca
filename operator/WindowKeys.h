// The main window's keys in another window of the tool (the trend): each runs
// the main window's item, and afterwards the focus and the stacking go back
// to that window, where they were before the item's box or dialog.
#pragma once

#include <QList>

class QAction;
class QWidget;

// Keys of their own in `window`, one per item, with the item's shortcuts.
void lendWindowKeys(QWidget &window, const QList<QAction *> &items);
