// The Y axis' ticks: round numbers inside the range, labels as the window
// writes values, never a "-0" for a value that rounds to zero.
#include "ValueTicks.h"

#include <QSet>

#include <cmath>

class ValueTicksTest : public QObject {
    Q_OBJECT

private slots:
    void withoutNegativeZero_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("shown");
        QTest::newRow("zero with decimals") << "-0.000" << "0.000";
        QTest::newRow("zero without decimals") << "-0" << "0";
        QTest::newRow("a comma") << "-0,00" << "0,00";
        QTest::newRow("a small negative") << "-0.001" << "-0.001";
        QTest::newRow("a negative with zeros") << "-10.000" << "-10.000";
        QTest::newRow("plain zero") << "0.000" << "0.000";
        QTest::newRow("a minus alone") << "-" << "-";
        QTest::newRow("empty") << "" << "";
    }
    void withoutNegativeZero()
    {
        QFETCH(QString, number);
        QFETCH(QString, shown);
        QCOMPARE(::withoutNegativeZero(number), shown);
    }

    void roundTicksInsideTheRange_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<bool>("widen");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QStringList>("labels"); // empty: only the general rules
        // a step of 0.1 summed from -0.3 misses zero by a hair
        QTest::newRow("across zero, 0.1 apart") << -0.3 << 0.3 << true << 3
                                                << QStringList{"-0.300", "-0.200", "-0.100", "0.000", "0.100", "0.200", "0.300"};
        QTest::newRow("tinier than the decimals, automatic") << -0.0004 << 0.0004 << true << 3
                                                             << QStringList{"-0.001", "0.000", "0.001"};
        QTest::newRow("values of 10 to 50") << 8.0 << 52.0 << true << 3
                                            << QStringList{"0.000", "10.000", "20.000", "30.000", "40.000", "50.000", "60.000"};
        QTest::newRow("fixed, kept as typed") << 1.0 << 99.0 << false << 3
                                              << QStringList{"20.000", "40.000", "60.000", "80.000"};
        // a fixed range finer than the unit's decimals: the decimals its steps need
        QTest::newRow("fixed, finer than the decimals") << 0.0001 << 0.0005 << false << 3 << QStringList{};
        QTest::newRow("fixed, negative, no decimals") << -7.0 << -0.2 << false << 0 << QStringList{};
        QTest::newRow("large") << -9e10 << 9e10 << true << 3 << QStringList{};
        QTest::newRow("mm, no decimals, around zero") << -0.4 << 0.45 << true << 0 << QStringList{"-1", "0", "1"};
    }
    void roundTicksInsideTheRange()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(bool, widen);
        QFETCH(int, decimals);
        QFETCH(QStringList, labels);
        const ValueTicks ticks = valueTicks(low, high, widen, decimals, 7);
        QStringList shown;
        QSet<QString> seen;
        for (const ValueTick &t : ticks.ticks) {
            shown << t.label;
            QVERIFY2(!seen.contains(t.label), qPrintable(t.label));
            seen.insert(t.label);
            QVERIFY2(::withoutNegativeZero(t.label) == t.label, qPrintable(t.label));
            QVERIFY(t.value >= ticks.low - 1e-9 * std::abs(ticks.low) && t.value <= ticks.high + 1e-9 * std::abs(ticks.high));
        }
        QVERIFY2(shown.size() >= 2 && shown.size() <= 8, qPrintable(shown.join(u' ')));
        if (widen) {
            QVERIFY(ticks.low <= low && ticks.high >= high);
        } else {
            QCOMPARE(ticks.low, low);
            QCOMPARE(ticks.high, high);
        }
        if (!labels.isEmpty())
            QCOMPARE(shown, labels);
    }

    void nothingForAnEmptyOrBrokenRange_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("equal") << 1.0 << 1.0;
        QTest::newRow("reversed") << 2.0 << 1.0;
        QTest::newRow("NaN") << double(NAN) << 1.0;
        QTest::newRow("infinite") << 0.0 << double(INFINITY);
    }
    void nothingForAnEmptyOrBrokenRange()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QVERIFY(valueTicks(low, high, true, 3, 7).ticks.empty());
    }
};

QTEST_MAIN(ValueTicksTest)
#include "tst_trend_value_ticks.moc"
