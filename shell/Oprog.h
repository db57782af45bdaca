// The About window: the product title and the tool's version, one "OK".
// Made once at start-up in the language then in force, and shown again and
// again; a later change of language does not reach it.
#pragma once

#include "ui_Oprog.h"

#include <QDialog>
#include <QString>

class TOProgramu : public QDialog, public Ui_TOProgramu {
    Q_OBJECT

public:
    explicit TOProgramu(QWidget *parent = nullptr);

    void cmCreate();
};

// The tool's own version as "major.minor.release".
QString fileVersionText();
