// The window's own handlers: value entry, configuration files, display modes
// and units; thin over config/ and display/, with the controls and boxes.
#include "Main.h"

#include "ConfigurationFile.h"
#include "Dialogs.h"
#include "MainControls.h"
#include "Units.h"
#include "ValueEntry.h"

#include <array>

using mainwindow::limitEdits;
using mainwindow::message;
using mainwindow::modeBoxes;
using mainwindow::selectedModes;
using mainwindow::showLimit;
using mainwindow::typedByOperator;

namespace {

void redisplay(TMainF &w)
{
    const auto edits = limitEdits(w);
    for (int i = 0; i < 6; ++i)
        showLimit(edits[static_cast<std::size_t>(i)], display::shownNumber(w.limitValue(i), w));
    w.Rozsah->setText(display::shownWithUnit(w.nominalRange, w));
}

// Leaving the edit of value `index` (record order): the checks, then the value taken.
void enterLimit(TMainF &w, int index)
{
    const int output = index / 2;
    const bool higher = index % 2 == 1;
    const auto edits = limitEdits(w);
    QLineEdit *lowerEdit = edits[static_cast<std::size_t>(2 * output)];
    QLineEdit *higherEdit = edits[static_cast<std::size_t>(2 * output + 1)];
    QLineEdit *left = higher ? higherEdit : lowerEdit;
    const display::LimitEntry entry = display::checkLimitEntry(higher, higherEdit->text(), lowerEdit->text(),
                                                               w.unitFactor, w, typedByOperator(left));
    for (const char *text : entry.messages) {
        message(&w, text, "Error");
        left->setFocus();
    }
    if (entry.store)
        w.limitValue(index) = entry.value;
    else if (!entry.messages.empty())
        w.leaveCheckRefused = true;
}

const FileDialogRequest kSaveDialog{QStringLiteral("Zápis souboru konfigurace"),
                                    QStringLiteral("Soubory konfigurace (*.cfg);;Všechny soubory (*)"),
                                    QStringLiteral("cfg")};
const FileDialogRequest kOpenDialog{QStringLiteral("Otevření souboru konfigurace"),
                                    QStringLiteral("Soubory konfigurace (*.cfg);;Všechny soubory (*)"),
                                    QStringLiteral("cfg")};

} // namespace

// ---- Value entry ----

void TMainF::CmFilter11() { enterLimit(*this, 1); }
void TMainF::CmFilter12() { enterLimit(*this, 0); }
void TMainF::CmFilter21() { enterLimit(*this, 3); }
void TMainF::CmFilter22() { enterLimit(*this, 2); }
void TMainF::CmFilter31() { enterLimit(*this, 5); }
void TMainF::CmFilter32() { enterLimit(*this, 4); }

void TMainF::CmFilterR()
{
    const int checkedLengthUnit = Butmm->isChecked() ? 0 : Butm->isChecked() ? 1 : Butinch->isChecked() ? 2 : -1;
    const display::GravityEntry entry = display::applyGravityEntry(
        Ro->text(), checkedLengthUnit, checkHeightLiquidColumn->isChecked(), *this, *this);
    emit displayChanged();
    for (const char *text : entry.messages) {
        Ro->setFocus();
        message(this, text, "Error");
        if (qstrcmp(text, display::kTextInvalidRealNumber) == 0)
            leaveCheckRefused = true;
    }
}

void TMainF::CmKeyPress(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        CmFilterR();
}

// ---- Configuration files ----

void TMainF::CmSave()
{
    // The file holds what the operator sees: an edit still being typed in is
    // checked and taken first, as leaving it would (Ctrl+S leaves nothing).
    if (!checkFocusedEdit())
        return;
    const QString path = chooseSaveFile(this, kSaveDialog);
    if (path.isEmpty())
        return;
    const config::ConfigurationFile file =
        config::fileFromRecord(*this, checkPressure->isChecked(), Ro->text(), selectedModes(*this));
    if (!config::saveConfigurationFile(path, file))
        message(this, "Cannot open file", "Error");
}

void TMainF::CmLoad()
{
    const QString path = chooseOpenFile(this, kOpenDialog);
    if (path.isEmpty())
        return;
    // A file is taken whole or not at all; number lines must read as numbers.
    const std::optional<config::ConfigurationFile> file =
        config::loadConfigurationFile(path, config::NumberLines::MustRead);
    if (!file) {
        message(this, "Cannot open file", "Error");
        return;
    }
    config::applyToRecord(*file, *this);
    Ro->setText(file->gravityText);
    const auto boxes = modeBoxes(*this);
    for (std::size_t i = 0; i < boxes.size(); ++i)
        boxes[i]->setCurrentIndex(file->modes[i]);
    if (fileIsPressure)
        checkPressureClick();
    else
        checkHeightLiquidColumnClick();
}

// ---- Display modes and units ----

void TMainF::checkPressureClick()
{
    isPressure = true;
    checkPressure->setChecked(true);
    checkHeightLiquidColumn->setChecked(false);
    captionPressureUnits->show();
    captionUnitsOfLength->hide();
    display::applyPressureMode(*this);
    redisplay(*this);
    emit displayChanged();
}

void TMainF::checkHeightLiquidColumnClick()
{
    isPressure = false;
    checkPressure->setChecked(false);
    checkHeightLiquidColumn->setChecked(true);
    captionPressureUnits->hide();
    captionUnitsOfLength->show();
    display::applyLengthMode(*this);
    redisplay(*this);
    emit displayChanged();
}

void TMainF::CmPa()
{
    display::selectPressureUnit(*this, 0);
    checkPressureClick();
}
void TMainF::CmkPa()
{
    display::selectPressureUnit(*this, 1);
    checkPressureClick();
}
void TMainF::CmMPa()
{
    display::selectPressureUnit(*this, 2);
    checkPressureClick();
}
void TMainF::Cmmbar()
{
    display::selectPressureUnit(*this, 3);
    checkPressureClick();
}
void TMainF::Cmbar()
{
    display::selectPressureUnit(*this, 4);
    checkPressureClick();
}
void TMainF::Cmpsi()
{
    display::selectPressureUnit(*this, 5);
    checkPressureClick();
}

// A gravity in `Ro` that is no number, or 0, raises: the window's handler
// boundary shows the error's own text.
void TMainF::Cmmm()
{
    display::selectLengthUnit(*this, 0, Ro->text());
    checkHeightLiquidColumnClick();
}
void TMainF::Cmm()
{
    display::selectLengthUnit(*this, 1, Ro->text());
    checkHeightLiquidColumnClick();
}
void TMainF::CmInch()
{
    display::selectLengthUnit(*this, 2, Ro->text());
    checkHeightLiquidColumnClick();
}
