// What the trend window saves: the history as CSV and the chart as a picture
// with its title, time range and figures. A failed save keeps the old file.
#include "HistoryExport.h"
#include "OutputLanes.h"
#include "TrendWindow.h"

#include <QAction>
#include <QBuffer>
#include <QDateTime>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include "TimeAxis.h"
#include <QtCharts/QLegend>

#include <cstdint>

void TTrendWindow::addExportButton(QHBoxLayout *row)
{
    exportButton = new QPushButton(this);
    exportButton->setObjectName(QStringLiteral("trendExport"));
    auto *menu = new QMenu(exportButton);
    exportShownAction = menu->addAction(QString());
    exportShownAction->setObjectName(QStringLiteral("trendExportShown"));
    exportAllAction = menu->addAction(QString());
    exportAllAction->setObjectName(QStringLiteral("trendExportAll"));
    // Space or Enter on the button opens the menu, the arrows choose.
    exportButton->setMenu(menu);
    connect(exportShownAction, &QAction::triggered, this, [this] { chooseExportFile(false); });
    connect(exportAllAction, &QAction::triggered, this, [this] { chooseExportFile(true); });
    row->addWidget(exportButton);
}

void TTrendWindow::retranslateSaving()
{
    exportButton->setText(host.translateWithEllipsis(QStringLiteral("Export")));
    exportButton->setAccessibleName(host.translate(QStringLiteral("Export")));
    exportShownAction->setText(host.translate(QStringLiteral("Span shown")));
    exportAllAction->setText(host.translate(QStringLiteral("Everything")));
    saveImageButton->setAccessibleName(host.translate(QStringLiteral("Save image")));
}

void TTrendWindow::tellSaveFailed(int saved, const QString &path)
{
    const QString text = saved == int(trendexport::Saved::CannotOpen) ? QStringLiteral("Cannot open file")
                                                                      : QStringLiteral("File cannot be written");
    host.showMessage(this, host.translate(text) + QChar(13) + path, host.translate(QStringLiteral("Error")));
}

bool TTrendWindow::exportHistory(const QString &path, bool everything)
{
    const int64_t from = everything ? INT64_MIN : axisX->begin();
    const int64_t to = everything ? INT64_MAX : axisX->end();
    const QByteArray lines = trendexport::historyCsv(
        history, from, to, [this](float pascal) { return host.shownNumber(pascal); }, host.display().unitText);
    const trendexport::Saved saved = trendexport::saveWhole(
        path, [&lines](QIODevice &file) { return file.write(lines) == lines.size(); });
    if (saved != trendexport::Saved::Yes) {
        tellSaveFailed(int(saved), path);
        return false;
    }
    return true;
}

void TTrendWindow::chooseExportFile(bool everything)
{
    const QString path = host.chooseSaveFile(this, host.translate(QStringLiteral("Export")),
                                             QStringLiteral("CSV (*.csv);;") + host.translate(QStringLiteral("All files"))
                                                 + QStringLiteral(" (*)"),
                                             QStringLiteral("csv"));
    if (!path.isEmpty())
        exportHistory(path, everything);
}

QImage TTrendWindow::picture() const
{
    // The legend is part of the chart's own picture.
    chart->legend()->setVisible(true);
    const QPixmap chartPicture = chartView->grab();
    // The outputs' lanes belong to the chart: on its time axis, under it.
    const QPixmap lanesPicture = lanes->isVisibleTo(this) ? lanes->grab() : QPixmap();
    const qreal scale = chartPicture.devicePixelRatio();
    const int width = int(chartPicture.width() / scale);
    const int lanesHeight = int(lanesPicture.height() / scale);
    const int chartHeight = int(chartPicture.height() / scale) + lanesHeight;

    QFont titleFont = font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    const QFontMetrics titleMetrics(titleFont);
    const QFontMetrics textMetrics(font());
    constexpr int kMargin = 8;
    const int headerHeight = kMargin + titleMetrics.height() + textMetrics.height() + kMargin / 2;
    const int footerHeight = kMargin / 2 + textMetrics.height() + kMargin;

    // With the offsets from UTC, as the exported lines have them.
    const QString range = trendexport::timeRangeText(axisX->begin(), axisX->end(), axisX->zone);

    QImage image(QSize(width, headerHeight + chartHeight + footerHeight) * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    const int textWidth = width - 2 * kMargin;
    painter.setFont(titleFont);
    painter.drawText(QRect(kMargin, kMargin, textWidth, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(windowTitle(), Qt::ElideRight, textWidth));
    painter.setFont(font());
    painter.drawText(QRect(kMargin, kMargin + titleMetrics.height(), textWidth, textMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, range);
    painter.drawPixmap(0, headerHeight, chartPicture);
    if (!lanesPicture.isNull())
        painter.drawPixmap(lanes->x() - chartView->x(), headerHeight + chartHeight - lanesHeight, lanesPicture);
    painter.drawText(QRect(kMargin, headerHeight + chartHeight + kMargin / 2, textWidth, textMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     textMetrics.elidedText(statsLabel->text(), Qt::ElideRight, textWidth));
    painter.end();
    return image;
}

bool TTrendWindow::saveImage(const QString &path)
{
    // Encoded whole in memory first: the PNG writer, stopped by a failing
    // file, loses a row's buffer; and the file then gets only finished bytes.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture().save(&buffer, "PNG");
    const trendexport::Saved saved = trendexport::saveWhole(
        path, [&png](QIODevice &file) { return !png.isEmpty() && file.write(png) == png.size(); });
    if (saved != trendexport::Saved::Yes) {
        tellSaveFailed(int(saved), path);
        return false;
    }
    return true;
}

void TTrendWindow::chooseImageFile()
{
    const QString path = host.chooseSaveFile(this, host.translate(QStringLiteral("Save image")),
                                             QStringLiteral("PNG (*.png)"), QStringLiteral("png"));
    if (!path.isEmpty())
        saveImage(path);
}
