// What scripts rely on: diff-like exit codes, JSON with shortest floats and
// one document for --all, the usual option conventions, -q, and wait.
#include "CliFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

class CliScriptsTest : public CliFixture {
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUp(); }

    void jsonFloatsAreShortest()
    {
        setMemory(894, floatBytes(998.6f));
        setMemory(67, floatBytes(0.1f));
        const Run r = run({"read-config", "--json"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.contains("\"gravity\": 998.6,"), r.out.constData());
        QVERIFY2(r.out.contains("\"lower_pa\": 0.1,"), r.out.constData());

        const QString file = newFile();
        const Run dry = run({"write-config", "--dry-run", "--json", file});
        QCOMPARE(dry.exitCode, 1);
        QCOMPARE(QJsonDocument::fromJson(dry.out).object()["different"], 3);

        const Run written = run({"write-config", "--json", file});
        QCOMPARE(written.exitCode, 0);
        const QJsonObject result = QJsonDocument::fromJson(written.out).object();
        QCOMPARE(result["written"], true);
        QCOMPARE(result["verified"], true);
        QCOMPARE(result["changed"].toArray().size(), 3);
        QCOMPARE(result["changed"].toArray()[0].toObject()["before"].toDouble(), 998.6);
    }

    void allJsonIsOneDocument_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QList<int>>("codes");
        QTest::newRow("none attached") << QStringList{"--all", "--json", "info"} << QStringList{"QZSIM_DEVICES=0"} << 3
                                       << QList<int>{};
        QTest::newRow("one denied") << QStringList{"--all", "--json", "info"}
                                    << QStringList{"QZSIM_DEVICES=2", "QZSIM_DENIED=1:"} << 4 << QList<int>{0, 4};
        QTest::newRow("write-config, one silent")
            << QStringList{"--all", "--json", "write-config", "FILE"}
            << QStringList{"QZSIM_DEVICES=2", "QZSIM_FAULT=1:no-reply"} << 1 << QList<int>{0, 1};
    }
    void allJsonIsOneDocument()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        QFETCH(int, exitCode);
        QFETCH(QList<int>, codes);
        args.replaceInStrings("FILE", newFile());
        const Run r = run(args, env);
        QCOMPARE(r.exitCode, exitCode);
        QJsonParseError error;
        const QJsonDocument d = QJsonDocument::fromJson(r.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QVERIFY(d.isArray());
        QCOMPARE(d.array().size(), codes.size());
        for (int i = 0; i < codes.size(); ++i) {
            const QJsonObject entry = d.array()[i].toObject();
            QCOMPARE(entry["exit_code"].toInt(), codes[i]);
            QVERIFY(entry.contains("serial") && entry.contains("location") && entry.contains("result"));
        }
        if (args.contains("write-config"))
            QCOMPARE(d.array()[0].toObject()["different_fields"].toArray(),
                     (QJsonArray{"specific gravity", "output 1 higher value"}));
    }

    // Like diff(1): 0 equal or nothing to change, 1 different or would change, 2 trouble.
    void exitCodesLikeDiff_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("exitCode");
        for (const char *command : {"diff", "dry-run"}) {
            const QStringList head = QByteArray(command) == "diff" ? QStringList{"diff"}
                                                                   : QStringList{"write-config", "--dry-run"};
            QTest::addRow("%s, equal", command) << head + QStringList{"SAME"} << QStringList{} << 0;
            QTest::addRow("%s, different", command) << head + QStringList{"NEW"} << QStringList{} << 1;
            QTest::addRow("%s, missing file", command) << head + QStringList{"MISSING"} << QStringList{} << 2;
            QTest::addRow("%s, no reply", command) << head + QStringList{"SAME"} << QStringList{"QZSIM_FAULT=no-reply"}
                                                   << 2;
            QTest::addRow("%s, file that does not parse", command) << head + QStringList{"BROKEN"} << QStringList{}
                                                                   << 2;
        }
    }
    void exitCodesLikeDiff()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        QFETCH(int, exitCode);
        const QString same = dir->filePath("same.cfg");
        writeBytes(same, kFactoryFile);
        args.replaceInStrings("SAME", same).replaceInStrings("NEW", newFile());
        args.replaceInStrings("MISSING", dir->filePath("missing.cfg"));
        const QString broken = dir->filePath("broken.cfg");
        writeBytes(broken, kFactoryFile.left(40));
        args.replaceInStrings("BROKEN", broken);
        const Run r = run(args, env);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(memory(), factoryImage);
    }

    // --opt=value, -- and -q; grammar of the usage errors.
    void conventions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("--device=1") << QStringList{"--device=1", "info"} << 0 << QByteArray("12346\n") << QByteArray();
        QTest::newRow("--serial=12347") << QStringList{"info", "--serial=12347"} << 0 << QByteArray("12347\n")
                                        << QByteArray();
        QTest::newRow("-- before a file named like an option")
            << QStringList{"--device", "0", "write-config", "--", "-new.cfg"} << 0
            << QByteArray("Configuration successfully written\n") << QByteArray();
        QTest::newRow("-q") << QStringList{"-q", "--device", "0", "write-config", "--", "-new.cfg"} << 0 << QByteArray()
                            << QByteArray();
        QTest::newRow("--quiet keeps results") << QStringList{"--quiet", "--device", "2", "info"} << 0
                                               << QByteArray("12347\n") << QByteArray();
        QTest::newRow("--json=yes") << QStringList{"--json=yes", "info"} << 2 << QByteArray()
                                    << QByteArray("qz5801-cli: --json takes no value\n");
        QTest::newRow("one option does not apply") << QStringList{"--all", "dump", "7", "2"} << 2 << QByteArray()
                                                   << QByteArray("qz5801-cli: dump: --all does not apply\n");
        QTest::newRow("--json does not apply") << QStringList{"dump", "7", "2", "--json"} << 2 << QByteArray()
                                               << QByteArray("qz5801-cli: dump: --json does not apply\n");
    }
    void conventions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        QDir::setCurrent(dir->path());
        writeBytes(dir->filePath("-new.cfg"), kNewFile);
        const Run r = run(args, {"QZSIM_DEVICES=3"});
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, out);
        QCOMPARE(r.err.split('\n').first() + (err.isEmpty() ? "" : "\n"), err);
    }

    // -q leaves out warnings, not failures.
    void quietKeepsFailures()
    {
        setMemory(894, floatBytes(5));
        const Run warned = run({"-q", "read-config"});
        QCOMPARE(warned.exitCode, 0);
        QVERIFY(warned.err.isEmpty());
        const Run failed = run({"-q", "info"}, {"QZSIM_FAULT=no-reply"});
        QCOMPARE(failed.err, QByteArray("qz5801-cli: Device not reply\n"));
    }

    void wait_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("one attached") << QStringList{"wait"} << QStringList{} << 0;
        QTest::newRow("--serial among three") << QStringList{"wait", "--serial", "12346"} << QStringList{"QZSIM_DEVICES=3"}
                                              << 0;
        QTest::newRow("--location") << QStringList{"wait", "--location=1-3"} << QStringList{"QZSIM_DEVICES=3"} << 0;
        QTest::newRow("none attached") << QStringList{"wait", "--timeout", "0.2"} << QStringList{"QZSIM_DEVICES=0"} << 3;
        QTest::newRow("another serial") << QStringList{"wait", "--serial", "999", "--timeout", "0.2"}
                                        << QStringList{"QZSIM_DEVICES=3"} << 3;
        QTest::newRow("attached, silent") << QStringList{"wait", "--timeout", "0.2"}
                                          << QStringList{"QZSIM_FAULT=no-reply"} << 3;
        QTest::newRow("denied") << QStringList{"wait", "--timeout", "0.2"} << QStringList{"QZSIM_DENIED=0:"} << 4;
        QTest::newRow("plugged in later") << QStringList{"wait"} << QStringList{"QZSIM_ATTACH_AFTER=3"} << 0;
        QTest::newRow("plugged in after the timeout") << QStringList{"wait", "--timeout", "0.3"}
                                                      << QStringList{"QZSIM_ATTACH_AFTER=1000"} << 3;
    }
    void wait()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        QFETCH(int, exitCode);
        const Run r = run(args, env);
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(r.err.isEmpty(), exitCode == 0);
    }
};

QTEST_GUILESS_MAIN(CliScriptsTest)
#include "test_cli_scripts.moc"
