// The About window: the product title and the tool's version, one "OK", and
// the licences of the tool and the libraries it uses. Made once at start-up in
// the language then in force, and shown again and again; a later change of
// language does not reach it.
#pragma once

#include "ui_Oprog.h"

#include <QDialog>
#include <QIcon>
#include <QImage>
#include <QString>

class TOProgramu : public QDialog, public Ui_TOProgramu {
    Q_OBJECT

public:
    explicit TOProgramu(QWidget *parent = nullptr);

    void cmCreate();

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool labelsSized = false;
};

// The tool's own version as "major.minor.release".
QString fileVersionText();

// The licence the program is distributed under, that of our own source, and
// the libraries it is built with, each with its licence; through the lookup.
QString licenceText();

// The program icon at every size it is drawn in (title bars, task bars, About).
QIcon programIcon();

// The icon's ready pixels at a size offered to window systems (16, 24, 32,
// 48, 64), a null image at any other; the same as its PNG image of that size.
QImage programIconPixels(int side);
