// The trend, the recording, the compare, the connection state, the keys and
// the accessible names, on the real main window over the simulated transmitter.
#include "ShellTestSupport.h"

#include "Accessibility.h"
#include "CompareDialog.h"
#include "FileSizeLimit.h"
#include "Fix64usb.h"
#include "Lang.h"
#include "Main.h"
#include "NumberText.h"
#include "OperatorTools.h"
#include "TimeAxis.h"
#include "TrendWindow.h"
#include "Units.h"
#include "ValueAxis.h"
#include "qzsim.h"
#include "SimulatorSupport.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <cmath>

using namespace shelltest;
using namespace simtest;

namespace {

const QStringList kReadRequests = {"command 2", "read 890/8", "read 67/27", "read 67/4", "read 71/4",
                                   "read 75/1", "read 76/4",  "read 80/4",  "read 84/1", "read 85/4",
                                   "read 89/4", "read 93/1",  "command 1"};

QStringList fileLines(const QString &path)
{
    QStringList lines = QString::fromUtf8(readBytes(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
}

// What the window shows and holds of the configuration, to see it untouched.
QStringList windowConfiguration(TMainF &w)
{
    QStringList state;
    for (QLineEdit *e : {w.V1_P1, w.V1_P2, w.V2_P1, w.V2_P2, w.V3_P1, w.V3_P2, w.Rozsah, w.Ro})
        state << e->text();
    for (QComboBox *c : {w.comboBoxConfiguration1, w.comboBoxConfiguration2, w.comboBoxConfiguration3})
        state << QString::number(c->currentIndex());
    for (int i = 0; i < 6; ++i)
        state << QString::number(double(w.limitValue(i)));
    state << QString::number(double(w.nominalRange)) << QString::number(double(w.specificGravity));
    state << QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(w.memoryImage.data()),
                                            qsizetype(w.memoryImage.size()))
                                     .toHex());
    return state;
}

} // namespace

class OperatorToolsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;
    DialogHooks previousHooks;
    QList<MessageRequest> boxes;
    QString openPath;
    QString savePath;
    std::function<void(QDialog &)> onDialog;
    QDateTime now;
    QTemporaryDir languageCopy;

    TMainF &connectedWindow()
    {
        window.reset();
        home = std::make_unique<ConfigHome>();
        window = stillWindow();
        window->operatorTools->clock = [this] { return now; };
        window->isPressure = true;
        window->CCmPoStartu();
        qzsim_clear_logs();
        boxes.clear();
        return *window;
    }

    void tick(TMainF &w)
    {
        now = now.addMSecs(1000);
        w.Timer1Timer();
    }

    TTrendWindow &openTrend(TMainF &w)
    {
        w.operatorTools->showTrend();
        return *static_cast<TTrendWindow *>(w.operatorTools->trendWindow);
    }

    // The history as texts: values in Pa, "gap" for a break.
    static QStringList historyTexts(const TrendHistory &h)
    {
        QStringList list;
        for (std::size_t i = 0; i < h.size(); ++i)
            list << (std::isnan(h.at(i).pascal) ? QStringLiteral("gap") : QString::number(double(h.at(i).pascal)));
        return list;
    }

    static QList<QPointF> drawnValues(const TTrendWindow &t)
    {
        QList<QPointF> points;
        for (QLineSeries *s : t.valueSeries)
            points += s->points();
        return points;
    }

    void useLanguage(int index)
    {
        loadLanguageCatalogueFrom(languageCopy.path() + QDir::separator());
        currentLanguage = index;
        loadMessageTable();
    }

private slots:
    void initTestCase()
    {
        // A copy, so the missing-text logs the lookup writes stay out of the build.
        const QDir shipped(QStringLiteral(QZ_LANGUAGE_DIR));
        for (const QString &name : shipped.entryList(QDir::Files))
            QVERIFY(QFile::copy(shipped.filePath(name), languageCopy.filePath(name)));
    }

    void init()
    {
        delete theLink;
        theLink = nullptr;
        qzsim_reset();
        qzsim_set_value(50000);
        setDecimalSeparatorForTesting(u'.');
        now = QDateTime(QDate(2026, 12, 10), QTime(9, 0, 0));
        boxes.clear();
        openPath.clear();
        savePath.clear();
        onDialog = nullptr;
        DialogHooks hooks;
        hooks.message = [this](QWidget *, const MessageRequest &r) {
            boxes << r;
            return r.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        hooks.openFile = [this](QWidget *, const FileDialogRequest &) { return openPath; };
        hooks.saveFile = [this](QWidget *, const FileDialogRequest &) { return savePath; };
        hooks.execDialog = [this](QDialog &d) {
            if (onDialog)
                onDialog(d);
            return int(QDialog::Rejected);
        };
        previousHooks = setDialogHooks(hooks);
        setPauseFunction([](unsigned) {});
    }
    void cleanup()
    {
        window.reset();
        home.reset();
        delete theLink;
        theLink = nullptr;
        setDialogHooks(previousHooks);
        setPauseFunction({});
        setDecimalSeparatorForTesting(QChar());
        currentLanguage = 0;
    }

    // ---- The trend's data ----

    void trendTakesExactlyThePolledValues_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("history");
        // a number: that reading, then a tick; "tick": a tick at 50000 Pa; "off"/"on": the check;
        // "silent": a tick that gets no reply
        QTest::newRow("values") << QStringList{"100", "200", "300"} << QStringList{"100", "200", "300"};
        QTest::newRow("switched off between")
            << QStringList{"100", "off", "tick", "tick", "on", "400"} << QStringList{"100", "gap", "400"};
        QTest::newRow("no reply switches off")
            << QStringList{"100", "silent", "tick", "on", "300"} << QStringList{"100", "gap", "300"};
        QTest::newRow("off before anything") << QStringList{"off", "tick"} << QStringList{};
    }
    void trendTakesExactlyThePolledValues()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, history);
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        for (const QString &step : steps) {
            if (step == QLatin1String("off") || step == QLatin1String("on")) {
                w.checkActualValue->setChecked(step == QLatin1String("on"));
            } else if (step == QLatin1String("silent")) {
                qzsim_set_fault(QZSIM_FAULT_NO_REPLY);
                tick(w);
                qzsim_set_fault(QZSIM_FAULT_NONE);
            } else if (step == QLatin1String("tick")) {
                tick(w);
            } else {
                qzsim_push_reading(step.toFloat());
                tick(w);
            }
        }
        QCOMPARE(historyTexts(w.operatorTools->history), history);
        // one value per poll, stamped with the poll's time
        const TrendHistory &h = w.operatorTools->history;
        for (std::size_t i = 1; i < h.size(); ++i)
            QVERIFY(h.at(i).ms >= h.at(i - 1).ms);
        if (h.size() > 0)
            QCOMPARE(h.at(h.size() - 1).ms, now.toMSecsSinceEpoch());
    }

    void unitChangeRedrawsTheWholeHistory_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("title"); // the value axis's
        QTest::newRow("Pa") << "Pa" << "Pressure [Pa]";
        QTest::newRow("bar") << "bar" << "Pressure [bar]";
        QTest::newRow("psi") << "psi" << "Pressure [psi]";
        QTest::newRow("mm of liquid") << "mm" << "Height of the liquid column [mm]";
        QTest::newRow("inch of liquid") << "inch" << "Height of the liquid column [inch]";
    }
    void unitChangeRedrawsTheWholeHistory()
    {
        QFETCH(QString, unit);
        QFETCH(QString, title);
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        const QList<float> readings{12000, 34500, 47250};
        for (float r : readings) {
            qzsim_push_reading(r);
            tick(w);
        }
        const int before = trend.redraws;
        const std::map<QString, void (TMainF::*)()> handlers{{"Pa", &TMainF::CmPa},     {"bar", &TMainF::Cmbar},
                                                             {"psi", &TMainF::Cmpsi},   {"mm", &TMainF::Cmmm},
                                                             {"inch", &TMainF::CmInch}};
        (w.*handlers.at(unit))();
        QCOMPARE(w.unitText, unit);
        QVERIFY(trend.redraws > before);

        const QList<QPointF> drawn = drawnValues(trend);
        QCOMPARE(drawn.size(), readings.size());
        for (int i = 0; i < readings.size(); ++i)
            QVERIFY2(qFuzzyCompare(drawn[i].y(), double(readings[i]) * double(w.unitFactor)),
                     qPrintable(QString::number(drawn[i].y())));
        QCOMPARE(trend.axisY->titleText(), title);
        QVERIFY(trend.statsLabel->text().contains(display::shownWithUnit(47250, w)));
        QVERIFY(trend.statsLabel->text().contains(display::shownWithUnit(12000, w)));
        // Pa kept inside
        QCOMPARE(historyTexts(w.operatorTools->history), (QStringList{"12000", "34500", "47250"}));
        // limit lines in the new unit too
        QVERIFY(qFuzzyCompare(trend.limitSeries[1]->at(0).y(), double(w.higherValue1) * double(w.unitFactor)));
    }

    void spanOutputsAndPause()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        trend.spanBox->setCurrentIndex(0); // 1 minute
        // two minutes: the first at 10 Pa, the second at 20 Pa
        for (int i = 0; i < 120; ++i) {
            qzsim_push_reading(i < 60 ? 10.0f : 20.0f);
            tick(w);
        }
        QCOMPARE(trend.statsLabel->text(),
                 QStringLiteral("Minimum: 0.020 kPa   Maximum: 0.020 kPa   Mean: 0.020 kPa"));
        trend.spanBox->setCurrentIndex(3); // everything
        QCOMPARE(trend.statsLabel->text(),
                 QStringLiteral("Minimum: 0.010 kPa   Maximum: 0.020 kPa   Mean: 0.015 kPa"));

        // each output's two lines go with its box
        trend.outputChecks[1]->setChecked(false);
        const QList<bool> shown{trend.limitSeries[0]->isVisible(), trend.limitSeries[1]->isVisible(),
                                trend.limitSeries[2]->isVisible(), trend.limitSeries[3]->isVisible(),
                                trend.limitSeries[4]->isVisible(), trend.limitSeries[5]->isVisible()};
        QCOMPARE(shown, (QList<bool>{true, true, false, false, true, true}));
        QVERIFY(trend.limitSeries[0]->pen().style() != Qt::SolidLine);
        QVERIFY(trend.limitSeries[0]->pen().color() != trend.limitSeries[2]->pen().color());
        QVERIFY(trend.limitSeries[2]->pen().color() != trend.limitSeries[4]->pen().color());

        // paused: the view stays, the values keep coming
        trend.pauseButton->setChecked(true);
        const QList<QPointF> frozen = drawnValues(trend);
        const qint64 frozenEnd = trend.axisX->end();
        for (int i = 0; i < 5; ++i) {
            qzsim_push_reading(30);
            tick(w);
        }
        QCOMPARE(drawnValues(trend), frozen);
        QCOMPARE(trend.axisX->end(), frozenEnd);
        QCOMPARE(w.operatorTools->history.size(), std::size_t(125));
        trend.pauseButton->setChecked(false);
        QCOMPARE(float(drawnValues(trend).last().y()), 0.030f);

        // the pointer tells the nearest value and the outputs then
        const int64_t lastMs = w.operatorTools->history.at(124).ms;
        QCOMPARE(trend.pointerText(lastMs - 300),
                 QStringLiteral("Cursor: 09:02:05.000  0.030 kPa  Output 1: on, Output 2: off, Output 3: off"));
        QVERIFY(trend.pointerText(lastMs + 60'000).isEmpty());
    }

    void anEmptyTrendSaysWhy_data()
    {
        QTest::addColumn<QStringList>("steps"); // "on"/"off": the check; a number: that reading, then a tick
        QTest::addColumn<bool>("hint");
        QTest::newRow("off from the start") << QStringList{} << true;
        QTest::newRow("on, no value yet") << QStringList{"on"} << false;
        QTest::newRow("values, then off") << QStringList{"on", "100", "200", "off"} << false;
        QTest::newRow("switched on again") << QStringList{"on", "off", "on"} << false;
    }
    void anEmptyTrendSaysWhy()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, hint);
        TMainF &w = connectedWindow();
        TTrendWindow &trend = openTrend(w);
        for (const QString &step : steps) {
            if (step == QLatin1String("on") || step == QLatin1String("off")) {
                w.checkActualValue->setChecked(step == QLatin1String("on"));
            } else {
                qzsim_push_reading(step.toFloat());
                tick(w);
            }
        }
        QCOMPARE(trend.emptyLabel->isVisibleTo(&trend), hint);
        QCOMPARE(trend.emptyLabel->text(), QStringLiteral("Switch on Actual value to see the trend"));
        // It stands on the chart, whole.
        QVERIFY(QRect(QPoint(0, 0), trend.chartView->size()).contains(trend.emptyLabel->geometry()));
        useLanguage(2);
        w.translateMainWindow();
        QCOMPARE(trend.emptyLabel->text(), QStringLiteral("Schalten Sie Istwert ein, um den Verlauf zu sehen"));
    }

    void pointerReadoutFollowsUnitAndLanguage()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        trend.spanBox->setCurrentIndex(0); // 1 minute
        for (int i = 0; i < 60; ++i) {
            qzsim_push_reading(50000);
            tick(w);
        }
        // the pointer over the middle of the plot
        const QPointF middle = trend.chart->mapToScene(trend.chart->plotArea().center());
        const QPoint at = trend.chartView->mapFromScene(middle);
        QMouseEvent move(QEvent::MouseMove, at, trend.chartView->viewport()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(trend.chartView->viewport(), &move);
        const QRegularExpression shape(
            QStringLiteral("^(.+): \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  (\\S+) (\\S+)  (.+)$"));
        QRegularExpressionMatch read = shape.match(trend.pointerLabel->text());
        QVERIFY2(read.hasMatch(), qPrintable(trend.pointerLabel->text()));
        QCOMPARE(read.captured(2), QStringLiteral("50.000"));
        QCOMPARE(read.captured(3), QStringLiteral("kPa"));

        w.CmPa();
        read = shape.match(trend.pointerLabel->text());
        QVERIFY2(read.hasMatch(), qPrintable(trend.pointerLabel->text()));
        QCOMPARE(read.captured(2), QStringLiteral("50000"));
        QCOMPARE(read.captured(3), QStringLiteral("Pa"));

        useLanguage(1);
        w.translateMainWindow();
        read = shape.match(trend.pointerLabel->text());
        QVERIFY2(read.hasMatch(), qPrintable(trend.pointerLabel->text()));
        QCOMPARE(read.captured(1), QStringLiteral("Kurzor"));
        QCOMPARE(read.captured(3), QStringLiteral("Pa"));
        QCOMPARE(read.captured(4), QStringLiteral("Výstup 1: rozepnuto, Výstup 2: rozepnuto, Výstup 3: sepnuto"));

        // off the plot: nothing, and nothing comes back with the next value
        QMouseEvent away(QEvent::MouseMove, QPoint(0, 0), trend.chartView->viewport()->mapToGlobal(QPoint(0, 0)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(trend.chartView->viewport(), &away);
        qzsim_push_reading(50000);
        tick(w);
        QVERIFY(trend.pointerLabel->text().isEmpty());
    }

    void legendNamesEachLineOnce()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        // three stretches of the value: one entry all the same
        for (const char *step : {"v", "off", "on", "v", "off", "on", "v"}) {
            if (QByteArray(step) == "v") {
                qzsim_push_reading(50000);
                tick(w);
            } else {
                w.checkActualValue->setChecked(QByteArray(step) == "on");
            }
        }
        QCOMPARE(trend.valueSeries.size(), std::size_t(3));
        const auto entries = [&trend] {
            QCoreApplication::processEvents(); // the legend lays itself out
            QStringList names;
            for (QLegendMarker *marker : trend.chart->legend()->markers())
                if (marker->isVisible())
                    names << marker->label();
            names.sort();
            return names;
        };
        QCOMPARE(entries(), (QStringList{"Actual value", "Output 1: Higher value (dash-dot)",
                                         "Output 1: Lower value (dashed)", "Output 2: Higher value (dash-dot)",
                                         "Output 2: Lower value (dashed)", "Output 3: Higher value (dash-dot)",
                                         "Output 3: Lower value (dashed)"}));
        QVERIFY(trend.chart->legend()->isVisible());
        trend.outputChecks[0]->setChecked(false);
        trend.outputChecks[2]->setChecked(false);
        QCOMPARE(entries(), (QStringList{"Actual value", "Output 2: Higher value (dash-dot)",
                                         "Output 2: Lower value (dashed)"}));
        useLanguage(2);
        w.translateMainWindow();
        QCOMPARE(entries(), (QStringList{"Ausgang 2: Oberer Wert (strichpunktiert)",
                                         "Ausgang 2: Unterer Wert (gestrichelt)", "Istwert"}));
        QCOMPARE(trend.axisY->titleText(), QStringLiteral("Druck [kPa]"));
    }

    void zoomPanAndLive_data()
    {
        // on the chart; "wheel+"/"wheel-": the wheel up/down beside the plot, where no time is under it
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("spanS");        // shown, in seconds
        QTest::addColumn<int>("backS");        // the view's end before the newest time
        QTest::addColumn<bool>("live");
        QTest::newRow("zoom in") << QStringList{"+"} << 300 << 0 << true;
        QTest::newRow("zoom out") << QStringList{"-"} << 1200 << 0 << true;
        QTest::newRow("wheel") << QStringList{"wheel+", "wheel+"} << 150 << 0 << true;
        QTest::newRow("no closer than 10 s") << QStringList(8, "+") << 10 << 0 << true;
        QTest::newRow("a step back") << QStringList{"Ctrl+Left"} << 600 << 60 << false;
        QTest::newRow("a page back") << QStringList{"PgUp", "Ctrl+Left"} << 600 << 660 << false;
        QTest::newRow("back and forward again") << QStringList{"PgUp", "PgDown"} << 600 << 0 << true;
        QTest::newRow("not past the newest") << QStringList{"Ctrl+Right", "Ctrl+Right"} << 600 << 0 << true;
        QTest::newRow("zoomed while back") << QStringList{"PgUp", "+"} << 300 << 600 << false;
        QTest::newRow("End") << QStringList{"PgUp", "+", "End"} << 600 << 0 << true;
        QTest::newRow("Live button") << QStringList{"PgUp", "Live"} << 600 << 0 << true;
    }
    void zoomPanAndLive()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, spanS);
        QFETCH(int, backS);
        QFETCH(bool, live);
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        QCOMPARE(trend.spanBox->currentIndex(), 1); // 10 minutes
        for (int i = 0; i < 1800; ++i) {
            qzsim_push_reading(float(i));
            tick(w);
        }
        QVERIFY(!trend.liveButton->isEnabled());
        const std::map<QString, Qt::Key> named{{"+", Qt::Key_Plus},       {"-", Qt::Key_Minus},
                                               {"Ctrl+Left", Qt::Key_Left}, {"Ctrl+Right", Qt::Key_Right},
                                               {"PgUp", Qt::Key_PageUp},  {"PgDown", Qt::Key_PageDown},
                                               {"End", Qt::Key_End}};
        for (const QString &key : keys) {
            if (key == QLatin1String("Live")) {
                QVERIFY(trend.liveButton->isEnabled());
                trend.liveButton->click();
            } else if (key.startsWith(QLatin1String("wheel"))) {
                const QPointF at(2, 2);
                QWheelEvent wheel(at, trend.chartView->viewport()->mapToGlobal(at), QPoint(),
                                  QPoint(0, key.endsWith(u'+') ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(trend.chartView->viewport(), &wheel);
            } else {
                QTest::keyClick(trend.chartView, named.at(key),
                                key.startsWith(QLatin1String("Ctrl+")) ? Qt::ControlModifier : Qt::NoModifier);
            }
        }
        const auto shownSpan = [&trend] {
            return (trend.axisX->end() - trend.axisX->begin() + 1) / 1000;
        };
        QCOMPARE(shownSpan(), qint64(spanS));
        QCOMPARE((now.toMSecsSinceEpoch() - trend.axisX->end()) / 1000, qint64(backS));
        QCOMPARE(trend.liveButton->isEnabled(), !live || spanS != 600);
        // a new value: followed only when live
        const qint64 endBefore = trend.axisX->end();
        tick(w);
        QCOMPARE(trend.axisX->end() == endBefore, !live);
        QCOMPARE(shownSpan(), qint64(spanS));
        QCOMPARE(trend.liveButton->text(), QStringLiteral("Live"));
        QCOMPARE(accessibleName(trend.liveButton), QStringLiteral("Live"));
    }

    void drawingIsBoundedByTheWidth()
    {
        TMainF &w = connectedWindow();
        TTrendWindow &trend = openTrend(w);
        auto &history = w.operatorTools->history;
        const int64_t start = now.toMSecsSinceEpoch();
        for (int64_t s = 0; s < int64_t(TrendHistory::kDefaultCapacity) + 100; ++s)
            history.append(start + s * 1000, float(s % 977));
        now = now.addSecs(qint64(TrendHistory::kDefaultCapacity) + 100);
        trend.spanBox->setCurrentIndex(3);
        trend.redraw();
        QCOMPARE(history.size(), TrendHistory::kDefaultCapacity);
        QVERIFY(drawnValues(trend).size() <= 2 * std::max(trend.chartView->width(), 100) + 2);
        QVERIFY(drawnValues(trend).size() > 100);
    }

    void aMissingTrendLibraryIsSaidAndTheWindowGoesOn()
    {
        TMainF &w = connectedWindow();
        QTemporaryDir empty;
        w.operatorTools->trendLibraryFolder = empty.path() + u'/';
        setLinkedTrendViewFactory(nullptr);
        w.operatorTools->showTrend();
        const TrendLibrary beside = loadTrendLibrary(QStringLiteral(QZ_TREND_LIBRARY_DIR "/"));
        setLinkedTrendViewFactory(&qz5801CreateTrendView);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("Error"));
        QVERIFY2(boxes[0].text.startsWith(QStringLiteral("The trend cannot be opened\r")), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.contains(empty.path()));
        QVERIFY(!w.operatorTools->trendWindow);
        // the live value goes on into the history
        w.checkActualValue->setChecked(true);
        qzsim_push_reading(1234);
        tick(w);
        QCOMPARE(historyTexts(w.operatorTools->history), QStringList{"1234"});
        // the library the build puts beside the program is found by its name,
        // the very name the build gives the file (MinGW's "lib" once hid it on Windows)
        QVERIFY2(beside.factory, qPrintable(beside.error));
        QCOMPARE(QString::fromLatin1(kTrendLibraryFile), QStringLiteral(QZ_TREND_LIBRARY_BUILT));
    }

    // ---- Recording ----

    void recordingWritesEachValueAsItComes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        savePath = path;
        trend.recordButton->click();
        QVERIFY(w.operatorTools->recorder.active());
        QVERIFY(!trend.recordButton->isEnabled());
        QCOMPARE(fileLines(path), QStringList{TRecorder::kHeader});

        // output 1: Compression 20..60 kPa; output 2: Extraction 40..80; output 3: Correct value 30..70
        const QList<float> readings{10000, 65000, 45000};
        for (int i = 0; i < readings.size(); ++i) {
            qzsim_push_reading(readings[i]);
            tick(w);
            const QStringList lines = fileLines(path); // while the recording runs
            QCOMPARE(lines.size(), i + 2);
            const QStringList fields = lines.last().split(u',');
            QCOMPARE(fields.size(), 7);
            QCOMPARE(fields[0], TRecorder::isoTimeWithOffset(now));
            QCOMPARE(fields[1].toFloat(), readings[i]);
            QCOMPARE(fields[2], w.Aktualni->text().section(u' ', 0, 0));
            QCOMPARE(fields[3], QStringLiteral("kPa"));
            QCOMPARE(fields.mid(4), (QStringList{w.AHMLed1->value() ? "1" : "0", w.AHMLed2->value() ? "1" : "0",
                                                 w.AHMLed3->value() ? "1" : "0"}));
        }
        QVERIFY(fileLines(path).join(u'\n').contains(QStringLiteral(",1,")));
        QVERIFY(trend.recordingLabel->text().contains(QStringLiteral("run.csv")));
        QVERIFY(trend.recordingLabel->text().contains(QStringLiteral("3 lines")));

        trend.stopButton->click();
        QVERIFY(!w.operatorTools->recorder.active());
        tick(w);
        QCOMPARE(fileLines(path).size(), 4);

        // recording into the same file again continues it
        QVERIFY(trend.startRecording(path));
        tick(w);
        QCOMPARE(fileLines(path).size(), 5);
        QCOMPARE(fileLines(path).count(QString::fromLatin1(TRecorder::kHeader)), 1);
        QVERIFY(boxes.isEmpty());

        // the image of the chart
        const QString image = dir.filePath(QStringLiteral("trend.png"));
        QVERIFY(trend.saveImage(image));
        QCOMPARE(readBytes(image).left(8), QByteArray("\x89PNG\r\n\x1a\n"));
    }

    // A long file name is cut in its middle to the room the trend has: the
    // window keeps its size while recording and after Stop; the whole path
    // is in the tooltip and what a screen reader is told.
    void aLongFileNameNeverWidensTheTrend_data()
    {
        QTest::addColumn<int>("nameLength");
        QTest::addColumn<bool>("cut");
        QTest::newRow("short") << 10 << false;
        QTest::newRow("long") << 200 << true;
    }
    void aLongFileNameNeverWidensTheTrend()
    {
        QFETCH(int, nameLength);
        QFETCH(bool, cut);
        QTemporaryDir dir;
        const QString name = QStringLiteral("begin_") + QString(nameLength, u'x') + QStringLiteral("_end.csv");
        const QString path = dir.filePath(name);
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        QVERIFY(QTest::qWaitForWindowExposed(&trend));
        const QSize size = trend.size();
        savePath = path;
        trend.recordButton->click();
        QVERIFY(w.operatorTools->recorder.active());
        tick(w);
        QCoreApplication::processEvents();
        QCOMPARE(trend.size(), size);
        QVERIFY(trend.minimumSizeHint().width() <= size.width());
        const QString shown = trend.recordingLabel->text();
        QVERIFY2(shown.startsWith(QStringLiteral("Recording: begin_")), qPrintable(shown));
        QVERIFY2(shown.endsWith(QStringLiteral("_end.csv, 1 line")), qPrintable(shown));
        QCOMPARE(shown.contains(name), !cut);
        QCOMPARE(shown.contains(QChar(0x2026)), cut);
        QVERIFY(trend.recordingLabel->fontMetrics().horizontalAdvance(shown) <= trend.recordingLabel->width());
        QCOMPARE(trend.recordingLabel->toolTip(), QDir::toNativeSeparators(path));
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(trend.recordingLabel);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Description), QDir::toNativeSeparators(path));

        trend.stopButton->click();
        QCoreApplication::processEvents();
        QCOMPARE(trend.size(), size);
        QVERIFY(trend.recordingLabel->text().startsWith(QStringLiteral("Recorded: begin_")));
        QCOMPARE(trend.recordingLabel->text().contains(QChar(0x2026)), cut);
        // a wider window has room for more of the name
        trend.resize(size.width() + 600, size.height());
        QCoreApplication::processEvents();
        QVERIFY(trend.recordingLabel->text().size() > (cut ? shown.size() : shown.size() - 2));
    }

    // The disk fills up inside a line while the live value runs: the tick
    // waits for no one, the recording stops and both windows say so.
    void aFailingWriteStopsTheRecordingWithoutWaiting()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        QVERIFY(trend.startRecording(path));
        tick(w);
        tick(w);
        const QByteArray before = readBytes(path);
        {
            FileSizeLimit full(before.size() + 20);
            qzsim_push_reading(33000);
            tick(w);
        }
        QVERIFY(boxes.isEmpty());
        QVERIFY(!w.operatorTools->recorder.active());
        QVERIFY(trend.recordButton->isEnabled());
        QVERIFY(!trend.stopButton->isEnabled());
        QCOMPARE(readBytes(path), before); // the header and the two lines before, whole
        QCOMPARE(trend.recordingLabel->text(),
                 QStringLiteral("Recording stopped, file cannot be written: run.csv, 2 lines"));
        QLabel *bar = w.operatorTools->recordingLabel;
        QVERIFY(bar->isVisibleTo(&w));
        QCOMPARE(bar->text(), QStringLiteral("Recording stopped, file cannot be written: run.csv"));
        QCOMPARE(accessibleName(bar), bar->text());
        // the value of that very tick is shown, and the next ones too
        QCOMPARE(w.Aktualni->text(), QStringLiteral("33.000 kPa"));
        qzsim_push_reading(34000);
        tick(w);
        QCOMPARE(w.Aktualni->text(), QStringLiteral("34.000 kPa"));
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.operatorTools->history.size(), std::size_t(4));
        QCOMPARE(readBytes(path), before);
    }

    void theStatusBarShowsARunningRecording()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shift-2026-12-10.csv"));
        TMainF &w = connectedWindow();
        w.show();
        w.checkActualValue->setChecked(true);
        QLabel *bar = w.operatorTools->recordingLabel;
        QVERIFY(!bar->isVisible());
        TTrendWindow &trend = openTrend(w);
        QVERIFY(trend.startRecording(path));
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), QStringLiteral("Recording: shift-2026-12-10.csv"));
        QCOMPARE(bar->parentWidget(), w.statusbar);
        QVERIFY(QRect(QPoint(0, 0), w.size()).contains(bar->geometry().translated(w.statusbar->pos())));

        // the trend window closed: the recording goes on, and the bar still says so
        trend.close();
        QVERIFY(!trend.isVisible());
        tick(w);
        tick(w);
        QCOMPARE(fileLines(path).size(), 3);
        QVERIFY(w.operatorTools->recorder.active());
        QCOMPARE(bar->text(), QStringLiteral("Recording: shift-2026-12-10.csv"));

        // stopped by the operator: nothing left in the bar
        openTrend(w).stopButton->click();
        QVERIFY(!bar->isVisible());
        tick(w);
        QCOMPARE(fileLines(path).size(), 3);
    }

    // Ticks that come fast after each other (a deferred operation, a late
    // timer) still stamp each line with a time of its own, to the millisecond.
    void recordedTimesAreDistinctAndIncreasing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("run.csv"));
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        QVERIFY(trend.startRecording(path));
        const QList<int> stepsMs{1000, 350, 0, 0, 1000};
        for (int step : stepsMs) {
            now = now.addMSecs(step);
            w.Timer1Timer();
        }
        QStringList times;
        for (const QString &line : fileLines(path).mid(1))
            times << line.section(u',', 0, 0);
        QCOMPARE(times.size(), stepsMs.size());
        static const QRegularExpression iso(
            QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"));
        for (int i = 0; i < times.size(); ++i) {
            QVERIFY2(iso.match(times[i]).hasMatch(), qPrintable(times[i]));
            if (i > 0)
                QVERIFY2(QDateTime::fromString(times[i], Qt::ISODateWithMs)
                             > QDateTime::fromString(times[i - 1], Qt::ISODateWithMs),
                         qPrintable(times.join(u' ')));
        }
        QCOMPARE(times[1].mid(11, 12), QStringLiteral("09:00:01.350"));
    }

    // ---- The trend adds nothing to the traffic ----

    void wireTraceIsTheSameWithTheTrendOpen()
    {
        QTemporaryDir dir;
        auto run = [&](bool withTrend) {
            delete theLink;
            theLink = nullptr;
            qzsim_reset();
            qzsim_set_value(45000);
            TMainF &w = connectedWindow();
            if (withTrend) {
                TTrendWindow &trend = openTrend(w);
                trend.startRecording(dir.filePath(QStringLiteral("trace.csv")));
                trend.spanBox->setCurrentIndex(0);
            }
            w.checkActualValue->setChecked(true);
            for (int i = 0; i < 5; ++i)
                tick(w);
            w.CmPa();
            w.Cmmm();
            tick(w);
            w.CmVycist();
            tick(w);
            qzsim_set_fault(QZSIM_FAULT_NO_REPLY);
            tick(w);
            qzsim_set_fault(QZSIM_FAULT_NONE);
            w.checkActualValue->setChecked(true);
            tick(w);
            w.checkActualValue->setChecked(false);
            QByteArray requests;
            for (uint32_t i = 0; i < qzsim_request_count(); ++i)
                requests.append(reinterpret_cast<const char *>(qzsim_request(i)), 64);
            return std::make_pair(requests, QString::fromLatin1(qzsim_call_log()));
        };
        const auto without = run(false);
        const auto with = run(true);
        QVERIFY(without.first.size() > 20 * 64);
        QCOMPARE(with.first, without.first);
        QCOMPARE(with.second, without.second);
        QVERIFY(window->operatorTools->history.size() > 5);
        QCOMPARE(fileLines(dir.filePath(QStringLiteral("trace.csv"))).size(), 1 + 8);
    }

    // ---- Compare ----

    void compareShowsFileAgainstTransmitter_data()
    {
        QTest::addColumn<int>("address"); // changed in the transmitter after saving; 0: nothing
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("mode");    // written at 93 (output 3's mode); -1: not
        QTest::addColumn<QStringList>("differing");
        QTest::newRow("equal") << 0 << 0.0f << -1 << QStringList{};
        QTest::newRow("output 2 higher") << 80 << 77000.0f << -1 << QStringList{"Output 2 higher value"};
        QTest::newRow("half a pascal, below the display") << 67 << 20000.5f << -1
                                                          << QStringList{"Output 1 lower value"};
        QTest::newRow("gravity") << 894 << 870.0f << -1 << QStringList{"Specific gravity [kg/m^3]"};
        QTest::newRow("output 3 mode") << 0 << 0.0f << 4 << QStringList{"Output 3 configuration"};
    }
    void compareShowsFileAgainstTransmitter()
    {
        QFETCH(int, address);
        QFETCH(float, value);
        QFETCH(int, mode);
        QFETCH(QStringList, differing);
        QTemporaryDir dir;
        TMainF &w = connectedWindow();
        savePath = dir.filePath(QStringLiteral("saved.cfg"));
        w.CmSave();
        if (address)
            putFloat(uint32_t(address), value);
        if (mode >= 0)
            qzsim_memory()[93] = uint8_t(mode);
        const QStringList before = windowConfiguration(w);
        qzsim_clear_logs();

        QList<QStringList> table;
        onDialog = [&](QDialog &d) {
            auto *t = d.findChild<QTableWidget *>(QStringLiteral("compareTable"));
            QVERIFY(t);
            for (int r = 0; r < t->rowCount(); ++r) {
                QStringList row;
                for (int c = 0; c < t->columnCount(); ++c)
                    row << t->item(r, c)->text();
                table << row;
            }
        };
        openPath = savePath;
        w.operatorTools->menuCompare->trigger();

        QCOMPARE(requestLog(), kReadRequests);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(table.size(), 11);
        QCOMPARE(table[0], (QStringList{"Nominal range", "-", "100.000 kPa", ""}));
        QCOMPARE(table[2].mid(0, 3), (QStringList{"Output 1 lower value", "20.000 kPa", address == 67 ? "20.001 kPa" : "20.000 kPa"}));
        QStringList marked;
        for (const QStringList &row : table)
            if (row[3] == QLatin1String("Different"))
                marked << row[0];
        QCOMPARE(marked, differing);
        // the window's record, fields and display untouched
        QCOMPARE(windowConfiguration(w), before);
    }

    void compareFailures_data()
    {
        QTest::addColumn<QByteArray>("fileBytes"); // empty: no file at all
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("no file") << QByteArray() << int(QZSIM_FAULT_NONE) << "Cannot open file" << QStringList{};
        QTest::newRow("not a configuration file") << QByteArray("hello\r\n") << int(QZSIM_FAULT_NONE)
                                                  << "Cannot open file" << QStringList{};
        QTest::newRow("transmitter silent") << QByteArray("saved") << int(QZSIM_FAULT_NO_REPLY)
                                            << "Error reading configuration" << QStringList{"command 2"};
        QTest::newRow("bad check byte") << QByteArray("saved") << int(QZSIM_FAULT_CRC)
                                        << "Error reading configuration" << QStringList{"command 2"};
    }
    void compareFailures()
    {
        QFETCH(QByteArray, fileBytes);
        QFETCH(int, fault);
        QFETCH(QString, box);
        QFETCH(QStringList, requests);
        QTemporaryDir dir;
        TMainF &w = connectedWindow();
        openPath = dir.filePath(QStringLiteral("file.cfg"));
        if (fileBytes == "saved") {
            savePath = openPath;
            w.CmSave();
        } else if (!fileBytes.isEmpty()) {
            QVERIFY(writeBytes(openPath, fileBytes));
        }
        const QStringList before = windowConfiguration(w);
        qzsim_set_fault(fault);
        qzsim_clear_logs();
        bool dialogShown = false;
        onDialog = [&](QDialog &) { dialogShown = true; };
        w.operatorTools->compareWithTransmitter();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, box);
        QCOMPARE(boxes[0].title, QStringLiteral("Error"));
        QVERIFY(!dialogShown);
        QCOMPARE(requestLog(), requests);
        QCOMPARE(windowConfiguration(w), before);
    }

    // ---- Connection state ----

    void connectionLabelTellsTheState_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("label");
        QTest::newRow("answered at start-up") << QStringList{} << "Transmitter connected";
        QTest::newRow("none at start-up") << QStringList{"unplug", "start"} << "Transmitter not connected";
        QTest::newRow("silent at start-up") << QStringList{"silent", "start"} << "Transmitter not answering";
        QTest::newRow("no permission at start-up") << QStringList{"deny", "start"} << "Transmitter not accessible";
        QTest::newRow("no permission, then a read") << QStringList{"deny", "start", "read"}
                                                    << "Transmitter not accessible";
        QTest::newRow("permission given, then a read") << QStringList{"deny", "start", "allow", "read"}
                                                       << "Transmitter connected";
        QTest::newRow("poll fails") << QStringList{"silent", "poll"} << "Transmitter not answering";
        QTest::newRow("read fails") << QStringList{"silent", "read"} << "Transmitter not answering";
        QTest::newRow("write fails") << QStringList{"silent", "write"} << "Transmitter not answering";
        QTest::newRow("zero correction fails") << QStringList{"silent", "zero"} << "Transmitter not answering";
        QTest::newRow("device info fails") << QStringList{"silent", "info"} << "Transmitter not answering";
        QTest::newRow("back by a poll") << QStringList{"silent", "read", "answer", "poll"}
                                        << "Transmitter connected";
        QTest::newRow("plugged in, then read") << QStringList{"unplug", "start", "plug", "answer", "read"}
                                               << "Transmitter connected";
        QTest::newRow("still none") << QStringList{"unplug", "start", "read"} << "Transmitter not connected";
    }
    void connectionLabelTellsTheState()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, label);
        TMainF &w = connectedWindow();
        QCOMPARE(w.operatorTools->connectionLabel->text(), QStringLiteral("Transmitter connected"));
        w.checkActualValue->setChecked(true);
        for (const QString &step : steps) {
            if (step == QLatin1String("unplug"))
                qzsim_set_device_count(0);
            else if (step == QLatin1String("plug"))
                qzsim_set_device_count(1);
            else if (step == QLatin1String("deny"))
                qzsim_set_device_denied(0, 1);
            else if (step == QLatin1String("allow"))
                qzsim_set_device_denied(0, 0);
            else if (step == QLatin1String("silent"))
                qzsim_set_fault(QZSIM_FAULT_NO_REPLY);
            else if (step == QLatin1String("answer"))
                qzsim_set_fault(QZSIM_FAULT_NONE);
            else if (step == QLatin1String("start"))
                w.CCmPoStartu();
            else if (step == QLatin1String("poll")) {
                w.checkActualValue->setChecked(true);
                tick(w);
            } else if (step == QLatin1String("read"))
                w.CmVycist();
            else if (step == QLatin1String("write"))
                w.CmKonfigurace();
            else if (step == QLatin1String("zero"))
                w.CmKorekce();
            else if (step == QLatin1String("info"))
                w.CmDeviceInfo();
        }
        QCOMPARE(w.operatorTools->connectionLabel->text(), label);
        // at the right end of the status bar, beside the status text
        QVERIFY(w.operatorTools->connectionLabel->parentWidget() == w.statusbar);
        w.show();
        QVERIFY(w.operatorTools->connectionLabel->geometry().left() >= w.StatusBar1->geometry().right());
    }

    // The connection state at the bar's right end, its frame inside the
    // window, whatever else the bar shows (run again at QT_SCALE_FACTOR=2).
    void connectionLabelFitsTheWindow_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("recording");
        for (int language : {0, 1, 2}) {
            const QString name = QStringList{"English", "Czech", "German"}[language];
            QTest::addRow("%s, connected", qPrintable(name)) << language << int(QZSIM_FAULT_NONE) << false;
            QTest::addRow("%s, not answering", qPrintable(name)) << language << int(QZSIM_FAULT_NO_REPLY) << false;
            QTest::addRow("%s, recording", qPrintable(name)) << language << int(QZSIM_FAULT_NONE) << true;
        }
    }
    void connectionLabelFitsTheWindow()
    {
        QFETCH(int, language);
        QFETCH(int, fault);
        QFETCH(bool, recording);
        QTemporaryDir dir;
        TMainF &w = connectedWindow();
        useLanguage(language);
        w.translateMainWindow();
        if (recording)
            QVERIFY(openTrend(w).startRecording(dir.filePath(QStringLiteral("recording-2026-12-10.csv"))));
        qzsim_set_fault(fault);
        w.CmVycist();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QLabel *label = w.operatorTools->connectionLabel;
        QVERIFY(!label->text().isEmpty());
        // the frame the bar draws around it, in the window's coordinates
        const QRect frame = label->geometry().adjusted(-1, -1, 1, 1).translated(w.statusbar->pos());
        QVERIFY2(w.rect().contains(frame), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                          .arg(frame.x()).arg(frame.y()).arg(frame.width())
                                                          .arg(frame.height()).arg(w.width()).arg(w.height())));
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
        QLabel *rec = w.operatorTools->recordingLabel;
        if (recording) {
            QVERIFY(rec->isVisible());
            QVERIFY2(rec->width() >= rec->sizeHint().width(), qPrintable(rec->text()));
            QVERIFY(rec->geometry().right() < label->geometry().left());
        }
    }

    void connectionLabelIsNamedWithItsState_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("name");
        QTest::newRow("English") << 0 << "Connection: Transmitter not connected";
        QTest::newRow("Czech") << 1 << "Spojení: Převodník není připojen";
        QTest::newRow("German") << 2 << "Verbindung: Messumformer nicht angeschlossen";
    }
    void connectionLabelIsNamedWithItsState()
    {
        QFETCH(int, language);
        QFETCH(QString, name);
        TMainF &w = connectedWindow();
        useLanguage(language);
        w.translateMainWindow();
        qzsim_set_device_count(0);
        w.CCmPoStartu();
        QCOMPARE(accessibleName(w.operatorTools->connectionLabel), name);
        // back again: the name follows
        qzsim_set_device_count(1);
        w.CmVycist();
        QCOMPARE(accessibleName(w.operatorTools->connectionLabel).section(u':', 1).trimmed(),
                 w.operatorTools->connectionLabel->text());
    }

    void connectionLabelAddsNoTraffic()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        tick(w);
        const QString calls = QString::fromLatin1(qzsim_call_log());
        QCOMPARE(requestLog(), (QStringList{"command 1", "query 4"}));
        QVERIFY(!calls.contains(QStringLiteral("GetDeviceCount")));
    }

    // ---- Keys ----

    void shortcutsStandInTheMenus_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("open file") << "menuReadConfigurationFromDisk" << QKeySequence(Qt::CTRL | Qt::Key_O);
        QTest::newRow("save file") << "menuWriteconfigurationToDisk" << QKeySequence(Qt::CTRL | Qt::Key_S);
        QTest::newRow("exit") << "menuExit" << QKeySequence(Qt::CTRL | Qt::Key_Q);
        QTest::newRow("about") << "menuAbout" << QKeySequence(Qt::Key_F1);
        QTest::newRow("read") << "menuReadConfiguration" << QKeySequence(Qt::Key_F5);
        QTest::newRow("trend") << "menuTrend" << QKeySequence(Qt::CTRL | Qt::Key_T);
    }
    void shortcutsStandInTheMenus()
    {
        QFETCH(QString, action);
        QFETCH(QKeySequence, keys);
        TMainF &w = connectedWindow();
        auto *a = w.findChild<QAction *>(action);
        QVERIFY(a);
        QCOMPARE(a->shortcut(), keys);
        bool inMenu = false;
        for (QMenu *menu : w.MainMenu1->findChildren<QMenu *>())
            inMenu = inMenu || menu->actions().contains(a);
        QVERIFY(inMenu);
    }

    void keysRunTheirItems()
    {
        TMainF &w = connectedWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F5);
        QCOMPARE(requestLog(), kReadRequests);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Configuration successfully read"));
        QTest::keyClick(&w, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(w.operatorTools->trendWindow && w.operatorTools->trendWindow->widget()->isVisible());
        QVERIFY(!w.operatorTools->trendWindow->widget()->isModal());
    }

    void trendKeysAndPauseState_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("action"); // empty: the key closes the trend
        QTest::newRow("Escape") << QKeySequence(Qt::Key_Escape) << QString();
        QTest::newRow("Ctrl+Q") << QKeySequence(Qt::CTRL | Qt::Key_Q) << "menuExit";
        QTest::newRow("Ctrl+O") << QKeySequence(Qt::CTRL | Qt::Key_O) << "menuReadConfigurationFromDisk";
        QTest::newRow("Ctrl+S") << QKeySequence(Qt::CTRL | Qt::Key_S) << "menuWriteconfigurationToDisk";
        QTest::newRow("F1") << QKeySequence(Qt::Key_F1) << "menuAbout";
        QTest::newRow("F5") << QKeySequence(Qt::Key_F5) << "menuReadConfiguration";
    }
    void trendKeysAndPauseState()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, action);
        TMainF &w = connectedWindow();
        w.show();
        TTrendWindow &trend = openTrend(w);
        QVERIFY(QTest::qWaitForWindowActive(&trend));
        QAction *item = action.isEmpty() ? nullptr : w.findChild<QAction *>(action);
        int triggered = 0;
        if (item) {
            // Only count: the items' own work is tested with the main window.
            item->setEnabled(true);
            disconnect(item, &QAction::triggered, nullptr, nullptr);
            connect(item, &QAction::triggered, this, [&triggered] { ++triggered; });
        }
        QTest::keySequence(&trend, keys);
        if (item)
            QCOMPARE(triggered, 1);
        QCOMPARE(trend.isVisible(), item != nullptr);

        // Pause says what it does
        QCOMPARE(trend.pauseButton->text(), QStringLiteral("Pause"));
        trend.pauseButton->setChecked(true);
        QCOMPARE(trend.pauseButton->text(), QStringLiteral("Resume"));
        trend.retranslate();
        QCOMPARE(trend.pauseButton->text(), QStringLiteral("Resume"));
        trend.pauseButton->setChecked(false);
        QCOMPARE(trend.pauseButton->text(), QStringLiteral("Pause"));
    }

    void ctrlRStartsAndStopsTheRecording_data()
    {
        QTest::addColumn<bool>("inTrend"); // the key pressed in the trend, else in the main window
        QTest::newRow("main window") << false;
        QTest::newRow("trend") << true;
    }
    void ctrlRStartsAndStopsTheRecording()
    {
        QFETCH(bool, inTrend);
        QTemporaryDir dir;
        TMainF &w = connectedWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.checkActualValue->setChecked(true);
        QWidget *target = &w;
        TTrendWindow *trend = nullptr;
        if (inTrend) {
            trend = &openTrend(w);
            QVERIFY(QTest::qWaitForWindowActive(trend));
            target = trend;
        }
        QAction *item = w.operatorTools->menuRecord;
        const TRecorder &recorder = w.operatorTools->recorder;

        // cancelled: nothing starts
        savePath.clear();
        QTest::keySequence(target, QKeySequence(Qt::CTRL | Qt::Key_R));
        QVERIFY(!recorder.active());
        QVERIFY(!item->isChecked());

        // a file that cannot be opened: said, nothing starts
        savePath = dir.filePath(QStringLiteral("no such folder/run.csv"));
        QTest::keySequence(target, QKeySequence(Qt::CTRL | Qt::Key_R));
        QVERIFY(!recorder.active());
        QVERIFY(!item->isChecked());
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].text.startsWith(QStringLiteral("Cannot open file")));

        savePath = dir.filePath(QStringLiteral("run.csv"));
        QTest::keySequence(target, QKeySequence(Qt::CTRL | Qt::Key_R));
        QVERIFY(recorder.active());
        QVERIFY(item->isChecked());
        tick(w);
        if (trend) {
            QVERIFY(!trend->recordButton->isEnabled());
            QVERIFY(trend->recordingLabel->text().contains(QStringLiteral("1 line")));
        }
        // again: stops, without asking
        savePath.clear();
        QTest::keySequence(target, QKeySequence(Qt::CTRL | Qt::Key_R));
        QVERIFY(!recorder.active());
        QVERIFY(!item->isChecked());
        tick(w);
        QCOMPARE(fileLines(dir.filePath(QStringLiteral("run.csv"))).size(), 2);
        if (trend)
            QVERIFY(trend->recordButton->isEnabled());
        // the trend's own buttons keep the item's check true
        if (trend) {
            savePath = dir.filePath(QStringLiteral("run.csv"));
            trend->recordButton->click();
            QVERIFY(item->isChecked());
            trend->stopButton->click();
            QVERIFY(!item->isChecked());
        }
        QCOMPARE(boxes.size(), 1);
    }

    void writingHasNoSingleKey()
    {
        TMainF &w = connectedWindow();
        QVERIFY(w.buttonWriteConfiguration->shortcut().isEmpty());
        for (QAction *a : w.findChildren<QAction *>()) {
            for (const QKeySequence &k : a->shortcuts()) {
                const auto combination = k[0];
                const bool modified = combination.keyboardModifiers() & (Qt::ControlModifier | Qt::AltModifier);
                const bool functionKey = combination.key() >= Qt::Key_F1 && combination.key() <= Qt::Key_F35;
                QVERIFY2(modified || functionKey, qPrintable(a->objectName()));
            }
        }
        // F5 reads, nothing else: no request writes
        w.operatorTools->menuReadConfiguration->trigger();
        for (const QString &r : requestLog())
            QVERIFY(!r.startsWith(QStringLiteral("write")));
    }

    // ---- Accessible names and texts ----

    void accessibleNamesSayWhatEachControlIs_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        const struct {
            const char *control;
            const char *english;
            const char *czech;
        } rows[] = {
            {"V1_P2", "Output 1 higher value", "Výstup 1 horní hodnota"},
            {"V1_P1", "Output 1 lower value", "Výstup 1 dolní hodnota"},
            {"V2_P2", "Output 2 higher value", "Výstup 2 horní hodnota"},
            {"V3_P1", "Output 3 lower value", "Výstup 3 dolní hodnota"},
            {"comboBoxConfiguration2", "Output 2 configuration", "Výstup 2 konfigurace"},
            {"Rozsah", "Nominal range", "Jmenovitý rozsah"},
            {"Ro", "Specific gravity [kg/m^3]", "Hustota [kg/m^3]"},
            {"AHMLed1", "Output 1: off", "Výstup 1: rozepnuto"},
            {"connectionState", "Connection: Transmitter connected", "Spojení: Převodník připojen"},
        };
        for (const auto &r : rows) {
            QTest::addRow("%s, English", r.control) << 0 << r.control << r.english;
            QTest::addRow("%s, Czech", r.control) << 1 << r.control << r.czech;
        }
    }
    void accessibleNamesSayWhatEachControlIs()
    {
        QFETCH(int, language);
        QFETCH(QString, control);
        QFETCH(QString, name);
        TMainF &w = connectedWindow();
        useLanguage(language);
        w.translateMainWindow();
        QObject *widget = w.findChild<QObject *>(control);
        QVERIFY(widget);
        QCOMPARE(accessibleName(widget), name);
    }

    // A drop-down list says what it is as its name and its selection as its
    // value, and keeps the five modes as its items.
    void comboBoxesTellWhatTheyAreAndTheirSelection_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("items");
        const QStringList english{"Off", "Compression", "Extraction", "Correct value", "Error value"};
        QTest::newRow("English, Extraction") << 0 << 2 << "Output 3 configuration" << "Extraction" << english;
        QTest::newRow("English, nothing") << 0 << -1 << "Output 3 configuration" << "" << english;
        QTest::newRow("German, Off") << 2 << 0 << "Ausgang 3 Konfiguration" << "Aus"
                                     << QStringList{"Aus", "Kompression", "Absaugung", "Gutwert", "Fehlwert"};
    }
    void comboBoxesTellWhatTheyAreAndTheirSelection()
    {
        QFETCH(int, language);
        QFETCH(int, selected);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QStringList, items);
        TMainF &w = connectedWindow();
        useLanguage(language);
        w.translateMainWindow();
        QComboBox *box = w.comboBoxConfiguration3;
        box->setCurrentIndex(selected);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(box);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::ComboBox);
        QCOMPARE(iface->text(QAccessible::Name), name);
        QCOMPARE(iface->text(QAccessible::Value), value);
        QStringList shown;
        for (int i = 0; i < box->count(); ++i)
            shown << box->itemText(i);
        QCOMPARE(shown, items);
        QCOMPARE(iface->childCount(), 1);
    }

    // The mark "*" is a poll in progress only while one runs.
    void pollMarkIsExposedOnlyDuringAPoll()
    {
        TMainF &w = connectedWindow();
        w.show();
        w.checkActualValue->setChecked(true);
        QAccessibleInterface *mark = QAccessible::queryAccessibleInterface(w.Hvezdicka);
        QVERIFY(mark);
        QCOMPARE(w.Hvezdicka->text(), QStringLiteral("*")); // as the window opens
        QCOMPARE(mark->text(QAccessible::Name), QString());
        QVERIFY(mark->state().invisible);
        w.polling = true; // as the tick sets it while it asks the transmitter
        QCOMPARE(mark->text(QAccessible::Name), QStringLiteral("Poll in progress"));
        QVERIFY(!mark->state().invisible);
        w.polling = false;
        tick(w);
        QCOMPARE(mark->text(QAccessible::Name), QString());
        QVERIFY(mark->state().invisible);
    }

    // A lamp that changes is announced, alone; lamps that stay say nothing.
    void aLampChangeAnnouncesThatLampOnly_data()
    {
        QTest::addColumn<float>("first");
        QTest::addColumn<float>("second");
        QTest::addColumn<QStringList>("announced");
        // output 1: Compression 20..60 kPa, 2: Extraction 40..80, 3: Correct value 30..70
        QTest::newRow("only output 3") << 45000.0f << 75000.0f << QStringList{"Output 3: off"};
        QTest::newRow("outputs 1 and 3") << 45000.0f << 10000.0f << QStringList{"Output 1: on", "Output 3: off"};
        QTest::newRow("nothing changes") << 45000.0f << 50000.0f << QStringList{};
    }
    void aLampChangeAnnouncesThatLampOnly()
    {
        QFETCH(float, first);
        QFETCH(float, second);
        QFETCH(QStringList, announced);
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        qzsim_push_reading(first);
        tick(w);
        QStringList names;
        const std::array<QObject *, 3> lamps{w.AHMLed1, w.AHMLed2, w.AHMLed3};
        setAccessibleNameObserver([&](QObject *object, const QString &name) {
            if (std::find(lamps.begin(), lamps.end(), object) != lamps.end())
                names << name;
        });
        qzsim_push_reading(second);
        tick(w);
        setAccessibleNameObserver({});
        QCOMPARE(names, announced);
    }

    // The trend keeps, with each value, the lamps the window showed for it:
    // the hysteresis makes them more than a function of the value.
    void theHistoryKeepsTheLampsOfEachPoll()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        // output 1: Compression 20..60 kPa (on below), 2: Extraction 40..80 (on above), 3: Correct value 30..70
        const std::vector<std::pair<float, uint8_t>> polls = {
            {10000, 0b001}, {45000, 0b101}, {90000, 0b010}, {50000, 0b110}, {45000, 0b110}, {35000, 0b100}};
        for (const auto &[reading, lamps] : polls) {
            qzsim_push_reading(reading);
            tick(w);
            const TrendHistory &history = w.operatorTools->history;
            QVERIFY(history.size() > 0);
            const TrendSample &last = history.at(history.size() - 1);
            QCOMPARE(last.pascal, reading);
            QCOMPARE(int(last.lamps), int(lamps));
            QCOMPARE(int(last.lamps), (w.AHMLed1->value() > 0) | (w.AHMLed2->value() > 0) << 1
                                          | (w.AHMLed3->value() > 0) << 2);
        }
    }

    void lampsAndLiveValueAreReadable_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<float>("reading");
        QTest::addColumn<QStringList>("lamps");
        QTest::addColumn<QString>("liveValue");
        // output 1: Compression 20..60 kPa (on below), 2: Extraction 40..80 (on above), 3: Correct value 30..70
        QTest::newRow("English, 90 kPa") << 0 << 90000.0f
                                         << QStringList{"Output 1: off", "Output 2: on", "Output 3: off"}
                                         << "Actual value: 90.000 kPa";
        QTest::newRow("English, 45 kPa") << 0 << 45000.0f
                                         << QStringList{"Output 1: off", "Output 2: off", "Output 3: on"}
                                         << "Actual value: 45.000 kPa";
        QTest::newRow("Czech, 90 kPa") << 1 << 90000.0f
                                       << QStringList{"Výstup 1: rozepnuto", "Výstup 2: sepnuto",
                                                      "Výstup 3: rozepnuto"}
                                       << "Měřená hodnota: 90.000 kPa";
        QTest::newRow("German, 10 kPa") << 2 << 10000.0f
                                        << QStringList{"Ausgang 1: ein", "Ausgang 2: aus", "Ausgang 3: aus"}
                                        << "Istwert: 10.000 kPa";
    }
    void lampsAndLiveValueAreReadable()
    {
        QFETCH(int, language);
        QFETCH(float, reading);
        QFETCH(QStringList, lamps);
        QFETCH(QString, liveValue);
        TMainF &w = connectedWindow();
        useLanguage(language);
        w.translateMainWindow();
        w.checkActualValue->setChecked(true);
        qzsim_push_reading(reading);
        tick(w);
        QStringList names;
        for (QProgressBar *lamp : {w.AHMLed1, w.AHMLed2, w.AHMLed3})
            names << accessibleName(lamp);
        QCOMPARE(names, lamps);
        QCOMPARE(accessibleName(w.Aktualni), liveValue);

        // the status text reads as it shows
        w.StatusBar1->setText(translate(QStringLiteral("The device does not reply")));
        QCOMPARE(accessibleName(w.StatusBar1), w.StatusBar1->text());
    }

    // ---- Texts of every poll ----

    // With a catalogue older than the tool, the texts the window shows on every
    // poll are missing: they are looked up, and so logged, when the language
    // changes; the running live value adds nothing to the log.
    void pollTextsAreLookedUpAtLanguageChangeOnly()
    {
        QTemporaryDir older;
        const QString folder = older.path() + QDir::separator();
        const auto utf16 = [](const QString &text) {
            QByteArray bytes("\xFF\xFE", 2);
            for (QChar unit : text)
                bytes.append(char(unit.unicode() & 0xFF)).append(char(unit.unicode() >> 8));
            return bytes;
        };
        QVERIFY(writeBytes(folder + QStringLiteral("messages.ini"),
                           "[Main]\nTotal=2\n[Files]\n0=messages_uk.txt\n1=messages_old.txt\n"));
        QVERIFY(writeBytes(folder + QStringLiteral("messages_uk.txt"), utf16(QStringLiteral("Exit;\t\r\n"))));
        QVERIFY(writeBytes(folder + QStringLiteral("messages_old.txt"), utf16(QStringLiteral("Exit; Konec\r\n"))));
        const QString log = folder + QStringLiteral("messages_old.txt.todo");

        TMainF &w = connectedWindow();
        TTrendWindow &trend = openTrend(w);
        loadLanguageCatalogueFrom(folder);
        currentLanguage = 1;
        w.translateMainWindow();
        const QString logged = QString::fromUtf16(reinterpret_cast<const char16_t *>(readBytes(log).constData() + 2),
                                                  (readBytes(log).size() - 2) / 2);
        for (const char *key : {"Transmitter connected", "Transmitter not answering", "Actual value",
                                "Output %i: on", "Output %i: off", "Minimum", "Maximum", "Mean"})
            QVERIFY2(logged.contains(QString::fromLatin1(key) + QStringLiteral(";\t\n")), key);
        const QByteArray atLanguageChange = readBytes(log);

        w.checkActualValue->setChecked(true);
        for (int i = 0; i < 20; ++i) {
            qzsim_push_reading(i % 2 ? 90000.0f : 10000.0f); // every lamp changes every poll
            tick(w);
        }
        QCOMPARE(readBytes(log), atLanguageChange);
        // and the texts are shown all the same, in English
        QCOMPARE(w.operatorTools->connectionLabel->text(), QStringLiteral("Transmitter connected"));
        QCOMPARE(accessibleName(w.Aktualni), QStringLiteral("Actual value: 90.000 kPa"));
        QCOMPARE(accessibleName(w.AHMLed2), QStringLiteral("Output 2: on"));
        QVERIFY(trend.statsLabel->text().startsWith(QStringLiteral("Minimum: 10.000 kPa")));
    }

    // ---- The zero correction's question ----

    // The trend writes dates as the language chosen in the window does, from the catalogue's short names.
    void trendDatesFollowTheLanguageChosen_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("dayMonth");
        QTest::newRow("English") << 0 << "MM/dd";
        QTest::newRow("Czech") << 1 << "dd.MM.";
        QTest::newRow("German") << 2 << "dd.MM.";
        QTest::newRow("outside the catalogue: English") << 7 << "MM/dd";
    }
    void trendDatesFollowTheLanguageChosen()
    {
        QFETCH(int, language);
        QFETCH(QString, dayMonth);
        TMainF &w = connectedWindow();
        TTrendWindow &trend = openTrend(w);
        useLanguage(language);
        w.translateMainWindow();
        QCOMPARE(trend.axisX->dates.dayMonth, dayMonth);
    }

    void yesAndNoFollowTheLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("English") << 0 << QStringList{"&Yes", "&No"};
        QTest::newRow("Czech") << 1 << QStringList{"&Ano", "&Ne"};
        QTest::newRow("German") << 2 << QStringList{"&Ja", "&Nein"};
    }
    void yesAndNoFollowTheLanguage()
    {
        QFETCH(int, language);
        QFETCH(QStringList, buttons);
        useLanguage(language);
        const DialogHooks ours = setDialogHooks({}); // the real box
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
            box->button(QMessageBox::No)->click();
        });
        const MessageAnswer answer = showMessage(nullptr, QStringLiteral("?"), QStringLiteral("Message"),
                                                 MessageButtons::YesNo);
        setDialogHooks(ours);
        QCOMPARE(seen, buttons);
        QCOMPARE(answer, MessageAnswer::No);
    }
};

QZ_SHELL_TEST_MAIN(OperatorToolsTest)
#include "tst_operator_window.moc"
