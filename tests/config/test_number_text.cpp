#include "NumberText.h"

#include <QtTest>

#include <cmath>
#include <limits>

class NumberTextTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { setDecimalSeparatorForTesting(QChar()); }

    // The separator the system's locale gives, without any test override.
    void systemSeparatorComesFromTheLocale()
    {
        const QByteArray expected = qgetenv("QZ_EXPECTED_SEPARATOR");
        if (expected.isEmpty())
            QSKIP("run by CTest with a fixed locale");
        QCOMPARE(systemDecimalSeparator(), QChar(expected.at(0)));
        QCOMPARE(::strictToFloat(QStringLiteral("2") + QChar(expected.at(0)) + QStringLiteral("5")), 2.5f);
        const QChar other = expected.at(0) == '.' ? u',' : u'.';
        QVERIFY(!::strictToFloat(QStringLiteral("2") + other + QStringLiteral("5")));
        QCOMPARE(::parseNumber(QStringLiteral("2") + other + QStringLiteral("5")), 2.5f);
        QCOMPARE(::formatNumber(2.5f, 1), QStringLiteral("2.5"));
        QCOMPARE(::generalNumber(0.5), QStringLiteral("0") + QChar(expected.at(0)) + QStringLiteral("5"));
    }

    void formatNumber_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("expected");
        QTest::newRow("7 decimals like 0") << 1234.5678f << 7 << "1235";
        QTest::newRow("5 decimals like 0") << 1234.5678f << 5 << "1235";
        QTest::newRow("negative decimals like 0") << 1234.5678f << -1 << "1235";
        QTest::newRow("0 decimals") << 1234.5678f << 0 << "1235";
        QTest::newRow("1 decimal") << 1000.0f << 1 << "1000.0";
        QTest::newRow("2 decimals half") << 0.5f << 2 << "0.50";
        QTest::newRow("2 decimals negative") << -3.0f << 2 << "-3.00";
        QTest::newRow("3 decimals") << 100.0f << 3 << "100.000";
        QTest::newRow("4 decimals") << 1.25f << 4 << "1.2500";
        QTest::newRow("float widened, not rounded as typed") << 0.1f << 4 << "0.1000";
        QTest::newRow("kPa of 12.5 Pa") << 0.0125f << 3 << "0.013"; // 0.0125f lies just above 0.0125
        QTest::newRow("at least one digit before the point") << 0.25f << 1 << "0.2";
        QTest::newRow("no thousands separator") << 1234567.0f << 0 << "1234567";
        QTest::newRow("largest float") << std::numeric_limits<float>::max() << 0
                                       << "340282346638528859811704183484516925440";
    }
    void formatNumber()
    {
        QFETCH(float, value);
        QFETCH(int, decimals);
        QFETCH(QString, expected);
        for (QChar separator : {u'.', u','}) {
            setDecimalSeparatorForTesting(separator);
            QCOMPARE(::formatNumber(value, decimals), expected);
        }
    }

    void parseNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<float>("expected");
        QTest::newRow("2,5 under point") << "2,5" << QChar(u'.') << 2.5f;
        QTest::newRow("2.5 under point") << "2.5" << QChar(u'.') << 2.5f;
        QTest::newRow("2.5 under comma") << "2.5" << QChar(u',') << 2.5f;
        QTest::newRow("2,5 under comma") << "2,5" << QChar(u',') << 2.5f;
        QTest::newRow("1e3") << "1e3" << QChar(u'.') << 1000.0f;
        QTest::newRow("1E3 under comma") << "1E3" << QChar(u',') << 1000.0f;
        QTest::newRow("1,5e2 under point") << "1,5e2" << QChar(u'.') << 150.0f;
        QTest::newRow("exponent with sign") << "-1.5E-2" << QChar(u'.') << -0.015f;
        QTest::newRow("abc") << "abc" << QChar(u'.') << 0.0f;
        QTest::newRow("empty") << "" << QChar(u'.') << 0.0f;
        QTest::newRow("blanks only") << "   " << QChar(u'.') << 0.0f;
        QTest::newRow("1.000,5 under point") << "1.000,5" << QChar(u'.') << 0.0f;
        QTest::newRow("1.000,5 under comma") << "1.000,5" << QChar(u',') << 0.0f;
        QTest::newRow("blanks around") << "  12 " << QChar(u'.') << 12.0f;
        QTest::newRow("plus sign, no leading digit") << "+.5" << QChar(u'.') << 0.5f;
        QTest::newRow("no digit after the point") << "5." << QChar(u'.') << 5.0f;
        QTest::newRow("separator alone") << "." << QChar(u'.') << 0.0f;
        QTest::newRow("blank inside") << "1 000" << QChar(u'.') << 0.0f;
        QTest::newRow("exponent without digits") << "1e" << QChar(u'.') << 0.0f;
        QTest::newRow("hexadecimal") << "0x10" << QChar(u'.') << 0.0f;
        QTest::newRow("inf") << "inf" << QChar(u'.') << 0.0f;
        QTest::newRow("nan") << "nan" << QChar(u'.') << 0.0f;
        QTest::newRow("trailing letter") << "12a" << QChar(u'.') << 0.0f;
        QTest::newRow("largest float") << "3.4e38" << QChar(u'.') << 3.4e38f;
        QTest::newRow("beyond the float range") << "3.5e38" << QChar(u'.') << 0.0f;
        QTest::newRow("beyond the float range, negative") << "-1e39" << QChar(u',') << 0.0f;
        QTest::newRow("far beyond") << "1e99999999999999999999" << QChar(u'.') << 0.0f;
        QTest::newRow("too small to hold") << "1e-60" << QChar(u'.') << 0.0f;
    }
    void parseNumber()
    {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QFETCH(float, expected);
        setDecimalSeparatorForTesting(separator);
        QCOMPARE(::parseNumber(text), expected);
    }

    void strictToFloat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<float>("expected");
        QTest::newRow("998,5 under point") << "998,5" << QChar(u'.') << false << 0.0f;
        QTest::newRow("998.5 under point") << "998.5" << QChar(u'.') << true << 998.5f;
        QTest::newRow("998.5 under comma") << "998.5" << QChar(u',') << false << 0.0f;
        QTest::newRow("998,5 under comma") << "998,5" << QChar(u',') << true << 998.5f;
        QTest::newRow("empty") << "" << QChar(u'.') << false << 0.0f;
        QTest::newRow("beyond float") << "1e39" << QChar(u'.') << false << 0.0f;
        QTest::newRow("underflow reads as zero") << "1e-60" << QChar(u'.') << true << 0.0f;
        QTest::newRow("smallest subnormal") << "1.4e-45" << QChar(u'.') << true << 1.4e-45f;
        QTest::newRow("general form of 998.6") << "998.599975585938" << QChar(u'.') << true << 998.6f;
    }
    void strictToFloat()
    {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QFETCH(bool, valid);
        QFETCH(float, expected);
        setDecimalSeparatorForTesting(separator);
        const std::optional<float> v = ::strictToFloat(text);
        QCOMPARE(bool(v), valid);
        if (valid)
            QCOMPARE(*v, expected);
    }

    void strictToDoubleKeepsItsOwnRange()
    {
        setDecimalSeparatorForTesting(u'.');
        QCOMPARE(strictToDouble("1e39").value_or(0), 1e39);
        QCOMPARE(strictToDouble(" 998.6 ").value_or(0), 998.6);
        QVERIFY(!strictToDouble("1e400"));
        QVERIFY(!strictToDouble("998,6"));
    }

    void strictToInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("expected");
        QTest::newRow("one") << "1" << true << 1;
        QTest::newRow("minus one") << "-1" << true << -1;
        QTest::newRow("plus") << "+3" << true << 3;
        QTest::newRow("leading blank") << " 7" << true << 7;
        QTest::newRow("1.0") << "1.0" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("exponent") << "1e2" << false << 0;
        QTest::newRow("largest") << "2147483647" << true << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << true << int(-2147483648LL);
        QTest::newRow("beyond 32 bits") << "2147483648" << false << 0;
        QTest::newRow("far beyond") << "99999999999999999999999" << false << 0;
    }
    void strictToInt()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, expected);
        const std::optional<int> v = ::strictToInt(text);
        QCOMPARE(bool(v), valid);
        if (valid)
            QCOMPARE(*v, expected);
    }

    void generalNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole") << 1000.0 << QChar(u'.') << "1000";
        QTest::newRow("998.6 as a float") << double(998.6f) << QChar(u'.') << "998.599975585938";
        QTest::newRow("998.6 as a float, comma") << double(998.6f) << QChar(u',') << "998,599975585938";
        QTest::newRow("half") << 0.5 << QChar(u'.') << "0.5";
        QTest::newRow("negative") << -2.5 << QChar(u',') << "-2,5";
        QTest::newRow("zero") << 0.0 << QChar(u'.') << "0";
        QTest::newRow("large") << 1e20 << QChar(u'.') << "1e+20";
    }
    void generalNumber()
    {
        QFETCH(double, value);
        QFETCH(QChar, separator);
        QFETCH(QString, expected);
        setDecimalSeparatorForTesting(separator);
        QCOMPARE(::generalNumber(value), expected);
        // what it writes, the strict conversion reads back to the same text
        const std::optional<double> back = strictToDouble(expected);
        QVERIFY(back);
        QCOMPARE(::generalNumber(*back), expected);
    }
};

QTEST_GUILESS_MAIN(NumberTextTest)
#include "test_number_text.moc"
