// An output's mode box: a combo box whose popup list is made when it is first
// opened. Qt makes the list on every font change of the box, to hand it the
// new font, and the window's panels change the font of their boxes as they
// are made: three lists, with their views and scroll bars, at every start,
// half a megabyte for lists most sessions never open.
#pragma once

#include <QComboBox>

// No meta-object of its own: to the window and its readers it is the design's combo box.
class TModeBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    void showPopup() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    bool listShown = false;
};
