// The window's controls in groups and its boxes with fixed texts, shared by
// the transmitter handlers (MainOperations.cpp) and the value handlers
// (MainValues.cpp).
#pragma once

#include "Dialogs.h"
#include "Lang.h"
#include "Main.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>

#include <array>
#include <cstddef>

namespace mainwindow {

// The edits of the six values, in the record's order: lower 1, higher 1, lower 2, ...
inline std::array<QLineEdit *, 6> limitEdits(TMainF &w)
{
    return {w.V1_P1, w.V1_P2, w.V2_P1, w.V2_P2, w.V3_P1, w.V3_P2};
}

// A limit edit's text as the window itself last put it there, from the
// record. Text that differs was typed by the operator; an edit left as shown
// keeps its member exactly as read or loaded (not-a-number and infinite bytes
// included), never its rounded text read back.
inline void showLimit(QLineEdit *edit, const QString &text)
{
    edit->setText(text);
    edit->setProperty("shownText", text);
}

inline bool typedByOperator(const QLineEdit *edit)
{
    return edit->text() != edit->property("shownText").toString();
}

inline std::array<QComboBox *, 3> modeBoxes(TMainF &w)
{
    return {w.comboBoxConfiguration1, w.comboBoxConfiguration2, w.comboBoxConfiguration3};
}

inline std::array<QProgressBar *, 3> lamps(TMainF &w) { return {w.AHMLed1, w.AHMLed2, w.AHMLed3}; }

inline std::array<int, 3> selectedModes(TMainF &w)
{
    std::array<int, 3> modes{};
    const auto boxes = modeBoxes(w);
    for (std::size_t i = 0; i < boxes.size(); ++i)
        modes[i] = boxes[i]->currentIndex();
    return modes;
}

inline void message(TMainF *w, const char *text, const char *title)
{
    showMessage(w, translate(QString::fromLatin1(text)), translate(QString::fromLatin1(title)));
}

} // namespace mainwindow
