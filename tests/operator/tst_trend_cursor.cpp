// The trend's cursor and output lanes: stepping over the samples, the readout,
// the lanes' columns from the samples, their place under the plot, and what a
// screen reader hears of the chart.
#include "ShellTestSupport.h"

#include "Lang.h"
#include "Main.h"
#include "NumberText.h"
#include "OperatorTools.h"
#include "OutputLaneRuns.h"
#include "OutputLanes.h"
#include "TrendCursor.h"
#include "TrendWindow.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QPushButton>
#include <QtCharts/QChartView>
#include "TimeAxis.h"
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>

#include <cmath>
#include <limits>

using namespace shelltest;

namespace {

const float kGap = std::numeric_limits<float>::quiet_NaN();

// "ms:lamps" a value with its lamps (bits of outputs 1 to 3), "ms:gap" a gap.
TrendHistory historyOf(const QStringList &samples, int64_t base)
{
    TrendHistory history;
    for (const QString &sample : samples) {
        const QStringList parts = sample.split(u':');
        const int64_t ms = base + parts[0].toLongLong();
        if (parts[1] == QLatin1String("gap"))
            history.append(ms, kGap);
        else
            history.append(ms, 1000, uint8_t(parts[1].toUInt(nullptr, 2)));
    }
    return history;
}

// "0-5 off, 5-10 on": columns from, to (not included) and the state.
QString runsText(const std::vector<LaneRun> &runs)
{
    static const char *const names[] = {"none", "off", "on", "both"};
    QStringList texts;
    for (const LaneRun &run : runs)
        texts << QStringLiteral("%1-%2 %3").arg(run.first).arg(run.last).arg(QLatin1String(names[int(run.state)]));
    return texts.join(QStringLiteral(", "));
}

} // namespace

class TrendCursorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;
    DialogHooks previousHooks;
    QDateTime now;
    QTemporaryDir languageCopy;

    // The window, not connected, and its trend over ten minutes of samples,
    // one a second at a quarter past each second; value i * 10 Pa, the lamps
    // counting i in binary, and a gap at sample 300.
    TTrendWindow &trendOverTenMinutes()
    {
        window.reset();
        home = std::make_unique<ConfigHome>();
        window = stillWindow();
        window->isPressure = true;
        window->CmkPa();
        const QDateTime start(QDate(2026, 12, 10), QTime(9, 0, 0, 250));
        TrendHistory &history = window->operatorTools->history;
        for (int i = 0; i < 600; ++i) {
            const int64_t ms = start.toMSecsSinceEpoch() + i * 1000;
            if (i == 300)
                history.appendGap(ms);
            else
                history.append(ms, float(i * 10), uint8_t(i % 8));
        }
        now = start.addMSecs(599'000 + 500);
        window->operatorTools->clock = [this] { return now; };
        window->operatorTools->showTrend();
        auto &trend = *static_cast<TTrendWindow *>(window->operatorTools->trendWindow);
        trend.spanBox->setCurrentIndex(0); // 1 minute
        QApplication::processEvents();
        return trend;
    }

    void useLanguage(int index)
    {
        loadLanguageCatalogueFrom(languageCopy.path() + QDir::separator());
        currentLanguage = index;
        loadMessageTable();
        window->translateMainWindow();
    }

    std::size_t cursorIndexOf(const TTrendWindow &trend) const
    {
        const TrendHistory &history = window->operatorTools->history;
        return trend.cursorPlace() ? cursorIndex(history, *trend.cursorPlace()) : history.size();
    }

    static int64_t viewBegin(const TTrendWindow &t) { return t.axisX->begin(); }
    static int64_t viewEnd(const TTrendWindow &t) { return t.axisX->end(); }

    // Where a time lies on the plot, in the trend window's coordinates.
    static double plotXInWindow(TTrendWindow &trend, int64_t ms)
    {
        const QPointF onChart = trend.chart->mapToPosition(QPointF(double(ms), 0), trend.limitSeries[0]);
        const QPointF inView = trend.chartView->viewportTransform().map(trend.chart->mapToScene(onChart));
        return inView.x() + trend.chartView->viewport()->mapTo(&trend, QPoint()).x();
    }

private slots:
    void initTestCase()
    {
        const QDir shipped(QStringLiteral(QZ_LANGUAGE_DIR));
        for (const QString &name : shipped.entryList(QDir::Files))
            QVERIFY(QFile::copy(shipped.filePath(name), languageCopy.filePath(name)));
    }
    void init()
    {
        setDecimalSeparatorForTesting(u'.');
        DialogHooks hooks;
        hooks.message = [](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; };
        previousHooks = setDialogHooks(hooks);
    }
    void cleanup()
    {
        window.reset();
        home.reset();
        setDialogHooks(previousHooks);
        setDecimalSeparatorForTesting(QChar());
        currentLanguage = 0;
    }

    // ---- Without a window ----

    void laneColumnsFollowTheSamples_data()
    {
        // Ten columns of a second each from 0 to 10 s.
        QTest::addColumn<QStringList>("samples");
        QTest::addColumn<QStringList>("lanes"); // outputs 1, 2, 3
        QStringList everySecond;
        for (int s = 0; s <= 10; ++s)
            everySecond << QStringLiteral("%1:000").arg(s * 1000);
        QTest::newRow("all off") << everySecond << QStringList{"0-10 off", "0-10 off", "0-10 off"};
        QStringList each = everySecond;
        each.replaceInStrings(QStringLiteral(":000"), QStringLiteral(":101"));
        QTest::newRow("each output its own") << each << QStringList{"0-10 on", "0-10 off", "0-10 on"};
        // a sample holds up to the next one's time, not into its column
        QTest::newRow("on at a column's start")
            << QStringList{"0:000", "1000:000", "2000:000", "3000:000", "4000:000", "5000:001", "6000:001",
                           "7000:001", "8000:001", "9000:001", "10000:001"}
            << QStringList{"0-5 off, 5-10 on", "0-10 off", "0-10 off"};
        QTest::newRow("on within a column")
            << QStringList{"0:000", "1000:000", "2000:000", "3000:000", "4000:000", "4500:001", "5000:001",
                           "6000:001", "7000:001", "8000:001", "9000:001", "10000:001"}
            << QStringList{"0-4 off, 4-5 both, 5-10 on", "0-10 off", "0-10 off"};
        QTest::newRow("on and off again within a column")
            << QStringList{"0:000", "1000:000", "2000:000", "2200:001", "2400:000", "3000:000", "4000:000"}
            << QStringList{"0-2 off, 2-3 both, 3-5 off", "0-5 off", "0-5 off"};
        QTest::newRow("a gap holds nothing")
            << QStringList{"0:001", "1000:001", "2000:001", "3000:001", "4000:gap", "6000:000", "7000:000"}
            << QStringList{"0-4 on, 6-8 off", "0-4 off, 6-8 off", "0-4 off, 6-8 off"};
        QTest::newRow("samples too far apart stand alone")
            << QStringList{"0:001", "5000:001"} << QStringList{"0-1 on, 5-6 on", "0-1 off, 5-6 off", "0-1 off, 5-6 off"};
        // before the span: holds into it; after: not drawn
        QTest::newRow("the span's edges")
            << QStringList{"-1000:001", "1000:000", "2000:000", "3000:000", "4000:000", "5000:000", "6000:000",
                           "7000:000", "8000:000", "9000:000", "10000:000", "11000:001"}
            << QStringList{"0-1 on, 1-10 off", "0-10 off", "0-10 off"};
        QTest::newRow("nothing in the span") << QStringList{"-20000:111", "-19000:111"}
                                             << QStringList{"", "", ""};
    }
    void laneColumnsFollowTheSamples()
    {
        QFETCH(QStringList, samples);
        QFETCH(QStringList, lanes);
        const int64_t base = 1'800'000'000'000;
        const TrendHistory history = historyOf(samples, base);
        const LaneRuns runs = outputLaneRuns(history, base, base + 10'000, 10);
        QCOMPARE((QStringList{runsText(runs[0]), runsText(runs[1]), runsText(runs[2])}), lanes);
    }

    void cursorStepsOverEachSample_data()
    {
        // 0: 0 s, 1: 1 s, 2: a gap at 2 s, 3 and 4: both at 3 s (the clock stepped back), 5: 4 s
        QTest::addColumn<int>("from"); // -1: no cursor yet
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("beginS"); // the span shown
        QTest::addColumn<int>("endS");
        QTest::addColumn<int>("to"); // -1: none
        QTest::newRow("first: the newest shown") << -1 << -1 << 0 << 3 << 4;
        QTest::newRow("first forward: the newest shown too") << -1 << 1 << 0 << 1 << 1;
        QTest::newRow("first, nothing shown") << -1 << -1 << 5 << 9 << -1;
        QTest::newRow("back") << 1 << -1 << 0 << 4 << 0;
        QTest::newRow("onto a gap") << 3 << -1 << 0 << 4 << 2;
        QTest::newRow("on through one time") << 3 << 1 << 0 << 4 << 4;
        QTest::newRow("on from one time") << 4 << 1 << 0 << 4 << 5;
        QTest::newRow("back through one time") << 4 << -1 << 0 << 4 << 3;
        QTest::newRow("not before the oldest") << 0 << -1 << 0 << 4 << 0;
        QTest::newRow("not past the newest") << 5 << 1 << 0 << 4 << 5;
    }
    void cursorStepsOverEachSample()
    {
        QFETCH(int, from);
        QFETCH(int, steps);
        QFETCH(int, beginS);
        QFETCH(int, endS);
        QFETCH(int, to);
        TrendHistory history;
        history.append(0, 1);
        history.append(1000, 2);
        history.appendGap(2000);
        history.append(3000, 3);
        history.append(2500, 4); // taken as 3 s
        history.append(4000, 5);
        QCOMPARE(history.at(4).ms, int64_t(3000));
        const std::optional<CursorPlace> start =
            from < 0 ? std::nullopt : std::optional(cursorPlaceOf(history, std::size_t(from)));
        const std::optional<CursorPlace> placed = stepCursor(history, start, steps, beginS * 1000, endS * 1000);
        QCOMPARE(placed ? int(cursorIndex(history, *placed)) : -1, to);
        if (placed)
            QCOMPARE(history.at(cursorIndex(history, *placed)).pascal == 4.0f, to == 4);
    }

    void aDroppedSampleMovesTheCursorOn()
    {
        TrendHistory history(3);
        for (int s = 0; s < 3; ++s)
            history.append(s * 1000, float(s));
        const CursorPlace oldest = cursorPlaceOf(history, 0);
        history.append(3000, 3); // drops the sample at 0 s
        QCOMPARE(cursorIndex(history, oldest), std::size_t(0));
        QCOMPARE(history.at(cursorIndex(history, oldest)).ms, int64_t(1000));
        QCOMPARE(stepCursor(history, oldest, -1, 0, 3000), std::optional(cursorPlaceOf(history, 0)));
    }

    void cursorTimeHasMillisecondsAndTheDateWhereNeeded_data()
    {
        QTest::addColumn<QTime>("at");
        QTest::addColumn<QTime>("from"); // on the same day
        QTest::addColumn<int>("spanMinutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("a minute") << QTime(17, 28, 12, 345) << QTime(17, 28) << 1 << "17:28:12.345";
        QTest::newRow("whole second") << QTime(17, 28, 12) << QTime(17, 28) << 1 << "17:28:12.000";
        QTest::newRow("six hours") << QTime(12, 0, 0, 7) << QTime(6, 0) << 360 << "12:00:00.007";
        QTest::newRow("over six hours") << QTime(12, 0, 0, 7) << QTime(6, 0) << 361 << "10.12.2026 12:00:00.007";
        QTest::newRow("across midnight") << QTime(23, 59, 59, 999) << QTime(23, 30) << 60
                                         << "10.12.2026 23:59:59.999";
    }
    void cursorTimeHasMillisecondsAndTheDateWhereNeeded()
    {
        QFETCH(QTime, at);
        QFETCH(QTime, from);
        QFETCH(int, spanMinutes);
        QFETCH(QString, text);
        const QDate day(2026, 12, 10);
        const int64_t begin = QDateTime(day, from).toMSecsSinceEpoch();
        const DateFormats dotted{QStringLiteral("dd.MM."), QStringLiteral("dd.MM.yyyy")};
        QCOMPARE(cursorTimeText(QDateTime(day, at).toMSecsSinceEpoch(), begin, begin + spanMinutes * 60'000, dotted), text);
        // in English the month comes first, in ISO the year
        const DateFormats english{QStringLiteral("MM/dd"), QStringLiteral("MM/dd/yyyy")};
        const DateFormats iso{QStringLiteral("MM-dd"), QStringLiteral("yyyy-MM-dd")};
        QCOMPARE(cursorTimeText(QDateTime(day, at).toMSecsSinceEpoch(), begin, begin + spanMinutes * 60'000, english),
                 QString(text).replace(QStringLiteral("10.12.2026"), QStringLiteral("12/10/2026")));
        QCOMPARE(cursorTimeText(QDateTime(day, at).toMSecsSinceEpoch(), begin, begin + spanMinutes * 60'000, iso),
                 QString(text).replace(QStringLiteral("10.12.2026"), QStringLiteral("2026-12-10")));
    }

    // In the hour the clock shows twice, the two readings are told apart.
    void theCursorTellsTheRepeatedHourApart()
    {
        const QTimeZone prague("Europe/Prague");
        QVERIFY2(prague.isValid(), "the time zone database (tzdata) is missing");
        const int64_t first = QDateTime(QDate(2026, 10, 25), QTime(0, 30), QTimeZone::utc()).toMSecsSinceEpoch();
        const int64_t second = first + 3'600'000;
        const DateFormats dates{QStringLiteral("dd.MM."), QStringLiteral("dd.MM.yyyy")};
        QCOMPARE(cursorTimeText(first, first - 60'000, second + 60'000, dates, prague), QStringLiteral("02:30:00.000 UTC+02:00"));
        QCOMPARE(cursorTimeText(second, first - 60'000, second + 60'000, dates, prague), QStringLiteral("02:30:00.000 UTC+01:00"));
        QCOMPARE(cursorTimeText(second + 3'600'000, first, second + 4'000'000, dates, prague), QStringLiteral("03:30:00.000"));
    }

    // ---- On the trend window ----

    void keysStepTheCursorBySample_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("sample");   // where the cursor stands
        QTest::addColumn<bool>("live");    // the view still follows the newest value
        QTest::addColumn<bool>("shown");   // the cursor in the view
        QTest::newRow("Left first: the newest") << QStringList{"Left"} << 599 << true << true;
        QTest::newRow("Right first: the newest") << QStringList{"Right"} << 599 << true << true;
        QTest::newRow("back a sample each") << QStringList{"Left", "Left", "Left"} << 597 << true << true;
        QTest::newRow("back and on") << QStringList{"Left", "Left", "Left", "Right"} << 598 << true << true;
        QTest::newRow("Ctrl+Left pans, the cursor stays")
            << QStringList{"Left", "Ctrl+Left"} << 599 << false << false;
        QTest::newRow("Home: the oldest shown") << QStringList{"Home"} << 540 << true << true;
        QTest::newRow("past the left edge the view looks back")
            << QStringList{"Home", "Left", "Left"} << 538 << false << true;
        QTest::newRow("on to the newest, the view with it")
            << QStringList{"Home", "Left"} + QStringList(61, "Right") << 599 << false << true;
        QTest::newRow("Right past the view's end: live again")
            << QStringList{"Left", "Ctrl+Left", "Ctrl+Left", "Right"} << 599 << true << true;
    }
    void keysStepTheCursorBySample()
    {
        QFETCH(QStringList, keys);
        QFETCH(int, sample);
        QFETCH(bool, live);
        QFETCH(bool, shown);
        TTrendWindow &trend = trendOverTenMinutes();
        for (const QString &key : keys) {
            const bool ctrl = key.startsWith(QLatin1String("Ctrl+"));
            const QString name = ctrl ? key.mid(5) : key;
            const Qt::Key code = name == QLatin1String("Left")    ? Qt::Key_Left
                                 : name == QLatin1String("Right") ? Qt::Key_Right
                                                                  : Qt::Key_Home;
            QTest::keyClick(trend.chartView, code, ctrl ? Qt::ControlModifier : Qt::NoModifier);
        }
        QCOMPARE(int(cursorIndexOf(trend)), sample);
        QCOMPARE(trend.liveButton->isEnabled(), !live);
        // the cursor stays in view, its line on it
        const TrendSample &at = window->operatorTools->history.at(std::size_t(sample));
        QCOMPARE(viewBegin(trend) <= at.ms && at.ms <= viewEnd(trend), shown);
        QCOMPARE(trend.cursorLine->isVisible(), shown);
        if (shown)
            QCOMPARE(trend.cursorLine->line().x1(),
                     trend.chart->mapToPosition(QPointF(double(at.ms), 0), trend.limitSeries[0]).x());
        QCOMPARE(trend.pointerLabel->text(), trend.pointerText(at.ms));
        // nothing else but the span's length changes
        QCOMPARE(viewEnd(trend) - viewBegin(trend), int64_t(59'999));
    }

    void theReadoutTellsTheSample_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("sample");
        QTest::addColumn<QString>("readout");
        QTest::newRow("English") << 0 << 299
                                 << "Cursor: 09:04:59.250  2.990 kPa  Output 1: on, Output 2: on, Output 3: off";
        QTest::newRow("a gap") << 0 << 300 << "Cursor: 09:05:00.250  no value";
        QTest::newRow("Czech") << 1 << 301
                               << "Kurzor: 09:05:01.250  3.010 kPa  Výstup 1: sepnuto, Výstup 2: rozepnuto, "
                                  "Výstup 3: sepnuto";
        QTest::newRow("German gap") << 2 << 300 << "Cursor: 09:05:00.250  kein Wert";
    }
    void theReadoutTellsTheSample()
    {
        QFETCH(int, language);
        QFETCH(int, sample);
        QFETCH(QString, readout);
        TTrendWindow &trend = trendOverTenMinutes();
        useLanguage(language);
        const int64_t ms = window->operatorTools->history.at(std::size_t(sample)).ms;
        // the mouse near the sample, and a key to the newest and back to it
        trend.showPointer(ms + 400);
        QCOMPARE(trend.pointerLabel->text(), readout);
        trend.showPointer(std::nullopt);
        QVERIFY(trend.pointerLabel->text().isEmpty());
        QTest::keyClick(trend.chartView, Qt::Key_PageUp);
        QTest::keyClick(trend.chartView, Qt::Key_PageUp);
        QTest::keyClick(trend.chartView, Qt::Key_PageUp);
        QTest::keyClick(trend.chartView, Qt::Key_PageUp);
        QTest::keyClick(trend.chartView, Qt::Key_Left);
        while (cursorIndexOf(trend) > std::size_t(sample))
            QTest::keyClick(trend.chartView, Qt::Key_Left);
        QCOMPARE(trend.pointerLabel->text(), readout);
        // the unit as the window shows it
        if (!readout.contains(QLatin1String("kPa")))
            return;
        window->CmPa();
        QVERIFY2(trend.pointerLabel->text().contains(QStringLiteral("  %1 Pa  ").arg(sample * 10)),
                 qPrintable(trend.pointerLabel->text()));
    }

    void theCursorAndTheLegendAreSaid()
    {
        TTrendWindow &trend = trendOverTenMinutes();
        QList<QPair<QObject *, QString>> said;
        trend.announced = [&said](QWidget *widget, const QString &text) { said.append({widget, text}); };
        const auto description = [&trend] {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(trend.chartView);
            return iface ? iface->text(QAccessible::Description) : QString();
        };
        const auto saidOf = [&said](QObject *object) {
            QStringList texts;
            for (const auto &[o, text] : said)
                if (o == object)
                    texts << text;
            return texts;
        };

        // the legend: the entries the legend shows, in its order
        QStringList entries;
        for (QLegendMarker *marker : trend.chart->legend()->markers())
            if (marker->isVisible())
                entries << marker->label();
        QCOMPARE(entries.size(), 7);
        const QString legend = QStringLiteral("Legend: ") + entries.join(QStringLiteral("; "));
        QCOMPARE(description(), legend);
        QVERIFY(legend.contains(QStringLiteral("Output 3: Higher value (dash-dot)")));

        const QString first = QStringLiteral("Cursor: 09:09:59.250, 5.990 kPa, Output 1: on, Output 2: on, "
                                             "Output 3: on");
        QTest::keyClick(trend.chartView, Qt::Key_Left);
        QCOMPARE(description(), first + QStringLiteral(". ") + legend);
        // the readout reads as a sentence, and is told once, through the chart
        QCOMPARE(QAccessible::queryAccessibleInterface(trend.pointerLabel)->text(QAccessible::Name), first);
        QCOMPARE(saidOf(trend.chartView), QStringList{description()});
        QCOMPARE(saidOf(trend.pointerLabel), QStringList{});
        said.clear();
        QTest::keyClick(trend.chartView, Qt::Key_Left);
        QVERIFY(description().startsWith(QStringLiteral("Cursor: 09:09:58.250, 5.980 kPa, Output 1: off, ")));
        QCOMPARE(saidOf(trend.chartView), QStringList{description()});
        QCOMPARE(saidOf(trend.pointerLabel).size(), 0);
        // told once: a redraw with nothing new says nothing
        said.clear();
        trend.redraw();
        QCOMPARE(said.size(), 0);

        // an output hidden leaves the legend, and the language changes it all
        trend.outputChecks[0]->setChecked(false);
        QVERIFY(!description().contains(QStringLiteral("Output 1: Lower value")));
        useLanguage(2);
        QVERIFY2(description().startsWith(QStringLiteral("Cursor: 09:09:58.250, 5.980 kPa, Ausgang 1: aus, ")),
                 qPrintable(description()));
        QVERIFY(description().contains(QStringLiteral("Legende: ")));
        QVERIFY(description().contains(QStringLiteral("Ausgang 3: Oberer Wert (strichpunktiert)")));
        trend.announced = nullptr;
    }

    void lanesLineUpWithThePlot_data()
    {
        QTest::addColumn<QStringList>("steps"); // "+": zoom in; "PgUp": a page back; a number: that width
        QTest::newRow("as opened") << QStringList{};
        QTest::newRow("wider") << QStringList{"1400"};
        QTest::newRow("narrower") << QStringList{"700"};
        QTest::newRow("zoomed in") << QStringList{"+"};
        QTest::newRow("a page back") << QStringList{"PgUp"};
    }
    void lanesLineUpWithThePlot()
    {
        QFETCH(QStringList, steps);
        TTrendWindow &trend = trendOverTenMinutes();
        for (const QString &step : steps) {
            if (step == QLatin1String("+"))
                QTest::keyClick(trend.chartView, Qt::Key_Plus);
            else if (step == QLatin1String("PgUp"))
                QTest::keyClick(trend.chartView, Qt::Key_PageUp);
            else
                trend.resize(step.toInt(), trend.height());
            QApplication::processEvents();
        }
        OutputLanes &lanes = *trend.lanes;
        const int64_t begin = viewBegin(trend);
        const int64_t end = viewEnd(trend);
        const int laneLeft = lanes.mapTo(&trend, QPoint()).x();
        for (const int64_t ms : {begin, (begin + end) / 2, end})
            QVERIFY2(std::abs(lanes.xOf(ms) + laneLeft - plotXInWindow(trend, ms)) < 0.5,
                     qPrintable(QStringLiteral("%1 against %2").arg(lanes.xOf(ms) + laneLeft)
                                    .arg(plotXInWindow(trend, ms))));
        QCOMPARE(lanes.columns(), int(std::lround(trend.chart->plotArea().width())));
        // each sample's output 1 in its column: on for odd samples; the gap none
        const TrendHistory &history = window->operatorTools->history;
        const double columnWidth = trend.chart->plotArea().width() / lanes.columns();
        for (std::size_t i = history.lowerBound(begin); i < history.size() && history.at(i).ms <= end; ++i) {
            const int column = int((lanes.xOf(history.at(i).ms) - lanes.xOf(begin)) / columnWidth + 1e-6);
            LaneState state = LaneState::None;
            for (const LaneRun &run : lanes.runs()[0])
                if (run.first <= std::min(column, lanes.columns() - 1) && std::min(column, lanes.columns() - 1) < run.last)
                    state = run.state;
            const LaneState expected = i == 300 ? LaneState::None : i % 2 ? LaneState::On : LaneState::Off;
            // a column may hold the end of the sample before as well
            QVERIFY2(state == expected || (expected != LaneState::None && state == LaneState::Both),
                     qPrintable(QStringLiteral("sample %1, column %2").arg(i).arg(column)));
        }
    }

    void aHiddenOutputHidesItsLane()
    {
        TTrendWindow &trend = trendOverTenMinutes();
        OutputLanes &lanes = *trend.lanes;
        const QRect second = lanes.laneRect(1);
        const int height = lanes.height();
        QCOMPARE(lanes.accessibleName(), QStringLiteral("Output states"));
        // the newest sample, 599: outputs 1 to 3 on
        QCOMPARE(lanes.accessibleDescription(), QStringLiteral("Output 1: on, Output 2: on, Output 3: on"));
        trend.outputChecks[1]->setChecked(false);
        QApplication::processEvents();
        QVERIFY(lanes.laneRect(1).isEmpty());
        QCOMPARE(lanes.laneRect(2), second); // the third moves up
        QVERIFY(lanes.height() < height);
        QCOMPARE(lanes.accessibleDescription(), QStringLiteral("Output 1: on, Output 3: on"));
        trend.outputChecks[1]->setChecked(true);
        QApplication::processEvents();
        QCOMPARE(lanes.laneRect(1), second);
        QCOMPARE(lanes.height(), height);
        useLanguage(1);
        QCOMPARE(lanes.accessibleName(), QStringLiteral("Stavy výstupů"));
    }
};

QZ_SHELL_TEST_MAIN(TrendCursorTest)
#include "tst_trend_cursor.moc"
