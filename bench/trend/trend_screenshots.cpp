// Pictures of the trend window and the compare table for docs/screenshots, in
// English and Czech: the window over the simulator, ten minutes of values
// with a recording and a switched-off stretch, then a compare against a
// transmitter that differs from the saved file.
// Usage: trend_screenshots OUTPUT_DIR   (any Qt platform; under Xvfb with xcb
// the fonts are those of a desktop)
#include "Dialogs.h"
#include "Fix64usb.h"
#include "Lang.h"
#include "Main.h"
#include "OperatorTools.h"
#include "TrendWindow.h"
#include "WindowJournal.h"
#include "YRange.h"
#include "qzsim.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QtCharts/QChartView>
#include <QDialog>
#include <QKeyEvent>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstring>

namespace {

void putFloat(uint32_t address, float v) { std::memcpy(qzsim_memory() + address, &v, 4); }

bool shoot(int language, const QString &suffix, const QString &outDir)
{
    QTemporaryDir work;
    qzsim_reset();
    delete theLink;
    theLink = nullptr;
    QString savePath = work.filePath(QStringLiteral("tank-a.cfg"));
    DialogHooks hooks;
    hooks.message = [](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; };
    hooks.saveFile = [&](QWidget *, const FileDialogRequest &) { return savePath; };
    hooks.openFile = [&](QWidget *, const FileDialogRequest &) { return savePath; };
    bool ok = true;
    hooks.execDialog = [&](QDialog &d) {
        d.show();
        d.adjustSize();
        QApplication::processEvents();
        ok = d.grab().save(outDir + QStringLiteral("/compare-%1.png").arg(suffix)) && ok;
        return 0;
    };
    setDialogHooks(hooks);
    setPauseFunction([](unsigned) {});

    TMainF w;
    w.Timer1->stop();
    w.Timer3->stop();
    loadLanguageCatalogueFrom(QStringLiteral(QZ_LANGUAGE_DIR) + QDir::separator());
    currentLanguage = language;
    w.translateMainWindow();
    w.isPressure = true;
    QDateTime now(QDate(2026, 12, 10), QTime(9, 50, 0));
    w.operatorTools->clock = [&now] { return now; };
    w.CCmPoStartu();
    w.show();

    w.operatorTools->showTrend();
    TTrendWindow &trend = *static_cast<TTrendWindow *>(w.operatorTools->trendWindow);
    trend.resize(900, 560);
    trend.spanBox->setCurrentIndex(1);
    trend.startRecording(work.filePath(QStringLiteral("tank-a-2026-12-10.csv")));
    w.checkActualValue->setChecked(true);
    for (int s = 0; s < 600; ++s) {
        if (s == 380)
            w.checkActualValue->setChecked(false);
        if (s == 410)
            w.checkActualValue->setChecked(true);
        const double t = s / 600.0;
        qzsim_push_reading(float(38000 + 30000 * std::sin(t * 6.0) + 4000 * std::sin(s * 0.7)));
        now = now.addSecs(1);
        w.Timer1Timer();
    }
    trend.redraw();
    // the cursor a little before the switched-off stretch
    for (int step = 0; step < 240; ++step)
        trend.moveCursor(-1);
    QApplication::processEvents();
    ok = trend.grab().save(outDir + QStringLiteral("/trend-%1.png").arg(suffix)) && ok;

    // for the keyboard: the chart's focus frame, and a Y range refused in words under its fields
    trend.activateWindow();
    trend.chartView->setFocus();
    trend.yRange->automaticCheck->setChecked(false);
    trend.yRange->fromEdit->setText(QStringLiteral("80"));
    trend.yRange->toEdit->setText(QStringLiteral("20"));
    emit trend.yRange->toEdit->editingFinished();
    QApplication::processEvents();
    ok = trend.grab().save(outDir + QStringLiteral("/trend-keyboard-%1.png").arg(suffix)) && ok;
    trend.yRange->automaticCheck->setChecked(true);
    trend.stopRecording();

    // a write the journal could not take: the reason in the status bar
    journal::Address nowhere;
    nowhere.path = work.filePath(QStringLiteral("no/such/folder/journal.sqlite"));
    auto *journal = new TWindowJournal(w, nowhere);
    w.CmKonfigurace();
    journal->waitForRecords();
    QApplication::processEvents();
    ok = w.grab().save(outDir + QStringLiteral("/main-not-journaled-%1.png").arg(suffix)) && ok;

    // the saved file against a transmitter changed since
    w.CmSave();
    putFloat(80, 75000);
    qzsim_memory()[93] = 4;
    w.operatorTools->compareWithTransmitter();
    return ok;
}

// The trend's dates across midnight in the language shown, values around zero
// without "-0.000", a long recording file's name cut in its middle, the span
// box after zooming, and a span paged past the history.
bool shootTrendTexts(int language, const QString &suffix, const QString &outDir)
{
    QTemporaryDir work;
    qzsim_reset();
    delete theLink;
    theLink = nullptr;
    DialogHooks hooks;
    hooks.message = [](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; };
    setDialogHooks(hooks);
    setPauseFunction([](unsigned) {});

    TMainF w;
    w.Timer1->stop();
    w.Timer3->stop();
    loadLanguageCatalogueFrom(QStringLiteral(QZ_LANGUAGE_DIR) + QDir::separator());
    currentLanguage = language;
    w.translateMainWindow();
    w.isPressure = true;
    QDateTime now(QDate(2026, 12, 10), QTime(23, 52, 0));
    w.operatorTools->clock = [&now] { return now; };
    w.CCmPoStartu();
    w.show();
    w.operatorTools->showTrend();
    TTrendWindow &trend = *static_cast<TTrendWindow *>(w.operatorTools->trendWindow);
    trend.resize(900, 560);
    trend.spanBox->setCurrentIndex(1);
    const QString longName = QStringLiteral("tank-a-2026-12-10-night-shift-pressure-test-after-the-pump-was-changed"
                                            "-second-run-with-the-new-seal-and-the-old-valve.csv");
    trend.startRecording(work.filePath(longName));
    w.checkActualValue->setChecked(true);
    // around zero: a leak test at the zero point
    for (int s = 0; s < 600; ++s) {
        qzsim_push_reading(float(0.4 * std::sin(s / 40.0)));
        now = now.addSecs(1);
        w.Timer1Timer();
    }
    trend.redraw();
    for (int step = 0; step < 250; ++step)
        trend.moveCursor(-1);
    QApplication::processEvents();
    bool ok = trend.grab().save(outDir + QStringLiteral("/trend-dates-%1.png").arg(suffix));
    trend.stopRecording();
    QApplication::processEvents();
    ok = trend.grab().save(outDir + QStringLiteral("/trend-long-file-%1.png").arg(suffix)) && ok;
    // the outputs hidden, the axis around the values: zero is "0.000", on a sample just below it too
    for (QCheckBox *output : trend.outputChecks)
        output->setChecked(false);
    for (int step = 0; step < 150; ++step)
        trend.moveCursor(-1);
    QApplication::processEvents();
    ok = trend.grab().save(outDir + QStringLiteral("/trend-zero-%1.png").arg(suffix)) && ok;
    for (QCheckBox *output : trend.outputChecks)
        output->setChecked(true);

    // zoomed in: the span box says the span is one of its own no more
    trend.chartView->setFocus();
    QKeyEvent plus(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
    QApplication::sendEvent(trend.chartView, &plus);
    QApplication::processEvents();
    ok = trend.grab().save(outDir + QStringLiteral("/trend-custom-span-%1.png").arg(suffix)) && ok;
    // paged back past the oldest value
    for (int i = 0; i < 3; ++i) {
        QKeyEvent pageUp(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        QApplication::sendEvent(trend.chartView, &pageUp);
    }
    QApplication::processEvents();
    ok = trend.grab().save(outDir + QStringLiteral("/trend-no-values-%1.png").arg(suffix)) && ok;
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir runtime;
    QTemporaryDir config;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    useDesignStyle();
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool ok = shoot(0, QStringLiteral("en"), out) && shoot(1, QStringLiteral("cs"), out)
                    && shoot(2, QStringLiteral("de"), out) && shootTrendTexts(0, QStringLiteral("en"), out)
                    && shootTrendTexts(1, QStringLiteral("cs"), out) && shootTrendTexts(2, QStringLiteral("de"), out);
    return ok ? 0 : 1;
}
