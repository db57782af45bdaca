// A configuration file beside what the transmitter holds: one row per setting,
// both sides in the unit the window displays, differing rows marked.
#pragma once

#include "ConfigurationFile.h"
#include "ConfigurationRecord.h"
#include "DisplayState.h"

#include <QDialog>
#include <QString>

#include <array>
#include <vector>

class QTableWidget;

struct CompareRow {
    QString setting;
    QString fileText;        // "-" where the file holds nothing for it
    QString transmitterText;
    bool differs = false;
};

// The range, the gravity, then per output its lower and higher value and mode.
std::vector<CompareRow> compareRows(const config::ConfigurationFile &file, const ConfigurationRecord &transmitter,
                                    const std::array<int, 3> &transmitterModes, const DisplayState &display);

class TCompareDialog : public QDialog {
    Q_OBJECT
public:
    TCompareDialog(const QString &fileName, const std::vector<CompareRow> &rows, QWidget *parent = nullptr);
    QTableWidget *table = nullptr;
};
