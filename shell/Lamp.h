// An output lamp: a bar of maximum 1 drawn lime on black inside a 3-pixel
// black border. Painted here rather than by a style sheet: one style sheet in
// the window brings Qt's whole style-sheet machinery into every start.
#pragma once

#include <QProgressBar>

// No meta-object of its own: to the window and its readers it is the bar the
// design has, only painted differently.
class TLamp : public QProgressBar {
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent *event) override;
};
