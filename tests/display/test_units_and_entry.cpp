#include "NumberText.h"
#include "Units.h"
#include "ValueEntry.h"

#include <QtTest>

using namespace display;

namespace {

// The display state as the window has it after start-up: kPa shown, mm chosen for ρ 1000.
DisplayState startState()
{
    DisplayState s;
    selectPressureUnit(s, 1);
    selectLengthUnit(s, 0, "1000");
    applyPressureMode(s);
    return s;
}

QStringList texts(const std::vector<const char *> &messages)
{
    QStringList list;
    for (const char *m : messages)
        list << QString::fromLatin1(m);
    return list;
}

} // namespace

class UnitsAndEntryTest : public QObject {
    Q_OBJECT

private slots:
    void init() { setDecimalSeparatorForTesting(u'.'); }
    void cleanup() { setDecimalSeparatorForTesting(QChar()); }

    void unitsShow100000Pa_data()
    {
        QTest::addColumn<bool>("pressure");
        QTest::addColumn<int>("unit");
        QTest::addColumn<float>("pascal");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("range");
        QTest::newRow("Pa") << true << 0 << 100000.0f << "100000" << "100000 Pa";
        QTest::newRow("kPa") << true << 1 << 100000.0f << "100.000" << "100.000 kPa";
        QTest::newRow("MPa") << true << 2 << 100000.0f << "0.100" << "0.100 MPa";
        QTest::newRow("mbar") << true << 3 << 100000.0f << "1000.0" << "1000.0 mbar";
        QTest::newRow("bar") << true << 4 << 100000.0f << "1.000" << "1.000 bar";
        QTest::newRow("psi") << true << 5 << 100000.0f << "14.500" << "14.500 psi";
        QTest::newRow("mm") << false << 0 << 100000.0f << "10194" << "10194 mm";
        QTest::newRow("m") << false << 1 << 100000.0f << "10.194" << "10.194 m";
        QTest::newRow("inch") << false << 2 << 100000.0f << "401.3" << "401.3 inch";
        QTest::newRow("negative kPa") << true << 1 << -10000.0f << "-10.000" << "-10.000 kPa";
        QTest::newRow("negative mm") << false << 0 << -10000.0f << "-1019" << "-1019 mm";
    }
    void unitsShow100000Pa()
    {
        QFETCH(bool, pressure);
        QFETCH(int, unit);
        QFETCH(float, pascal);
        QFETCH(QString, shown);
        QFETCH(QString, range);
        DisplayState s = startState();
        if (pressure) {
            selectPressureUnit(s, unit);
            applyPressureMode(s);
            QCOMPARE(s.unitOfPressure, unit);
        } else {
            selectLengthUnit(s, unit, "1000");
            applyLengthMode(s);
            QCOMPARE(s.unitOfLength, unit);
        }
        QCOMPARE(s.isPressure, pressure);
        QCOMPARE(shownNumber(pascal, s), shown);
        QCOMPARE(shownWithUnit(pascal, s), range);
    }

    void factorsAreSinglePrecision()
    {
        DisplayState s;
        selectPressureUnit(s, 5);
        QCOMPARE(s.pressureUnitFactor, 0.000145f);
        QCOMPARE(s.pressureDecimals, 3);
        QCOMPARE(s.pressureUnitText, QStringLiteral("psi"));
        selectLengthUnit(s, 2, "998.6");
        QCOMPARE(s.lengthUnitFactor, float((39.37007874015748 / 998.6) / 9.81));
        QCOMPARE(s.lengthDecimals, 1);
        QCOMPARE(s.lengthUnitText, QStringLiteral("inch"));
        // the mode switches copy the chosen unit and leave the other one alone
        applyLengthMode(s);
        QCOMPARE(s.unitFactor, s.lengthUnitFactor);
        QCOMPARE(s.unitText, QStringLiteral("inch"));
        applyPressureMode(s);
        QCOMPARE(s.unitFactor, 0.000145f);
        QCOMPARE(s.decimals, 3);
    }

    void lengthUnitWithUnusableGravity_data()
    {
        QTest::addColumn<QString>("gravity");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<bool>("raises");
        QTest::newRow("letters") << "abc" << QChar(u'.') << true;
        QTest::newRow("empty") << "" << QChar(u'.') << true;
        QTest::newRow("zero") << "0" << QChar(u'.') << true;
        QTest::newRow("998,5 under point") << "998,5" << QChar(u'.') << true;
        QTest::newRow("998,5 under comma") << "998,5" << QChar(u',') << false;
        QTest::newRow("500") << "500" << QChar(u'.') << false;
    }
    void lengthUnitWithUnusableGravity()
    {
        QFETCH(QString, gravity);
        QFETCH(QChar, separator);
        QFETCH(bool, raises);
        setDecimalSeparatorForTesting(separator);
        DisplayState s = startState();
        const float factorBefore = s.lengthUnitFactor;
        bool raised = false;
        try {
            selectLengthUnit(s, 1, gravity);
        } catch (const UnitError &e) {
            raised = true;
            QVERIFY(qstrlen(e.what()) > 0);
        }
        QCOMPARE(raised, raises);
        // index and decimals are taken in any case
        QCOMPARE(s.unitOfLength, 1);
        QCOMPARE(s.lengthDecimals, 3);
        if (raises) {
            QCOMPARE(s.lengthUnitFactor, factorBefore);
            QCOMPARE(s.lengthUnitText, QStringLiteral("mm"));
        } else {
            QCOMPARE(s.lengthUnitText, QStringLiteral("m"));
            QCOMPARE(s.lengthUnitFactor, float((1.0 / double(parseNumber(gravity))) / 9.81));
        }
    }

    void limitEntry_data()
    {
        QTest::addColumn<bool>("higher");       // the higher edit was left
        QTest::addColumn<QString>("higherText");
        QTest::addColumn<QString>("lowerText");
        QTest::addColumn<float>("unitFactor");
        QTest::addColumn<bool>("read");         // bounds of a 100 kPa transmitter, else those before any read
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<double>("pascal");
        const float kPa = 0.001f;
        QTest::newRow("101 accepted") << true << "101" << "0" << kPa << true << QStringList{} << true << 101000.0;
        QTest::newRow("101.01 out of range") << true << "101.01" << "0" << kPa << true
                                             << QStringList{kTextOutOfRange} << true << 101010.0;
        QTest::newRow("-10 accepted") << false << "0" << "-10" << kPa << true << QStringList{} << true << -10000.0;
        QTest::newRow("-10.01 out of range") << false << "0" << "-10.01" << kPa << true
                                             << QStringList{kTextOutOfRange} << true << -10010.0;
        QTest::newRow("-100 before any read") << false << "0" << "-100" << kPa << false << QStringList{} << true
                                              << -100000.0;
        QTest::newRow("-100.01 before any read") << false << "0" << "-100.01" << kPa << false
                                                 << QStringList{kTextOutOfRange} << true << -100010.0;
        QTest::newRow("higher below lower") << true << "1" << "2" << kPa << true
                                            << QStringList{kTextLessThanLower} << true << 1000.0;
        QTest::newRow("lower above higher") << false << "1" << "2" << kPa << true
                                            << QStringList{kTextGreaterThanHigher} << true << 2000.0;
        QTest::newRow("range, then order") << true << "200" << "300" << kPa << true
                                           << QStringList{kTextOutOfRange, kTextLessThanLower} << true << 200000.0;
        QTest::newRow("equal values pass") << true << "5" << "5" << kPa << true << QStringList{} << true << 5000.0;
        QTest::newRow("empty edit is 0") << true << "" << "" << kPa << true << QStringList{} << true << 0.0;
        QTest::newRow("blanks are empty") << false << "0" << "   " << kPa << true << QStringList{} << true << 0.0;
        // Text that is no number warns alone; the member keeps its value.
        QTest::newRow("letters") << false << "1" << "abc" << kPa << true << QStringList{kTextNotValidRealNumber}
                                 << false << 0.0;
        QTest::newRow("letter O for a zero") << true << "2O" << "0" << kPa << true
                                             << QStringList{kTextNotValidRealNumber} << false << 0.0;
        QTest::newRow("both separators") << true << "1.000,5" << "0" << kPa << true
                                         << QStringList{kTextNotValidRealNumber} << false << 0.0;
        QTest::newRow("beyond a float as typed") << true << "1e39" << "0" << kPa << true
                                                 << QStringList{kTextNotValidRealNumber} << false << 0.0;
        QTest::newRow("out of range and no number") << false << "0" << "-9x" << kPa << true
                                                    << QStringList{kTextNotValidRealNumber} << false << 0.0;
        // The other edit's text is no value to compare with: no order message.
        QTest::newRow("letters in the other edit") << true << "1" << "x2" << kPa << true << QStringList{} << true
                                                   << 1000.0;
        QTest::newRow("negative with letters in the other edit") << false << "y" << "-1" << kPa << true
                                                                 << QStringList{} << true << -1000.0;
        QTest::newRow("2,5 like 2.5") << true << "2,5" << "0" << kPa << true << QStringList{} << true << 2500.0;
        QTest::newRow("order in the unit shown") << true << "1,5" << "1.5" << kPa << true << QStringList{} << true
                                                 << 1500.0;
        QTest::newRow("beyond a float in Pa") << true << "1e35" << "0" << 0.000001f << true
                                              << QStringList{kTextOutOfRange, kTextNotValidRealNumber} << false
                                              << 0.0;
        QTest::newRow("liquid column mm") << true << "1000" << "0" << float((1000.0 / 1000) / 9.81) << true
                                          << QStringList{} << true << 9810.0;
    }
    void limitEntry()
    {
        QFETCH(bool, higher);
        QFETCH(QString, higherText);
        QFETCH(QString, lowerText);
        QFETCH(float, unitFactor);
        QFETCH(bool, read);
        QFETCH(QStringList, messages);
        QFETCH(bool, stored);
        QFETCH(double, pascal);
        ConfigurationRecord record;
        if (read) {
            record.limitLowerBound = -10000;
            record.limitUpperBound = 100000;
        }
        const LimitEntry entry = checkLimitEntry(higher, higherText, lowerText, unitFactor, record);
        QCOMPARE(texts(entry.messages), messages);
        QCOMPARE(entry.store, stored);
        if (stored)
            QVERIFY2(qAbs(double(entry.value) - pascal) <= 1e-7 * qAbs(pascal) + 0.001, qPrintable(QString::number(entry.value, 'f', 4)));
    }

    // Text as the window showed it is never read back into the member; what
    // reads as a number is still checked, what does not (a value read as
    // not-a-number or infinite) says nothing.
    void untouchedLimitEntry_data()
    {
        QTest::addColumn<QString>("shownText");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("in range") << "6116" << QStringList{};
        QTest::newRow("out of range") << "200000" << QStringList{kTextOutOfRange};
        QTest::newRow("not a number") << "nan" << QStringList{};
        QTest::newRow("infinite") << "-inf" << QStringList{};
    }
    void untouchedLimitEntry()
    {
        QFETCH(QString, shownText);
        QFETCH(QStringList, messages);
        ConfigurationRecord record;
        record.limitLowerBound = -10000;
        record.limitUpperBound = 100000;
        const LimitEntry entry = checkLimitEntry(true, shownText, QStringLiteral("0"), 1.0f, record, false);
        QCOMPARE(texts(entry.messages), messages);
        QVERIFY(!entry.store);
    }

    void gravityEntry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lengthUnit");
        QTest::addColumn<bool>("liquid");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<float>("gravity");
        QTest::addColumn<float>("reference");
        QTest::addColumn<float>("lower1");
        QTest::addColumn<float>("higher1");
        QTest::addColumn<float>("lengthFactor");
        QTest::newRow("500 in liquid column") << "500" << 0 << true << QStringList{} << 500.0f << 500.0f << 500.0f
                                              << 1000.0f << float((1000.0 / 500) / 9.81);
        QTest::newRow("500 in pressure") << "500" << 0 << false << QStringList{} << 500.0f << 500.0f << 1000.0f
                                         << 2000.0f << float((1000.0 / 500) / 9.81);
        QTest::newRow("2000 in liquid column, m") << "2000" << 1 << true << QStringList{} << 2000.0f << 2000.0f
                                                  << 2000.0f << 4000.0f << float((1.0 / 2000) / 9.81);
        QTest::newRow("5 warns but is used") << "5" << 0 << false << QStringList{kTextOutOfRange} << 5.0f << 5.0f
                                             << 1000.0f << 2000.0f << float((1000.0 / 5) / 9.81);
        QTest::newRow("200000 warns but is used") << "200000" << 2 << true << QStringList{kTextOutOfRange}
                                                  << 200000.0f << 200000.0f << 200000.0f << 400000.0f
                                                  << float((39.37007874015748 / 200000) / 9.81);
        QTest::newRow("0: two messages") << "0" << 0 << true << QStringList{kTextOutOfRange, kTextInvalidRealNumber}
                                         << 0.0f << 1000.0f << 1000.0f << 2000.0f << float((1000.0 / 1000) / 9.81);
        QTest::newRow("empty: as 0") << "" << 0 << true << QStringList{kTextOutOfRange, kTextInvalidRealNumber}
                                     << 0.0f << 1000.0f << 1000.0f << 2000.0f << float((1000.0 / 1000) / 9.81);
        // Text that is no number changes nothing, the gravity included.
        QTest::newRow("letters") << "abc" << 0 << false << QStringList{kTextInvalidRealNumber} << 1000.0f << 1000.0f
                                 << 1000.0f << 2000.0f << float((1000.0 / 1000) / 9.81);
        QTest::newRow("letter O in liquid column") << "5OO" << 1 << true << QStringList{kTextInvalidRealNumber}
                                                   << 1000.0f << 1000.0f << 1000.0f << 2000.0f
                                                   << float((1.0 / 1000) / 9.81);
        QTest::newRow("2,5e3 read like 2.5e3") << "2,5e3" << 0 << true << QStringList{} << 2500.0f << 2500.0f
                                               << 2500.0f << 5000.0f << float((1000.0 / 2500) / 9.81);
    }
    void gravityEntry()
    {
        QFETCH(QString, text);
        QFETCH(int, lengthUnit);
        QFETCH(bool, liquid);
        QFETCH(QStringList, messages);
        QFETCH(float, gravity);
        QFETCH(float, reference);
        QFETCH(float, lower1);
        QFETCH(float, higher1);
        QFETCH(float, lengthFactor);
        ConfigurationRecord record;
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = float((i % 2 + 1) * 1000);
        DisplayState s = startState();
        if (lengthUnit != 0)
            selectLengthUnit(s, lengthUnit, "1000");
        if (liquid)
            applyLengthMode(s);
        const float unitFactorBefore = s.unitFactor;
        QStringList shownBefore;
        for (int i = 0; i < 6; ++i)
            shownBefore << shownNumber(record.limitValue(i), s);

        const GravityEntry entry = applyGravityEntry(text, lengthUnit, liquid, record, s);

        QCOMPARE(texts(entry.messages), messages);
        QCOMPARE(record.specificGravity, gravity);
        QCOMPARE(record.referenceSpecificGravity, reference);
        QCOMPARE(s.lengthUnitFactor, lengthFactor);
        for (int output = 0; output < 3; ++output) {
            QCOMPARE(record.lowerValue(output), lower1);
            QCOMPARE(record.higherValue(output), higher1);
        }
        const bool applied = !messages.contains(kTextInvalidRealNumber);
        QCOMPARE(s.unitFactor, liquid && applied ? lengthFactor : unitFactorBefore);
        if (liquid && applied) {
            // the heights the operator sees stay as they were
            for (int i = 0; i < 6; ++i)
                QCOMPARE(shownNumber(record.limitValue(i), s), shownBefore[i]);
        }
    }

    void gravityRescalesByStoredQuotient()
    {
        // 1000 -> 3000: the quotient 3 is exact; 1000 -> 700: the quotient is stored as a float first
        ConfigurationRecord record;
        record.lowerValue1 = 12345.678f;
        DisplayState s = startState();
        applyLengthMode(s);
        applyGravityEntry("700", 0, true, record, s);
        const float quotient = float(700.0 / 1000.0);
        QCOMPARE(record.lowerValue1, float(double(12345.678f) * double(quotient)));
        QCOMPARE(record.referenceSpecificGravity, 700.0f);
    }
};

QTEST_GUILESS_MAIN(UnitsAndEntryTest)
#include "test_units_and_entry.moc"
