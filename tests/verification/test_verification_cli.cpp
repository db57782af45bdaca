// qz5801-cli verify and certificate against the simulated transmitter, whose
// actual value follows a script as a controlled pressure source would.
#include "VerificationTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class TestVerificationCli : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString journalPath;

    Result run(const QStringList &args, const QByteArray &input, const QStringList &env = {})
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("LD_LIBRARY_PATH"), QStringLiteral(QZ_SIMULATOR_DIR));
        e.insert(QStringLiteral("QZSIM_VALUE_SCRIPT"), dir.filePath(QStringLiteral("script.txt")));
        e.insert(QStringLiteral("QZSIM_LOG"), dir.filePath(QStringLiteral("requests.log")));
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        e.remove(QStringLiteral("QZ5801_JOURNAL"));
        for (const QString &kv : env)
            e.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(QZ_CLI), args);
        p.write(input);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    void script(const QByteArray &text)
    {
        QFile f(dir.filePath(QStringLiteral("script.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    QStringList verifyArgs(const QStringList &more)
    {
        return QStringList{QStringLiteral("verify"), QStringLiteral("--points"), QStringLiteral("0,50,100,50,0"),
                           QStringLiteral("--readings"), QStringLiteral("3"), QStringLiteral("--interval-ms"),
                           QStringLiteral("0"), QStringLiteral("--journal"), journalPath} +
               more;
    }

    QString pdfText(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return verificationtest::pdfPages(f.readAll()).join(QStringLiteral("\f"));
    }

private slots:
    void init()
    {
        static int count = 0;
        journalPath = dir.filePath(QStringLiteral("journal-%1.sqlite").arg(++count));
        QFile::remove(dir.filePath(QStringLiteral("requests.log")));
    }

    // The value follows the script: three readings a point, the fourth point 1 kPa low.
    void runWithAScriptedPressure_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("verdictLine");
        QTest::newRow("all pass, nominal references")
            << QByteArray("\n\n\n\n\n") << QByteArray("0*3\n50120*3\n100100*3\n49900*3\n0*3\n") << 0
            << QStringLiteral("The transmitter conforms to the tolerance at every test point.");
        QTest::newRow("one fails") << QByteArray("\n\n\n\n\n") << QByteArray("0*3\n50120*3\n100100*3\n49000*3\n0*3\n")
                                   << 1 << QStringLiteral("The transmitter does not conform to the tolerance.");
        // the reference typed: 49.000 kPa makes the low reading right; a comma works as the separator too
        QTest::newRow("typed references") << QByteArray("\n50.12\n100,1\n49.0\n\n")
                                          << QByteArray("0*3\n50120*3\n100100*3\n49000*3\n0*3\n") << 0
                                          << QStringLiteral("The transmitter conforms to the tolerance at every test point.");
        QTest::newRow("a reading that is no number")
            << QByteArray("\n\n\n\n\n") << QByteArray("0*3\n50000\nnan\n50000\n100000*3\n50000*3\n0*3\n") << 1
            << QStringLiteral("The transmitter does not conform to the tolerance.");
    }

    void runWithAScriptedPressure()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, values);
        QFETCH(int, exitCode);
        QFETCH(QString, verdictLine);
        script(values);
        const QString pdf = dir.filePath(QStringLiteral("c.pdf"));
        const Result r = run(verifyArgs({QStringLiteral("--certificate"), pdf, QStringLiteral("--operator"),
                                         QStringLiteral("Jana Nováková"), QStringLiteral("--uncertainty"),
                                         QStringLiteral("0.05")}),
                             input);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.out + r.err));
        QCOMPARE(r.out.count(QStringLiteral("apply it and enter the reference reading in kPa")), 5);
        QVERIFY(r.out.contains(QStringLiteral("point 3 of 5: 100 % = 100.000 kPa")));
        for (const QString &line : r.err.split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith(QStringLiteral("qz5801-cli: ")), qPrintable(line));
        const QString text = pdfText(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY2(text.simplified().contains(verdictLine), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Jana Nováková")));
        QVERIFY(text.contains(QStringLiteral("12345")));
        if (QByteArray(QTest::currentDataTag()) == "a reading that is no number")
            QVERIFY(text.simplified().contains(QStringLiteral("Fail: A reading is not a number")));

        // journaled once; the certificate drawn again from the record has the same text
        const Result history = run({QStringLiteral("history"), QStringLiteral("--journal"), journalPath}, {});
        QCOMPARE(history.exitCode, 0);
        QCOMPARE(history.out.count(QStringLiteral(" verification ")), 1);
        QVERIFY(history.out.contains(exitCode == 0 ? QStringLiteral("  passed") : QStringLiteral("  not passed")));
        const QString again = dir.filePath(QStringLiteral("again.pdf"));
        const Result redraw = run({QStringLiteral("certificate"), QStringLiteral("--record"), QStringLiteral("1"), again,
                                   QStringLiteral("--journal"), journalPath},
                                  {});
        QVERIFY2(redraw.exitCode == 0, qPrintable(redraw.err));
        QCOMPARE(pdfText(again), text);
    }

    // In the window's languages through the tool's own message files.
    void certificateInTheChosenLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("en") << "en" << "Verification certificate";
        QTest::newRow("cs") << "cs" << "Osvědčení o ověření";
        QTest::newRow("de") << "de" << "Prüfbescheinigung";
    }

    void certificateInTheChosenLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, title);
        script("0\n");
        const QString pdf = dir.filePath(QStringLiteral("c-%1.pdf").arg(language));
        const Result r = run(verifyArgs({QStringLiteral("--points"), QStringLiteral("0,0"), QStringLiteral("--language"),
                                         language, QStringLiteral("--certificate"), pdf}),
                             "\n\n");
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QString text = pdfText(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY2(text.contains(title), qPrintable(text));
    }

    // The transmitter stops answering at the third point: the run ends there,
    // says so, and its record and certificate say so too.
    void transmitterLostMidway()
    {
        script("0*3\n50000*3\n100000*3\n50000*3\n0*3\n");
        // counted from a whole run: the configuration and serial number read, then two requests a reading
        const Result whole = run(verifyArgs({}), "\n\n\n\n\n");
        QCOMPARE(whole.exitCode, 0);
        journalPath += QStringLiteral(".lost");
        QFile log(dir.filePath(QStringLiteral("requests.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const int requests = log.readAll().count('\n');
        QFile::remove(log.fileName());
        const int failFrom = requests - 5 * 3 * 2 + 2 * 3 * 2 + 2; // inside point 3
        const QString pdf = dir.filePath(QStringLiteral("lost.pdf"));
        const Result r = run(verifyArgs({QStringLiteral("--certificate"), pdf}), "\n\n\n\n\n",
                             {QStringLiteral("QZSIM_FAIL_FROM=%1").arg(failFrom)});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("qz5801-cli: point 3: Device not reply; the run ends here")),
                 qPrintable(r.err));
        QVERIFY(!r.out.contains(QStringLiteral("point 4 of 5")));
        QVERIFY(r.out.contains(QStringLiteral("result: not finished")));
        const Result history = run({QStringLiteral("history"), QStringLiteral("--journal"), journalPath}, {});
        QVERIFY2(history.out.contains(QStringLiteral("verification  serial 12345 at 1-1  failed")), qPrintable(history.out));
        QVERIFY(history.out.contains(QStringLiteral("The transmitter stopped answering at point 3")));
        const QString text = pdfText(pdf);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QVERIFY2(text.simplified().contains(
                     QStringLiteral("The run did not finish: The transmitter stopped answering (as found, Point 3)")),
                 qPrintable(text));
    }

    // A plan the window saved, its points overridden on the command line.
    void planFromAFile()
    {
        verification::Plan plan;
        plan.points = {0, 25, 50};
        plan.readings = 1;
        plan.tolerance = 2;
        plan.operatorName = QStringLiteral("Petr Svoboda");
        QString problem;
        const QString path = dir.filePath(QStringLiteral("plan.json"));
        QVERIFY(verification::savePlan(plan, path, problem));
        script("0\n49000\n");
        const Result r = run({QStringLiteral("verify"), QStringLiteral("--plan"), path, QStringLiteral("--points"),
                              QStringLiteral("0,50"), QStringLiteral("--interval-ms"), QStringLiteral("0"),
                              QStringLiteral("--journal"), journalPath, QStringLiteral("--json")},
                             "\n\n");
        QCOMPARE(r.exitCode, 0); // 1 kPa off, 2 % of 100 kPa allowed
        const QJsonObject o = QJsonDocument::fromJson(r.out.mid(r.out.indexOf(u'{')).toUtf8()).object();
        QCOMPARE(o.value("as_found").toArray().size(), 2);
        QCOMPARE(o.value("plan").toObject().value("operator").toString(), QStringLiteral("Petr Svoboda"));
        QCOMPARE(o.value("plan").toObject().value("readings_per_point").toInt(), 1);
        const Result broken = run({QStringLiteral("verify"), QStringLiteral("--plan"), dir.filePath(QStringLiteral("none.json")),
                                   QStringLiteral("--journal"), journalPath},
                                  {});
        QCOMPARE(broken.exitCode, 2);
    }

    // --json: the whole run, as journaled, with its hash and record
    void jsonResult()
    {
        script("0*2\n100700*2\n");
        const Result r = run(verifyArgs({QStringLiteral("--points"), QStringLiteral("0,100"), QStringLiteral("--readings"),
                                         QStringLiteral("2"), QStringLiteral("--json"), QStringLiteral("--tolerance"),
                                         QStringLiteral("0.5")}),
                             "\n100.1\n");
        QCOMPARE(r.exitCode, 1); // 0.6 kPa off at 100 %, 0.5 kPa allowed
        const int json = r.out.indexOf(u'{');
        QVERIFY2(json >= 0, qPrintable(r.out));
        const QJsonObject o = QJsonDocument::fromJson(r.out.mid(json).toUtf8()).object();
        QCOMPARE(o.value("result").toString(), QStringLiteral("fail"));
        QCOMPARE(o.value("plan").toObject().value("tolerance").toString(), QStringLiteral("0.5"));
        const QJsonArray points = o.value("as_found").toArray();
        QCOMPARE(points.size(), 2);
        QCOMPARE(points[1].toObject().value("reference_pa").toDouble(), double(100.1f) / double(0.001f));
        QCOMPARE(points[1].toObject().value("result").toString(), QStringLiteral("fail"));
        QCOMPARE(o.value("record").toInt(), 1);
        QCOMPARE(o.value("data_sha256").toString().size(), 64);
    }

    void troubleAndUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("reference no number") << QStringList{} << QByteArray("\nfifty\n") << 2
                                             << "point 2: \"fifty\" is not a number";
        QTest::newRow("input ends") << QStringList{} << QByteArray("\n") << 2 << "standard input ended before point 2";
        QTest::newRow("one point") << QStringList{"--points", "50"} << QByteArray() << 2
                                   << "--points: \"50\" is not 2 to 50 percentages";
        QTest::newRow("tolerance") << QStringList{"--tolerance", "-1%"} << QByteArray() << 2
                                   << "--tolerance: \"-1%\" is not a positive number";
        QTest::newRow("readings") << QStringList{"--readings", "0"} << QByteArray() << 2
                                  << "--readings: \"0\" is not a number from 1 to 100";
        QTest::newRow("language") << QStringList{"--language", "fr"} << QByteArray() << 2
                                  << "--language: \"fr\" is not en, cs or de";
        QTest::newRow("journal unusable") << QStringList{"--journal", "/proc/nope/j.sqlite"} << QByteArray() << 2
                                          << "Nothing was measured: every run is journaled";
    }

    void troubleAndUsage()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        script("0\n");
        const Result r = run(verifyArgs(args), input);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void certificateOfARecordThatIsNoRun()
    {
        script("0\n");
        // a record of another kind, made by a dry write of nothing
        const Result missing = run({QStringLiteral("certificate"), QStringLiteral("--record"), QStringLiteral("7"),
                                    dir.filePath(QStringLiteral("x.pdf")), QStringLiteral("--journal"), journalPath},
                                   {});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY2(missing.err.contains(QStringLiteral("The journal has no record #7")), qPrintable(missing.err));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.pdf"))));
        const Result noRecord = run({QStringLiteral("certificate"), dir.filePath(QStringLiteral("x.pdf"))}, {});
        QCOMPARE(noRecord.exitCode, 2);
    }
};

QTEST_MAIN(TestVerificationCli)
#include "test_verification_cli.moc"
