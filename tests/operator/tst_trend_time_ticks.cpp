// The time axis' ticks: round local times, dates where the day is not plain,
// daylight saving in order, labels kept apart.
#include "TimeTicks.h"

#include <QDateTime>
#include <QSet>
#include <QTimeZone>

namespace {

const QTimeZone &prague()
{
    static const QTimeZone zone("Europe/Prague");
    return zone;
}

// "2026-12-10 10:00:00.300" on Prague's clock, or "...Z" in UTC.
qint64 ms(const QString &text)
{
    const bool utc = text.endsWith(u'Z');
    const QString plain = utc ? text.chopped(1) : text;
    const QDateTime parsed = QDateTime::fromString(plain, plain.contains(u'.') ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                                               : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return QDateTime(parsed.date(), parsed.time(), utc ? QTimeZone::utc() : prague()).toMSecsSinceEpoch();
}

// The rows below were written in Czech or German, whose dates are "10.12.".
const DateFormats dotted{QStringLiteral("dd.MM."), QStringLiteral("dd.MM.yyyy")};

QStringList labels(const std::vector<TimeTick> &ticks)
{
    QStringList list;
    for (const TimeTick &t : ticks)
        list << t.label;
    return list;
}

} // namespace

class TimeTicksTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(prague().isValid(), "the time zone database (tzdata) is missing"); }

    void roundTimesAndDates_data()
    {
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("maxTicks");
        QTest::addColumn<QStringList>("expected");
        const QString day = QStringLiteral("2026-12-10 ");
        QTest::newRow("1 s") << day + "10:00:00.300" << day + "10:00:05.200" << 10
                             << QStringList{"10:00:01", "10:00:02", "10:00:03", "10:00:04", "10:00:05"};
        QTest::newRow("2 s") << day + "10:00:00.500" << day + "10:00:15" << 10
                             << QStringList{"10:00:02", "10:00:04", "10:00:06", "10:00:08", "10:00:10", "10:00:12",
                                            "10:00:14"};
        QTest::newRow("5 s") << day + "10:00:03" << day + "10:00:45" << 10
                             << QStringList{"10:00:05", "10:00:10", "10:00:15", "10:00:20", "10:00:25", "10:00:30",
                                            "10:00:35", "10:00:40", "10:00:45"};
        QTest::newRow("10 s") << day + "09:59:55" << day + "10:01:20" << 10
                              << QStringList{"10:00:00", "10:00:10", "10:00:20", "10:00:30", "10:00:40", "10:00:50",
                                             "10:01:00", "10:01:10", "10:01:20"};
        QTest::newRow("15 s") << day + "10:00:00" << day + "10:02:00" << 10
                              << QStringList{"10:00:00", "10:00:15", "10:00:30", "10:00:45", "10:01:00", "10:01:15",
                                             "10:01:30", "10:01:45", "10:02:00"};
        QTest::newRow("30 s") << day + "10:00:10" << day + "10:04:50" << 10
                              << QStringList{"10:00:30", "10:01:00", "10:01:30", "10:02:00", "10:02:30", "10:03:00",
                                             "10:03:30", "10:04:00", "10:04:30"};
        QTest::newRow("1 min") << day + "10:00:00.001" << day + "10:09:59.999" << 10
                               << QStringList{"10:01", "10:02", "10:03", "10:04", "10:05", "10:06", "10:07", "10:08",
                                              "10:09"};
        QTest::newRow("2 min") << day + "10:01:00" << day + "10:19:00" << 10
                               << QStringList{"10:02", "10:04", "10:06", "10:08", "10:10", "10:12", "10:14", "10:16",
                                              "10:18"};
        QTest::newRow("5 min") << day + "10:00:00" << day + "10:20:00" << 10
                               << QStringList{"10:00", "10:05", "10:10", "10:15", "10:20"};
        QTest::newRow("10 min") << day + "10:00:00" << day + "11:00:00" << 8
                                << QStringList{"10:00", "10:10", "10:20", "10:30", "10:40", "10:50", "11:00"};
        QTest::newRow("15 min") << day + "10:00:00" << day + "11:30:00" << 8
                                << QStringList{"10:00", "10:15", "10:30", "10:45", "11:00", "11:15", "11:30"};
        QTest::newRow("30 min") << day + "10:10:00" << day + "13:50:00" << 8
                                << QStringList{"10:30", "11:00", "11:30", "12:00", "12:30", "13:00", "13:30"};
        QTest::newRow("1 h") << day + "10:00:00" << day + "15:30:00" << 8
                             << QStringList{"10:00", "11:00", "12:00", "13:00", "14:00", "15:00"};
        QTest::newRow("2 h") << day + "00:30:00" << day + "06:00:00" << 4 << QStringList{"02:00", "04:00", "06:00"};
        QTest::newRow("3 h, over 6 h: the date on each") << day + "00:00:00" << "2026-12-11 00:00:00" << 10
                                     << QStringList{"10.12. 00:00", "10.12. 03:00", "10.12. 06:00",
                                                    "10.12. 09:00", "10.12. 12:00", "10.12. 15:00",
                                                    "10.12. 18:00", "10.12. 21:00", "11.12. 00:00"};
        QTest::newRow("6 h") << day + "01:00:00" << "2026-12-11 23:00:00" << 8
                             << QStringList{"10.12. 06:00", "10.12. 12:00", "10.12. 18:00", "11.12. 00:00",
                                            "11.12. 06:00", "11.12. 12:00", "11.12. 18:00"};
        QTest::newRow("12 h") << day + "00:00:00" << "2026-12-13 00:00:00" << 8
                              << QStringList{"10.12. 00:00", "10.12. 12:00", "11.12. 00:00", "11.12. 12:00",
                                             "12.12. 00:00", "12.12. 12:00", "13.12. 00:00"};
        QTest::newRow("1 day") << day + "12:00:00" << "2026-12-15 12:00:00" << 8
                               << QStringList{"11.12. 00:00", "12.12. 00:00", "13.12. 00:00", "14.12. 00:00",
                                              "15.12. 00:00"};
        QTest::newRow("days beyond the steps") << "2026-12-01 00:00:00" << "2026-12-31 00:00:00" << 8
                                               << QStringList{"01.12. 00:00", "05.12. 00:00", "09.12. 00:00",
                                                              "13.12. 00:00", "17.12. 00:00", "21.12. 00:00",
                                                              "25.12. 00:00", "29.12. 00:00"};
        QTest::newRow("midnight in a short span") << day + "23:58:00" << "2026-12-11 00:03:00" << 10
                                                  << QStringList{"10.12. 23:58", "23:59", "11.12. 00:00", "00:01",
                                                                 "00:02", "00:03"};
        // Daylight saving: 02:00 becomes 03:00 in March, 03:00 becomes 02:00 in October.
        QTest::newRow("spring, hourly") << "2026-03-29 00:00:00" << "2026-03-29 05:00:00" << 5
                                        << QStringList{"00:00", "01:00 UTC+01:00", "03:00 UTC+02:00", "04:00",
                                                       "05:00"};
        QTest::newRow("spring, 30 min") << "2026-03-29 00:00:00" << "2026-03-29 05:00:00" << 10
                                        << QStringList{"00:00", "00:30", "01:00", "01:30 UTC+01:00",
                                                       "03:00 UTC+02:00", "03:30", "04:00", "04:30", "05:00"};
        QTest::newRow("autumn, hourly") << "2026-10-24 22:00:00Z" << "2026-10-25 03:00:00Z" << 6
                                        << QStringList{"00:00", "01:00", "02:00 UTC+02:00", "02:00 UTC+01:00",
                                                       "03:00", "04:00"};
        QTest::newRow("autumn, 2 h") << "2026-10-24 22:00:00Z" << "2026-10-25 03:00:00Z" << 4
                                     << QStringList{"00:00", "02:00 UTC+02:00", "04:00 UTC+01:00"};
        QTest::newRow("autumn, inside the hour shown twice")
            << "2026-10-25 00:30:00Z" << "2026-10-25 01:30:00Z" << 5
            << QStringList{"02:30 UTC+02:00", "02:45 UTC+02:00", "02:00 UTC+01:00", "02:15 UTC+01:00",
                           "02:30 UTC+01:00"};
        QTest::newRow("autumn, a day") << "2026-10-24 12:00:00" << "2026-10-25 12:00:00" << 10
                                       << QStringList{"24.10. 12:00", "24.10. 15:00", "24.10. 18:00",
                                                      "24.10. 21:00", "25.10. 00:00 UTC+02:00",
                                                      "25.10. 03:00 UTC+01:00", "25.10. 06:00", "25.10. 09:00",
                                                      "25.10. 12:00"};
    }
    void roundTimesAndDates()
    {
        QFETCH(QString, begin);
        QFETCH(QString, end);
        QFETCH(int, maxTicks);
        QFETCH(QStringList, expected);
        const std::vector<TimeTick> ticks = timeTicks(ms(begin), ms(end), maxTicks, prague(), dotted);
        QCOMPARE(labels(ticks), expected);
        QSet<QString> seen;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            QVERIFY(ticks[i].ms >= ms(begin) && ticks[i].ms <= ms(end));
            QCOMPARE(ticks[i].ms % 1000, 0);
            if (i > 0)
                QVERIFY(ticks[i].ms > ticks[i - 1].ms);
            seen.insert(ticks[i].label);
        }
        // a category axis takes each label once
        QCOMPARE(seen.size(), qsizetype(ticks.size()));
    }

    // The date on the labels as the language shown writes it.
    void datesFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("language"); // the catalogue's short name
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("full"); // the readout's date of 10 December 2026
        const QString day = QStringLiteral("2026-12-10 ");
        const QString night = QStringLiteral("2026-12-11 00:03:00");
        QTest::newRow("English") << "UK" << day + "23:58:00" << night
                                 << QStringList{"12/10 23:58", "23:59", "12/11 00:00", "00:01", "00:02", "00:03"}
                                 << "12/10/2026";
        QTest::newRow("English, no name") << "" << day + "00:00:00" << day + "23:00:00"
                                          << QStringList{"12/10 00:00", "12/10 06:00", "12/10 12:00", "12/10 18:00"}
                                          << "12/10/2026";
        QTest::newRow("Czech") << "CZ" << day + "23:58:00" << night
                               << QStringList{"10.12. 23:58", "23:59", "11.12. 00:00", "00:01", "00:02", "00:03"}
                               << "10.12.2026";
        QTest::newRow("German") << "DE" << day + "00:00:00" << day + "23:00:00"
                                << QStringList{"10.12. 00:00", "10.12. 06:00", "10.12. 12:00", "10.12. 18:00"}
                                << "10.12.2026";
        QTest::newRow("another language: ISO") << "FR" << day + "23:58:00" << night
                                               << QStringList{"12-10 23:58", "23:59", "12-11 00:00", "00:01", "00:02",
                                                              "00:03"}
                                               << "2026-12-10";
    }
    void datesFollowTheLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, begin);
        QFETCH(QString, end);
        QFETCH(QStringList, expected);
        QFETCH(QString, full);
        const DateFormats dates = datesForLanguage(language);
        const int maxTicks = expected.size();
        QCOMPARE(labels(timeTicks(ms(begin), ms(end), maxTicks, prague(), dates)), expected);
        QCOMPARE(QDate(2026, 12, 10).toString(dates.full), full);
    }

    void labelsStayApart_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("wide") << 1920.0 << QStringList{"10:00", "10:02", "10:04", "10:06", "10:08", "10:10"};
        QTest::newRow("narrow") << 200.0 << QStringList{"10:00", "10:05", "10:10"};
        QTest::newRow("narrower") << 100.0 << QStringList{"10:00", "10:10"};
        QTest::newRow("one label's room") << 50.0 << QStringList{"10:00"};
    }
    void labelsStayApart()
    {
        QFETCH(double, width);
        QFETCH(QStringList, expected);
        // ten pixels a character, eight between labels
        const auto labelWidth = [](const QString &label) { return 10.0 * double(label.size()); };
        const std::vector<TimeTick> ticks = fittingTimeTicks(ms("2026-12-10 10:00:00"), ms("2026-12-10 10:10:00"),
                                                             prague(), dotted, width, labelWidth);
        QCOMPARE(labels(ticks), expected);
    }

    // The hour the clock shows twice when summer time ends carries its offset;
    // no other time does, the hour skipped in March included.
    void aRepeatedTimeTellsItsOffset_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("offset");
        QTest::newRow("first 02:30 of the night") << "2026-10-25 00:30:00Z" << "UTC+02:00";
        QTest::newRow("second 02:30") << "2026-10-25 01:30:00Z" << "UTC+01:00";
        QTest::newRow("first 02:00") << "2026-10-25 00:00:00Z" << "UTC+02:00";
        QTest::newRow("second 02:00, the change itself") << "2026-10-25 01:00:00Z" << "UTC+01:00";
        QTest::newRow("01:59 before the repeat") << "2026-10-24 23:59:00Z" << "";
        QTest::newRow("03:00 after it") << "2026-10-25 02:00:00Z" << "";
        QTest::newRow("03:00 after the skipped hour") << "2026-03-29 01:00:00Z" << "";
        QTest::newRow("01:59 before the skipped hour") << "2026-03-29 00:59:00Z" << "";
        QTest::newRow("summer") << "2026-07-01 10:00:00Z" << "";
    }
    void aRepeatedTimeTellsItsOffset()
    {
        QFETCH(QString, at);
        QFETCH(QString, offset);
        QCOMPARE(repeatedTimeOffset(ms(at), prague()), offset);
        QCOMPARE(repeatedTimeOffset(ms(at), QTimeZone::utc()), QString());
    }

    void nothingForAnEmptyOrReversedSpan()
    {
        QVERIFY(timeTicks(ms("2026-12-10 10:00:00"), ms("2026-12-10 09:00:00"), 10, prague(), dotted).empty());
        QVERIFY(timeTicks(ms("2026-12-10 10:00:00"), ms("2026-12-10 11:00:00"), 0, prague(), dotted).empty());
        QCOMPARE(labels(timeTicks(ms("2026-12-10 10:00:00"), ms("2026-12-10 10:00:00"), 10, prague(), dotted)),
                 QStringList{"10:00:00"});
    }
};

QTEST_GUILESS_MAIN(TimeTicksTest)
#include "tst_trend_time_ticks.moc"
