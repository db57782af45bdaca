#include "CompareDialog.h"

#include "ConfigurationExchange.h"
#include "Lang.h"
#include "MemoryMap.h"
#include "NumberText.h"
#include "Units.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <utility>


namespace {

QString modeText(int mode)
{
    static const char *const names[] = {"Off", "Compression", "Extraction", "Correct value", "Error value"};
    if (mode < 0 || mode > 4)
        return QStringLiteral("-");
    return translate(QString::fromLatin1(names[mode]));
}

// Both values as the window shows them; where that rounds a difference in
// Pa away, with as many more decimals as tell them apart, or else in Pa with
// every digit a float has. Equal texts therefore mean equal values.
std::pair<QString, QString> distinctTexts(float a, float b, const DisplayState &display)
{
    QString first = display::shownWithUnit(a, display);
    QString second = display::shownWithUnit(b, display);
    const bool differ = !(a == b) && !(std::isnan(a) && std::isnan(b));
    if (!differ || first != second)
        return {first, second};
    for (int extra = 1; extra <= 6 && first == second; ++extra) {
        const int decimals = display.decimals + extra;
        first = display::shownNumber(a, display.unitFactor, decimals) + u' ' + display.unitText;
        second = display::shownNumber(b, display.unitFactor, decimals) + u' ' + display.unitText;
    }
    if (first == second) {
        first = QString::number(double(a), 'g', 9) + QStringLiteral(" Pa");
        second = QString::number(double(b), 'g', 9) + QStringLiteral(" Pa");
    }
    return {first, second};
}

} // namespace

std::vector<CompareRow> compareRows(const config::ConfigurationFile &file, const ConfigurationRecord &transmitter,
                                    const std::array<int, 3> &transmitterModes, const DisplayState &display)
{
    std::vector<CompareRow> rows;
    // A file holds no range: shown for reference, never a difference.
    rows.push_back({translate(QStringLiteral("Nominal range")), QStringLiteral("-"),
                    display::shownWithUnit(transmitter.nominalRange, display), false});

    // The gravity as the window takes it: a whole number.
    const std::optional<float> fileGravity = strictToFloat(file.gravityText);
    const QString fileGravityText = fileGravity ? config::gravityText(*fileGravity) : file.gravityText;
    const QString transmitterGravity = config::gravityText(transmitter.specificGravity);
    rows.push_back({translate(QStringLiteral("Specific gravity")) + QStringLiteral(" [kg/m^3]"), fileGravityText,
                    transmitterGravity, fileGravityText != transmitterGravity});

    for (int output = 0; output < 3; ++output) {
        for (const bool higher : {false, true}) {
            const int index = 2 * output + (higher ? 1 : 0);
            const float fromFile = file.values[static_cast<std::size_t>(index)];
            const float fromTransmitter = transmitter.limitValue(index);
            const auto [fileText, transmitterText] = distinctTexts(fromFile, fromTransmitter, display);
            rows.push_back({translateFormat(higher ? QStringLiteral("Output %i higher value")
                                                   : QStringLiteral("Output %i lower value"),
                                            output + 1),
                            fileText, transmitterText, fileText != transmitterText});
        }
        const int fileMode = file.modes[static_cast<std::size_t>(output)];
        const int transmitterMode = transmitterModes[static_cast<std::size_t>(output)];
        const bool bothNone = (fileMode < 0 || fileMode > 4) && (transmitterMode < 0 || transmitterMode > 4);
        rows.push_back({translateFormat(QStringLiteral("Output %i configuration"), output + 1), modeText(fileMode),
                        modeText(transmitterMode), !bothNone && fileMode != transmitterMode});
    }
    return rows;
}

TCompareDialog::TCompareDialog(const QString &fileName, const std::vector<CompareRow> &rows, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("compareDialog"));
    setWindowTitle(translate(QStringLiteral("Compare file with transmitter")));
    auto *layout = new QVBoxLayout(this);
    auto *caption = new QLabel(translateWithColon(QStringLiteral("File")) + QFileInfo(fileName).fileName(), this);
    layout->addWidget(caption);

    table = new QTableWidget(int(rows.size()), 4, this);
    table->setObjectName(QStringLiteral("compareTable"));
    table->setAccessibleName(translate(QStringLiteral("Compare file with transmitter")));
    table->setHorizontalHeaderLabels({translate(QStringLiteral("Setting")), translate(QStringLiteral("File")),
                                      translate(QStringLiteral("Transmitter")), translate(QStringLiteral("Difference"))});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    const QColor marked(255, 224, 160);
    for (int r = 0; r < int(rows.size()); ++r) {
        const CompareRow &row = rows[static_cast<std::size_t>(r)];
        const QString cells[] = {row.setting, row.fileText, row.transmitterText,
                                 row.differs ? translate(QStringLiteral("Different")) : QString()};
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == 1 || c == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (row.differs) {
                item->setBackground(marked);
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(translate(QStringLiteral("Close")));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    int width = 0;
    for (int c = 0; c < 4; ++c)
        width += table->columnWidth(c);
    int height = table->horizontalHeader()->height();
    for (int r = 0; r < table->rowCount(); ++r)
        height += table->rowHeight(r);
    table->setMinimumSize(width + 2 * table->frameWidth() + 24, height + 2 * table->frameWidth());
}
