// The window's recording as the trend shows, starts and stops it.
#include "TrendWindow.h"
#include "OutputLanes.h"
#include "TimeAxis.h"
#include "YRange.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

bool TTrendWindow::startRecording(const QString &path)
{
    if (!host.startRecording(path)) {
        showRecordingState();
        host.showMessage(this, host.translate(QStringLiteral("Cannot open file")) + QChar(13) + path,
                    host.translate(QStringLiteral("Error")));
        return false;
    }
    showRecordingState();
    return true;
}

void TTrendWindow::stopRecording()
{
    host.stopRecording();
    showRecordingState();
}

void TTrendWindow::showRecordingState()
{
    const TrendRecording recording = host.recording();
    const bool on = recording.active;
    recordButton->setEnabled(!on);
    stopButton->setEnabled(on);
    // Called for every line written: the texts come from retranslate().
    if (recording.path.isEmpty()) {
        recordingLabel->setText(recordingTexts[0]);
        return;
    }
    const QString &title = on ? recordingTexts[1] : recording.failed ? recordingTexts[3] : recordingTexts[2];
    const QString lines = QStringLiteral(", ") + host.pluralForm(recordingTexts[4], int(recording.lines));
    // The file's name as far as the label has room, its middle left out: a
    // long name never widens the window. The whole path in the tooltip and
    // the description.
    const QFontMetrics metrics(recordingLabel->font());
    const QString name = QFileInfo(recording.path).fileName();
    const int room = std::max(recordingLabel->width() - metrics.horizontalAdvance(title + lines) - 4,
                              metrics.horizontalAdvance(QStringLiteral("MMMM\u2026MMMM")));
    recordingLabel->setText(title + metrics.elidedText(name, Qt::ElideMiddle, room) + lines);
    const QString path = QDir::toNativeSeparators(recording.path);
    if (recordingLabel->toolTip() != path)
        recordingLabel->setToolTip(path);
    if (recordingLabel->accessibleDescription() != path)
        recordingLabel->setAccessibleDescription(path);
}

void TTrendWindow::chooseRecordingFile()
{
    const QString path = host.chooseSaveFile(this, host.translate(QStringLiteral("Record")),
                                               QStringLiteral("CSV (*.csv);;") + host.translate(QStringLiteral("All files"))
                                                   + QStringLiteral(" (*)"),
                                               QStringLiteral("csv"));
    if (!path.isEmpty())
        startRecording(path);
}
