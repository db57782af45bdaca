// The verification's arithmetic, its plan file, its journaled data and the
// certificate's text.
#include "Certificate.h"
#include "Decision.h"
#include "Plan.h"
#include "Run.h"
#include "VerificationTestSupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

using namespace verification;
using namespace verificationtest;

Q_DECLARE_METATYPE(std::vector<float>)

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

} // namespace

class TestVerification : public QObject {
    Q_OBJECT

private slots:
    void decision_data()
    {
        QTest::addColumn<double>("reference");
        QTest::addColumn<std::vector<float>>("readings");
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<double>("uncertainty"); // negative: none
        QTest::addColumn<bool>("passes");
        QTest::addColumn<int>("certainty");
        QTest::addColumn<double>("error");
        QTest::addColumn<QString>("problem");
        const int none = int(Certainty::NotStated), sure = int(Certainty::Conclusive),
                  unsure = int(Certainty::Inconclusive);
        const double nan = std::nan("");
        QTest::newRow("exact") << 50000.0 << std::vector<float>{50000} << 500.0 << -1.0 << true << none << 0.0
                               << QString();
        QTest::newRow("mean of readings") << 50000.0 << std::vector<float>{50100, 50300, 50200} << 500.0 << -1.0
                                          << true << none << 200.0 << QString();
        QTest::newRow("on the limit above") << 50000.0 << std::vector<float>{50500} << 500.0 << -1.0 << true << none
                                            << 500.0 << QString();
        QTest::newRow("on the limit below") << 50000.0 << std::vector<float>{49500} << 500.0 << -1.0 << true << none
                                            << -500.0 << QString();
        // 49999.9976 Pa: 50 kPa typed and divided by the float factor 0.001
        QTest::newRow("limit, reference through the kPa factor")
            << 50.0 / double(0.001f) << std::vector<float>{50500} << 500.0 << -1.0 << true << none << 500.0024
            << QString();
        QTest::newRow("just over") << 50000.0 << std::vector<float>{50501} << 500.0 << -1.0 << false << none << 501.0
                                   << QString();
        QTest::newRow("negative over") << 0.0 << std::vector<float>{-600} << 500.0 << -1.0 << false << none << -600.0
                                       << QString();
        QTest::newRow("pass, conclusive") << 50000.0 << std::vector<float>{50100} << 500.0 << 50.0 << true << sure
                                          << 100.0 << QString();
        QTest::newRow("pass, U reaches the limit") << 50000.0 << std::vector<float>{50450} << 500.0 << 50.0 << true
                                                   << sure << 450.0 << QString();
        QTest::newRow("pass, inconclusive") << 50000.0 << std::vector<float>{50460} << 500.0 << 50.0 << true
                                            << unsure << 460.0 << QString();
        QTest::newRow("fail, inconclusive") << 50000.0 << std::vector<float>{50540} << 500.0 << 50.0 << false
                                            << unsure << 540.0 << QString();
        QTest::newRow("fail, conclusive") << 50000.0 << std::vector<float>{50600} << 500.0 << 50.0 << false << sure
                                          << 600.0 << QString();
        QTest::newRow("U zero") << 50000.0 << std::vector<float>{50500} << 500.0 << 0.0 << true << sure << 500.0
                                << QString();
        QTest::newRow("NaN reading") << 50000.0 << std::vector<float>{50000, kNaN, 50000} << 500.0 << -1.0 << false
                                     << none << nan << QStringLiteral("A reading is not a number");
        QTest::newRow("NaN reading with U") << 50000.0 << std::vector<float>{kNaN} << 500.0 << 50.0 << false << none
                                            << nan << QStringLiteral("A reading is not a number");
        QTest::newRow("infinite reading") << 50000.0 << std::vector<float>{kInf} << 500.0 << -1.0 << false << none
                                          << nan << QStringLiteral("A reading is not a number");
        QTest::newRow("no readings") << 50000.0 << std::vector<float>{} << 500.0 << -1.0 << false << none << nan
                                     << QStringLiteral("No reading");
        QTest::newRow("NaN reference") << nan << std::vector<float>{50000} << 500.0 << -1.0 << false << none << nan
                                       << QStringLiteral("The reference is not a number");
        QTest::newRow("NaN tolerance") << 50000.0 << std::vector<float>{50000} << nan << -1.0 << false << none << nan
                                       << QStringLiteral("The tolerance is not a positive number");
    }

    void decision()
    {
        QFETCH(double, reference);
        QFETCH(std::vector<float>, readings);
        QFETCH(double, tolerance);
        QFETCH(double, uncertainty);
        QFETCH(bool, passes);
        QFETCH(int, certainty);
        QFETCH(double, error);
        QFETCH(QString, problem);
        const PointResult r = evaluatePoint(reference, readings, tolerance,
                                            uncertainty < 0 ? std::nullopt : std::optional<double>(uncertainty));
        QCOMPARE(r.verdict == Verdict::Pass, passes);
        QCOMPARE(int(r.certainty), certainty);
        QCOMPARE(r.problem, problem);
        if (std::isnan(error))
            QVERIFY(std::isnan(r.error));
        else
            QVERIFY2(std::fabs(r.error - error) < 0.001, qPrintable(QString::number(r.error, 'g', 12)));
    }

    void toleranceInPascal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("rangePa");
        QTest::addColumn<double>("factor");
        QTest::addColumn<double>("pascal");
        QTest::newRow("0.5 % of 100 kPa") << "0.5%" << 100000.0 << 0.001 << 500.0;
        QTest::newRow("1 % of 2.5 MPa") << " 1 % " << 2500000.0 << 0.000001 << 25000.0;
        QTest::newRow("0.2 kPa") << "0.2" << 100000.0 << 0.001 << 200.0;
        QTest::newRow("0.005 bar") << "0.005" << 100000.0 << 0.00001 << 500.0;
        QTest::newRow("3 mbar") << "3" << 100000.0 << 0.01 << 300.0;
    }

    void toleranceInPascal()
    {
        QFETCH(QString, text);
        QFETCH(double, rangePa);
        QFETCH(double, factor);
        QFETCH(double, pascal);
        ToleranceKind kind{};
        double value = 0;
        QVERIFY(parseTolerance(text, kind, value));
        QVERIFY(std::fabs(tolerancePa(kind, value, rangePa, factor) - pascal) < 1e-6);
    }

    void refusedInput()
    {
        ToleranceKind kind{};
        double value = 0;
        for (const char *bad : {"", "%", "-0.5%", "0", "abc", "nan", "inf%", "1e999"})
            QVERIFY2(!parseTolerance(QString::fromLatin1(bad), kind, value), bad);
        QCOMPARE(*parsePoints(QStringLiteral("0, 50,100,50 ,0")), (std::vector<double>{0, 50, 100, 50, 0}));
        QVERIFY(!parsePoints(QStringLiteral("50")));        // one point
        QVERIFY(!parsePoints(QStringLiteral("0,,100")));    // empty part
        QVERIFY(!parsePoints(QStringLiteral("0,nan")));
        QVERIFY(!parsePoints(QStringLiteral("0,250")));     // past 200 %
        QStringList many;
        for (int i = 0; i < 51; ++i)
            many << QString::number(i);
        QVERIFY(!parsePoints(many.join(u',')));
        many.removeLast();
        QCOMPARE(parsePoints(many.join(u','))->size(), std::size_t(50));
    }

    void switchPointsFollowTheLamps_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("rising");
        QTest::addColumn<double>("reading");
        QTest::addColumn<double>("expected"); // NaN: no switch point
        QTest::newRow("Compression rising: goes dark above higher") << 1 << true << 80100.0 << 80000.0;
        QTest::newRow("Compression falling: lights below lower") << 1 << false << 19900.0 << 20000.0;
        QTest::newRow("Extraction rising") << 2 << true << 80100.0 << 80000.0;
        QTest::newRow("Extraction falling") << 2 << false << 19900.0 << 20000.0;
        QTest::newRow("Correct value near lower") << 3 << true << 20300.0 << 20000.0;
        QTest::newRow("Correct value near higher") << 3 << false << 79000.0 << 80000.0;
        QTest::newRow("Error value near higher") << 4 << true << 80300.0 << 80000.0;
        QTest::newRow("Off") << 0 << true << 50000.0 << std::nan("");
        QTest::newRow("no mode") << -1 << true << 50000.0 << std::nan("");
    }

    void switchPointsFollowTheLamps()
    {
        QFETCH(int, mode);
        QFETCH(bool, rising);
        QFETCH(double, reading);
        QFETCH(double, expected);
        const std::optional<double> e =
            expectedSwitchPa(mode, rising ? Direction::Rising : Direction::Falling, 20000, 80000, reading);
        QCOMPARE(e.has_value(), !std::isnan(expected));
        if (e)
            QCOMPARE(*e, expected);
    }

    void planFile()
    {
        QTemporaryDir dir;
        Plan plan;
        plan.points = {0, 50, 100, 50, 0};
        plan.readings = 7;
        plan.toleranceKind = ToleranceKind::Absolute;
        plan.tolerance = 0.1;
        plan.uncertainty = 0.02;
        plan.standard = {QStringLiteral("PC-7"), QStringLiteral("4711"), QStringLiteral("CAL-1"), QDate(2027, 1, 31)};
        plan.customer = QStringLiteral("Pivovar Žatec");
        plan.operatorName = QStringLiteral("Jana Nováková");
        QString problem;
        const QString path = dir.filePath(QStringLiteral("plan.json"));
        QVERIFY(savePlan(plan, path, problem));
        const std::optional<Plan> back = loadPlan(path, problem);
        QVERIFY2(back, qPrintable(problem));
        QVERIFY(*back == plan);

        const auto refused = [&](const QByteArray &bytes, const QString &why) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
            f.close();
            QString p;
            QVERIFY2(!loadPlan(path, p), bytes.left(80).constData());
            QCOMPARE(p, why);
        };
        QByteArray json = planToJson(plan);
        refused("not json", QStringLiteral("The file is not a verification plan"));
        refused(QByteArray(kMaxPlanFileBytes + 10, ' '), QStringLiteral("The file is not a verification plan"));
        refused(QByteArray(json).replace("\"0.1\"", "\"-1\""), QStringLiteral("The tolerance is not a positive number"));
        refused(QByteArray(json).replace("\"readings_per_point\": 7", "\"readings_per_point\": 0"),
                QStringLiteral("Readings per point are 1 to 100"));
        refused(QByteArray(json).replace("2027-01-31", "31.1.2027"),
                QStringLiteral("The due date is not a date (YYYY-MM-DD)"));
        refused(QByteArray(json).replace("\"uncertainty_k2\": 0.02", "\"uncertainty_k2\": \"x\""),
                QStringLiteral("The uncertainty is not a number from 0"));
        QByteArray many = "[";
        for (int i = 0; i < 60; ++i)
            many += (i ? "," : "") + QByteArray::number(i);
        refused(QByteArray(json).replace("[\n        0,\n        50,\n        100,\n        50,\n        0\n    ]",
                                         many + "]"),
                QStringLiteral("A plan has 2 to 50 test points"));
    }

    // The journaled data reads back into the same run and writes the same bytes.
    void runDataRoundTrip()
    {
        Run run = sampleRun({0, 50, 100, 50, 0});
        recordPoint(run, Phase::AsLeft, 50, 50000, {50010, kNaN});
        run.zeroAdjustment = std::pair(0.0f, -120.0f);
        recordSwitch(run, 1, Direction::Rising, 80150);
        run.stop = Stop{QStringLiteral("The transmitter stopped answering"), Phase::AsLeft, 2};
        const QByteArray data = runData(run);
        QString problem;
        const std::optional<Run> back = runFromData(data, problem);
        QVERIFY2(back, qPrintable(problem));
        QCOMPARE(runData(*back), data);
        QCOMPARE(sha256Hex(runData(*back)), sha256Hex(data));
        QCOMPARE(back->asLeft.at(0).result.problem, QStringLiteral("A reading is not a number"));
        QVERIFY(std::isnan(back->asLeft.at(0).readingsPa.at(1)));
        QCOMPARE(back->started, run.started);
        QCOMPARE(back->started.offsetFromUtc(), 3600);
        QVERIFY(!runFromData("{}", problem));
        QVERIFY(!runFromData("garbage", problem));
    }

    void verdictOfTheRun()
    {
        Run run = sampleRun({0, 100}, 100);
        QCOMPARE(overallVerdict(run), Verdict::Pass);
        // as left decides once taken
        recordPoint(run, Phase::AsLeft, 0, 0, {900});
        QCOMPARE(overallVerdict(run), Verdict::Fail);
        run.asLeft.clear();
        recordPoint(run, Phase::AsLeft, 0, 0, {kNaN});
        QCOMPARE(overallVerdict(run), Verdict::Fail); // a NaN point never passes
        run.asLeft.clear();
        run.stop = Stop{QStringLiteral("The operator stopped the run"), Phase::AsFound, 2};
        QCOMPARE(overallVerdict(run), Verdict::Fail);
        run.stop.reset();
        recordSwitch(run, 3, Direction::Rising, 10900); // Correct value, 10 kPa lower: 900 Pa off
        QCOMPARE(overallVerdict(run), Verdict::Fail);
        QVERIFY(!standardOverdue(run));
        run.plan.standard.due = QDate(2026, 12, 10);
        QVERIFY(standardOverdue(run));
        run.plan.standard.due = QDate(2026, 12, 11); // due today is still in time
        QVERIFY(!standardOverdue(run));
    }

    void certificateText()
    {
        Run run = sampleRun({0, 50, 100});
        recordPoint(run, Phase::AsLeft, 50, 50000, {kNaN});
        const QString sha = sha256Hex(runData(run));
        const QStringList pages = pdfPages(certificatePdf(run, sha, english()));
        if (pages.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString text = pages.join(u'\n').simplified();
        if (qEnvironmentVariableIsSet("QZ_DUMP")) qInfo().noquote() << pages.join(u"\n=====\n");
        for (const QString &wanted :
             {QStringLiteral("Verification certificate"), QStringLiteral("QZ-12345-20261211-091500-ABCD"),
              QStringLiteral("Serial number 12345"), QStringLiteral("Nominal range 100.000 kPa"),
              QStringLiteral("PT-101"), QStringLiteral("Brewery Žatec"), QStringLiteral("bench-3"),
              QStringLiteral("2026-12-11 09:15:00 UTC+01:00"), QStringLiteral("Compression; Lower value 20.000 kPa"),
              QStringLiteral("Pressure calibrator PC-7"), QStringLiteral("CAL-2026-0815"),
              QStringLiteral("2027-06-30"), QStringLiteral("0.0500 kPa"), QStringLiteral("21.5 °C"),
              QStringLiteral("Results as found"), QStringLiteral("50.0000 50.1200 0.1200 ±0.5000 Pass (conclusive)"),
              QStringLiteral("Results as left"), QStringLiteral("Fail: A reading is not a number"),
              QStringLiteral("does not conform"), QStringLiteral("|error| + U ≤ tolerance"),
              QStringLiteral("Jana Nováková"), QStringLiteral("Performed by"), sha,
              QStringLiteral("End of certificate")})
            QVERIFY2(text.contains(wanted), qPrintable(wanted + QStringLiteral("\n---\n") + text));
        QVERIFY(!text.contains(QStringLiteral("past its due date")));
    }

    void overdueStandardIsFlagged()
    {
        Run run = sampleRun({0, 100});
        run.plan.standard.due = QDate(2026, 11, 30);
        const QStringList pages = pdfPages(certificatePdf(run, sha256Hex(runData(run)), english()));
        if (pages.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY(pages.join(u' ').simplified().contains(
            QStringLiteral("The reference standard is past its due date: the run was still allowed.")));
    }

    // 50 points as found and as left run over several pages, each numbered and
    // carrying the certificate number.
    void fiftyPointsOnSeveralPages()
    {
        std::vector<double> points;
        for (int i = 0; i < 50; ++i)
            points.push_back(i < 25 ? i * 4 : (49 - i) * 4);
        Run run = sampleRun(points);
        for (double p : points)
            recordPoint(run, Phase::AsLeft, p, nominalPa(run, p), {float(nominalPa(run, p) + 40)});
        int pageCount = 0;
        const QByteArray pdf = certificatePdf(run, sha256Hex(runData(run)), english(), &pageCount);
        const QStringList pages = pdfPages(pdf);
        if (pages.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY(pageCount >= 3);
        QCOMPARE(pages.size(), pageCount);
        for (int i = 0; i < pages.size(); ++i) {
            const QString page = pages[i].simplified();
            QVERIFY2(page.contains(QStringLiteral("Page %1 of %2").arg(i + 1).arg(pageCount)), qPrintable(page));
            QVERIFY2(page.count(run.certificate) >= 2, qPrintable(page)); // header and footer
        }
        QVERIFY(pages.last().contains(QStringLiteral("End of certificate")));
        // every row of both tables is there, the header repeated where a table runs on
        const QString all = pages.join(u'\n');
        QCOMPARE(all.count(QStringLiteral("±0.5000")), 100);
    }

    // Drawn again from the data alone: the same text.
    void redrawnFromTheDataGivesTheSameText()
    {
        Run run = sampleRun({0, 25, 50, 75, 100, 75, 50, 25, 0});
        const QByteArray data = runData(run);
        QString problem;
        const std::optional<Run> back = runFromData(data, problem);
        QVERIFY(back);
        const QStringList first = pdfPages(certificatePdf(run, sha256Hex(data), english()));
        if (first.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QCOMPARE(pdfPages(certificatePdf(*back, sha256Hex(runData(*back)), english())), first);
    }
};

QTEST_MAIN(TestVerification)
#include "test_verification.moc"
