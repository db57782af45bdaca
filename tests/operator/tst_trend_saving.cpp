// What the trend saves: its history as the recording writes it, and the
// chart as a picture with title, time range and figures; a failed save keeps
// the old file.
#include "ShellTestSupport.h"

#include "FileSizeLimit.h"
#include "HistoryExport.h"
#include "Lang.h"
#include "Main.h"
#include "NumberText.h"
#include "OperatorTools.h"
#include "Recorder.h"
#include "TrendWindow.h"
#include "Units.h"
#include "qzsim.h"
#include "SimulatorSupport.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include "OutputLanes.h"
#include "TimeAxis.h"
#include <QtCharts/QLegend>

#include <cmath>
#include <ctime>
#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace shelltest;

namespace {

// One poll: a value, or a gap (NaN), at base + ms.
struct Poll {
    int64_t ms;
    float pascal;
    uint8_t lamps;
};

const float kGap = NAN;

// Gaps, lamps, three values in one millisecond, a value the clock put before
// the last one, a steady value and the extremes of the number format.
const Poll kPolls[] = {
    {0, 50000, 0b001},     {1000, 50000.5f, 0b011},  {1500, kGap, 0},          {2000, -1250.25f, 0},
    {2000, 7e-5f, 0b100},  {2000, 123456792.f, 0b111}, {2001, 33000, 0},         {1900, 42000, 0b010},
    {5000, 50000, 0b010},  {6000, kGap, 0},          {7000, 61000.125f, 0b101}, {8000, 61000.125f, 0b101},
};

QList<QByteArray> crlfLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        line += '\n'; // each keeps its own ending, the carriage return included
    return lines;
}

bool hasInk(const QImage &image, int fromRow, int toRow)
{
    for (int y = std::max(fromRow, 0); y < std::min(toRow, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

void setZone(const QByteArray &zone)
{
    if (zone.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", zone);
#ifdef Q_OS_WIN
    _tzset();
#else
    tzset();
#endif
}

} // namespace

class TrendSavingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;
    DialogHooks previousHooks;
    QList<MessageRequest> boxes;
    QString savePath;
    QDateTime now;
    QTemporaryDir languageCopy;
    QByteArray savedZone;

    TMainF &connectedWindow()
    {
        window.reset();
        home = std::make_unique<ConfigHome>();
        window = stillWindow();
        window->operatorTools->clock = [this] { return now; };
        window->isPressure = true;
        window->CCmPoStartu();
        boxes.clear();
        return *window;
    }

    TTrendWindow &openTrend(TMainF &w)
    {
        w.operatorTools->showTrend();
        return *static_cast<TTrendWindow *>(w.operatorTools->trendWindow);
    }

    // Three minutes at one value a second, output 1 on in the second minute, a gap in the third.
    void fillThreeMinutes(TMainF &w)
    {
        TrendHistory &history = w.operatorTools->history;
        const int64_t start = now.toMSecsSinceEpoch();
        for (int s = 0; s < 180; ++s) {
            if (s == 150)
                history.appendGap(start + s * 1000);
            else
                history.append(start + s * 1000, float(30000 + s * 100), uint8_t(s >= 60 && s < 120));
        }
        now = now.addSecs(179);
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
        const QDir shipped(QStringLiteral(QZ_LANGUAGE_DIR));
        for (const QString &name : shipped.entryList(QDir::Files))
            QVERIFY(QFile::copy(shipped.filePath(name), languageCopy.filePath(name)));
        savedZone = qgetenv("TZ");
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
        savePath.clear();
        DialogHooks hooks;
        hooks.message = [this](QWidget *, const MessageRequest &r) {
            boxes << r;
            return MessageAnswer::Ok;
        };
        hooks.saveFile = [this](QWidget *, const FileDialogRequest &) { return savePath; };
        hooks.execDialog = [](QDialog &) { return int(QDialog::Rejected); };
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
        setZone(savedZone);
    }

    // ---- The lines ----

    // The same polls recorded and exported: the export holds exactly the
    // recording's lines of the values in the span, byte for byte, in local
    // times of zones with and without summer time, across its change, with
    // offsets of half hours, west of UTC, and of seconds.
    void exportHoldsTheRecordingsLines_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("base");
        QTest::addColumn<qint64>("from"); // ms after base; INT64_MIN: from the start
        QTest::addColumn<qint64>("to");   // INT64_MAX: to the end
        QTest::addColumn<QChar>("decimalSeparator");
        QTest::addColumn<QString>("offset"); // of the first line's time
        QTest::addColumn<int>("lines");

        const QDateTime winter(QDate(2026, 12, 10), QTime(8, 59, 57), Qt::UTC);
        const qint64 all0 = INT64_MIN;
        const qint64 all1 = INT64_MAX;
        QTest::newRow("everything, UTC") << QByteArray("UTC") << winter << all0 << all1 << QChar(u'.') << "+00:00" << 10;
        QTest::newRow("everything, a decimal comma is quoted")
            << QByteArray("Europe/Prague") << winter << all0 << all1 << QChar(u',') << "+01:00" << 10;
        QTest::newRow("everything, across the end of summer time")
            << QByteArray("Europe/Prague") << QDateTime(QDate(2026, 10, 25), QTime(0, 59, 57), Qt::UTC) << all0
            << all1 << QChar(u'.') << "+02:00" << 10;
        QTest::newRow("everything, half an hour east")
            << QByteArray("Asia/Kolkata") << winter << all0 << all1 << QChar(u'.') << "+05:30" << 10;
        QTest::newRow("everything, half an hour west")
            << QByteArray("America/St_Johns") << winter << all0 << all1 << QChar(u'.') << "-03:30" << 10;
        QTest::newRow("everything, an offset with seconds")
            << QByteArray("XYZ-00:30:30") << winter << all0 << all1 << QChar(u'.') << "+00:30" << 10;
        // Values before the span still push the times of those in it on.
        QTest::newRow("span from after three values in one ms")
            << QByteArray("Europe/Prague") << winter << qint64(2001) << all1 << QChar(u'.') << "+01:00" << 5;
        QTest::newRow("span cutting both ends")
            << QByteArray("Europe/Prague") << winter << qint64(1000) << qint64(6999) << QChar(u'.') << "+01:00" << 7;
        QTest::newRow("span without a value")
            << QByteArray("Europe/Prague") << winter << qint64(5001) << qint64(6999) << QChar(u'.') << "" << 0;
    }

    void exportHoldsTheRecordingsLines()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, base);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(QChar, decimalSeparator);
        QFETCH(QString, offset);
        QFETCH(int, lines);
        setZone(zone);
        const int64_t start = base.toMSecsSinceEpoch();
        const auto shown = [decimalSeparator](float pascal) {
            return QString::number(double(pascal) / 1000, 'f', 3).replace(u'.', decimalSeparator);
        };
        const QString unit = QStringLiteral("kPa");

        QTemporaryDir dir;
        const QString recorded = dir.filePath(QStringLiteral("recorded.csv"));
        TRecorder recorder;
        QVERIFY(recorder.start(recorded));
        TrendHistory history;
        for (const Poll &poll : kPolls) {
            if (std::isnan(poll.pascal)) {
                history.appendGap(start + poll.ms);
                continue;
            }
            history.append(start + poll.ms, poll.pascal, poll.lamps);
            RecordedValue value;
            value.time = QDateTime::fromMSecsSinceEpoch(start + poll.ms);
            value.pascal = poll.pascal;
            value.shownNumber = shown(poll.pascal);
            value.unit = unit;
            value.lamps = {bool(poll.lamps & 1), bool(poll.lamps & 2), bool(poll.lamps & 4)};
            QVERIFY(recorder.write(value));
        }
        recorder.stop();

        // The recording's lines of the values whose poll lies in the span.
        const QList<QByteArray> recordedLines = crlfLines(readBytes(recorded));
        QList<QByteArray> expected{recordedLines.first()};
        qsizetype line = 1;
        for (std::size_t i = 0; i < history.size(); ++i) {
            if (std::isnan(history.at(i).pascal))
                continue;
            const int64_t ms = history.at(i).ms;
            if ((from == INT64_MIN || ms >= start + from) && (to == INT64_MAX || ms <= start + to))
                expected << recordedLines.at(line);
            ++line;
        }
        QCOMPARE(line, recordedLines.size());

        const QByteArray exported = trendexport::historyCsv(
            history, from == INT64_MIN ? from : start + from, to == INT64_MAX ? to : start + to, shown, unit);
        const QList<QByteArray> exportedLines = crlfLines(exported);
        QCOMPARE(exportedLines, expected);
        QCOMPARE(exportedLines.size(), lines + 1);
        QCOMPARE(exportedLines.first(), QByteArray(TRecorder::kHeader) + "\r\n");
        if (lines > 0)
            QCOMPARE(QString::fromUtf8(exportedLines.at(1)).section(u',', 0, 0).right(6), offset);
    }

    // ---- The window ----

    // Through the button's menu and the save dialog: the span shown, or all
    // of it, each value in the unit shown now with its lamps, gaps left out.
    void exportFromTheTrendWindow_data()
    {
        QTest::addColumn<bool>("everything");
        QTest::addColumn<int>("firstSecond");
        QTest::addColumn<int>("lines");
        QTest::newRow("the span shown, the last minute") << false << 120 << 59;
        QTest::newRow("everything") << true << 0 << 179;
    }

    void exportFromTheTrendWindow()
    {
        QFETCH(bool, everything);
        QFETCH(int, firstSecond);
        QFETCH(int, lines);
        QTemporaryDir dir;
        TMainF &w = connectedWindow();
        const QDateTime start = now;
        fillThreeMinutes(w);
        TTrendWindow &trend = openTrend(w);
        trend.spanBox->setCurrentIndex(0); // 1 minute
        QCOMPARE(trend.exportButton->menu()->actions(),
                 (QList<QAction *>{trend.exportShownAction, trend.exportAllAction}));
        savePath = dir.filePath(QStringLiteral("export.csv"));
        (everything ? trend.exportAllAction : trend.exportShownAction)->trigger();
        QVERIFY(boxes.isEmpty());

        const QStringList fileLines = QString::fromUtf8(readBytes(savePath)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(fileLines.size(), lines + 1);
        QCOMPARE(fileLines.first(), QString::fromLatin1(TRecorder::kHeader));
        int second = firstSecond;
        for (const QString &line : fileLines.mid(1)) {
            if (second == 150)
                ++second; // the gap
            const float pascal = float(30000 + second * 100);
            RecordedValue value;
            value.time = start.addSecs(second);
            value.pascal = pascal;
            value.shownNumber = display::shownNumber(pascal, w);
            value.unit = QStringLiteral("kPa");
            value.lamps = {second >= 60 && second < 120, false, false};
            QCOMPARE(line, TRecorder::csvLine(value));
            ++second;
        }
        QCOMPARE(second, 180);
    }

    // The button and its menu by name, in each language.
    void exportControlsAreNamed_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("all");
        QTest::newRow("en") << 0 << "Export" << "Span shown" << "Everything";
        QTest::newRow("cs") << 1 << "Exportovat" << "Zobrazený úsek" << "Vše";
        QTest::newRow("de") << 2 << "Exportieren" << "Angezeigter Zeitraum" << "Alles";
    }

    void exportControlsAreNamed()
    {
        QFETCH(int, language);
        QFETCH(QString, button);
        QFETCH(QString, shown);
        QFETCH(QString, all);
        TMainF &w = connectedWindow();
        TTrendWindow &trend = openTrend(w);
        useLanguage(language);
        w.translateMainWindow();
        QCOMPARE(trend.exportButton->accessibleName(), button);
        QVERIFY(trend.exportButton->text().startsWith(button));
        QCOMPARE(trend.exportShownAction->text(), shown);
        QCOMPARE(trend.exportAllAction->text(), all);
        QVERIFY(trend.exportButton->focusPolicy() & Qt::TabFocus);
    }

    // ---- The picture ----

    // Above the chart its title and time range, below it the span's figures;
    // the legend in the chart.
    void thePictureHoldsTitleRangeAndFigures()
    {
        QTemporaryDir dir;
        TMainF &w = connectedWindow();
        fillThreeMinutes(w);
        TTrendWindow &trend = openTrend(w);
        trend.show();
        QVERIFY(QTest::qWaitForWindowExposed(&trend));
        trend.redraw();
        const QImage chartAlone = trend.chartView->grab().toImage();
        const QString path = dir.filePath(QStringLiteral("trend.png"));
        QVERIFY(trend.saveImage(path));
        QVERIFY(boxes.isEmpty());
        QImage saved(path);
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.width(), chartAlone.width());
        const int extra = saved.height() - chartAlone.height();
        QVERIFY2(extra > 2 * trend.fontMetrics().height(), qPrintable(QString::number(extra)));
        QVERIFY(trend.chart->legend()->isVisible());

        // Where the chart stands in the picture: header above, footer below, both with text.
        int top = -1;
        for (int y = 0; y <= extra && top < 0; ++y)
            if (saved.copy(0, y, saved.width(), chartAlone.height()).convertToFormat(QImage::Format_RGB32)
                == chartAlone.convertToFormat(QImage::Format_RGB32))
                top = y;
        QVERIFY2(top > 0, "the chart is in the picture whole, below a header");
        QVERIFY(top < extra);
        QVERIFY(hasInk(saved, 0, top));
        QVERIFY(hasInk(saved, top + chartAlone.height(), saved.height()));
        // the outputs' lanes right under the chart, where the window shows them
        QVERIFY(trend.lanes->isVisible());
        const QImage lanesAlone = trend.lanes->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int lanesX = trend.lanes->x() - trend.chartView->x();
        QCOMPARE(saved.copy(lanesX, top + chartAlone.height(), lanesAlone.width(), lanesAlone.height())
                     .convertToFormat(QImage::Format_RGB32),
                 lanesAlone);
    }

    // The picture's time range carries each end's offset from UTC, as the exported lines do.
    void thePicturesTimeRangeHasItsOffsets_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("fromUtc");
        QTest::addColumn<QString>("toUtc");
        QTest::addColumn<QString>("text");
        QTest::newRow("winter") << "Europe/Prague" << "2026-12-10T14:04:05Z" << "2026-12-10T14:14:05Z"
                                << "2026-12-10 15:04:05+01:00 \u2013 2026-12-10 15:14:05+01:00";
        QTest::newRow("summer") << "Europe/Prague" << "2026-07-01T08:00:00Z" << "2026-07-01T09:00:00Z"
                                << "2026-07-01 10:00:00+02:00 \u2013 2026-07-01 11:00:00+02:00";
        // the hour the clock shows twice: told apart only by the offset
        QTest::newRow("across the autumn change") << "Europe/Prague" << "2026-10-25T00:30:00Z" << "2026-10-25T01:30:00Z"
                                                  << "2026-10-25 02:30:00+02:00 \u2013 2026-10-25 02:30:00+01:00";
        QTest::newRow("UTC") << "UTC" << "2026-12-10T14:04:05Z" << "2026-12-10T14:04:06Z"
                             << "2026-12-10 14:04:05+00:00 \u2013 2026-12-10 14:04:06+00:00";
        QTest::newRow("half an hour, west") << "America/St_Johns" << "2026-12-10T14:00:00Z" << "2026-12-10T15:00:00Z"
                                            << "2026-12-10 10:30:00-03:30 \u2013 2026-12-10 11:30:00-03:30";
    }
    void thePicturesTimeRangeHasItsOffsets()
    {
        QFETCH(QString, zone);
        QFETCH(QString, fromUtc);
        QFETCH(QString, toUtc);
        QFETCH(QString, text);
        const QTimeZone tz(zone.toLatin1());
        QVERIFY2(tz.isValid(), "the time zone database (tzdata) is missing");
        const auto ms = [](const QString &iso) { return QDateTime::fromString(iso, Qt::ISODate).toMSecsSinceEpoch(); };
        QCOMPARE(trendexport::timeRangeText(ms(fromUtc), ms(toUtc), tz), text);
    }

    // ---- Failures ----

    // A disk that fills up, a folder that takes no new file, a folder that
    // is a file: the old file stays as it was, nothing else is left, and a
    // box says what failed with the path.
    void aFailedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("image");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("message");
        for (bool image : {false, true}) {
            const char *what = image ? "image" : "export";
            QTest::addRow("%s, full disk", what) << image << "full" << "File cannot be written";
            QTest::addRow("%s, read-only folder", what) << image << "read-only" << "Cannot open file";
            QTest::addRow("%s, folder is a file", what) << image << "not a folder" << "Cannot open file";
        }
    }

    void aFailedSaveKeepsTheOldFile()
    {
        QFETCH(bool, image);
        QFETCH(QString, cause);
        QFETCH(QString, message);
        QTemporaryDir dir;
        TMainF &w = connectedWindow();
        fillThreeMinutes(w);
        TTrendWindow &trend = openTrend(w);
        const QString folder = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(folder));
        QString path = folder + QStringLiteral("/old.file");
        const QByteArray old("old contents\r\n");
        QVERIFY(writeBytes(path, old));
        if (cause == QStringLiteral("not a folder"))
            path += QStringLiteral("/new.file");

        bool saved = true;
        if (cause == QStringLiteral("full")) {
#ifdef Q_OS_UNIX
            FileSizeLimit full(old.size() + 100);
            saved = image ? trend.saveImage(path) : trend.exportHistory(path, true);
#else
            QSKIP("no file size limit here");
#endif
        } else if (cause == QStringLiteral("read-only")) {
#ifdef Q_OS_LINUX
            QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
            QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
            // Root passes every permission check; under another identity it meets them.
            const bool root = geteuid() == 0;
            if (root)
                setfsuid(65534);
            saved = image ? trend.saveImage(path) : trend.exportHistory(path, false);
            if (root)
                setfsuid(0);
            ::chmod(QFile::encodeName(folder).constData(), 0755);
#else
            QSKIP("permissions are Linux's here");
#endif
        } else {
            saved = image ? trend.saveImage(path) : trend.exportHistory(path, false);
        }
        QVERIFY(!saved);
        QCOMPARE(readBytes(folder + QStringLiteral("/old.file")), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"old.file"});
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, message + QChar(13) + path);
        QCOMPARE(boxes[0].title, QStringLiteral("Error"));

        // The same, where it can be written, replaces the old file.
        boxes.clear();
        path = folder + QStringLiteral("/old.file");
        QVERIFY(image ? trend.saveImage(path) : trend.exportHistory(path, true));
        QVERIFY(boxes.isEmpty());
        QVERIFY(readBytes(path) != old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"old.file"});
    }
};

QTEST_MAIN(TrendSavingTest)
#include "tst_trend_saving.moc"
