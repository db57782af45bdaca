// restore against the simulated transmitter: the record it writes back is
// one of this transmitter (serial number and USB location), the latest by
// the journal's own sequence, and a record that names no transmitter is
// never made.
#include "CliJournalFixture.h"

#include <QDir>

namespace {

QByteArray withSerial(QByteArray image, int serial)
{
    image[7] = char(serial & 0xff);
    image[8] = char(serial >> 8);
    return image;
}

QByteArray withGravity(QByteArray image, float gravity)
{
    image.replace(894, 4, floatBytes(gravity));
    return image;
}

const QByteArray kOther =
    configFile({"p", "1200", "50000", "10000", "1", "80000", "40000", "2", "70000", "30000", "3"});

} // namespace

class JournalRestoreTest : public CliJournalFixture {
    Q_OBJECT

    // A written record made by another program run, as it would be stored.
    qint64 addWritten(const QString &location, const QByteArray &before, const QDateTime &begun = {})
    {
        Journal book(address);
        Entry e;
        journal::stampEntry(e, QStringLiteral("qz5801-cli"), QStringLiteral("0"));
        e.operation = QStringLiteral("write-config");
        e.serial = 12345;
        e.location = location;
        e.before = journal::configurationContent(std::vector<uint8_t>(before.begin(), before.end()));
        e.requested = e.before;
        e.result = Result::Written;
        e.begun = begun;
        return book.add(e);
    }

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUpRun(); }
    void cleanup() { tearDownRun(); }

    // Two transmitters share serial number 12345: a record is of the one at
    // its USB location; where the location does not tell, restore refuses
    // and lists the candidates.
    void identity_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<bool>("unknownLocation"); // a newer record without its location
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("restoredFrom"); // 0: nothing written
        // record 1: the write on 1-2, record 2: the write on 1-1, record 3: no location
        QTest::newRow("location tells") << 2 << false << QStringList{"--location", "1-2", "restore"} << 0
                                        << QByteArray() << 1;
        QTest::newRow("own record by number") << 2 << false << QStringList{"--location", "1-2", "restore", "--record", "1"}
                                              << 0 << QByteArray() << 1;
        QTest::newRow("other's record by number")
            << 2 << false << QStringList{"--location", "1-2", "restore", "--record", "2"} << 1
            << QByteArray("record 2 is of transmitter 12345 at 1-1, not of this one (12345 at 1-2)") << 0;
        QTest::newRow("location unknown, serial shared")
            << 2 << true << QStringList{"--location", "1-2", "restore"} << 2
            << QByteArray("Several attached transmitters have serial number 12345") << 0;
        QTest::newRow("location unknown, chosen by number")
            << 2 << true << QStringList{"--location", "1-2", "restore", "--record", "3"} << 0 << QByteArray() << 3;
        QTest::newRow("location unknown, serial not shared")
            << 1 << true << QStringList{"restore"} << 0 << QByteArray() << 3;
    }
    void identity()
    {
        QFETCH(int, devices);
        QFETCH(bool, unknownLocation);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, message);
        QFETCH(int, restoredFrom);
        const QByteArray first = withGravity(factoryImage, 998.5f);
        const QByteArray second = withGravity(withSerial(factoryImage, 12345), 1001.25f);
        writeBytes(memoryPath, first);
        writeBytes(memoryPath + ".1", second);
        const QString a = dir->filePath("a.cfg"), b = dir->filePath("b.cfg");
        writeBytes(a, kChanged);
        writeBytes(b, kOther);
        const QStringList two{"QZSIM_DEVICES=2"};
        QCOMPARE(run({"--location", "1-2", "write-config", a}, two).exitCode, 0);
        QCOMPARE(run({"--location", "1-1", "write-config", b}, two).exitCode, 0);
        if (unknownLocation)
            QCOMPARE(addWritten(QString(), withGravity(factoryImage, 777.5f)), qint64(3));
        const QByteArray firstNow = fileBytes(memoryPath), secondNow = fileBytes(memoryPath + ".1");
        QFile::remove(logPath + ".1");

        const Run r = run(args, {"QZSIM_DEVICES=" + QString::number(devices)});
        QVERIFY2(r.exitCode == exitCode, r.err.constData());
        QVERIFY2(r.err.contains(message), r.err.constData());
        // the instance restore ran on: 1-2, or the only one
        const QString target = devices == 2 ? memoryPath + ".1" : memoryPath;
        const QByteArray untouched = devices == 2 ? firstNow : secondNow;
        QCOMPARE(fileBytes(devices == 2 ? memoryPath : memoryPath + ".1"), untouched);
        if (!restoredFrom) {
            QCOMPARE(fileBytes(target), devices == 2 ? secondNow : firstNow);
            QCOMPARE(records().size(), std::size_t(unknownLocation ? 3 : 2));
            return;
        }
        const Entry source = *Journal(address).record(restoredFrom);
        const QByteArray now = fileBytes(target);
        QCOMPARE(now.mid(894, 4), source.before.regions.at(894));
        QCOMPARE(now.mid(67, 27), source.before.regions.at(67));
        const Entry restore = records().front();
        QCOMPARE(restore.operation, QStringLiteral("restore"));
        QCOMPARE(restore.restoredFrom, std::optional<qint64>(restoredFrom));
        QCOMPARE(restore.location, devices == 2 ? QStringLiteral("1-2") : QStringLiteral("1-1"));
    }

    // A record whose location is unknown says so in history.
    void unknownLocationIsShown()
    {
        addWritten(QString(), factoryImage);
        const Run r = run({"history"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.split('\n').value(0).contains("serial 12345 (USB location unknown)  written"),
                 r.out.constData());
    }

    // A write made under a clock an hour ahead is not "latest": the journal's
    // sequence is, for history and for restore.
    void orderIsTheJournals_data() { addKinds(); }
    void orderIsTheJournals()
    {
        useKind();
        const QByteArray early = withGravity(factoryImage, 950.0f);
        addWritten(QStringLiteral("1-1"), early, QDateTime::currentDateTimeUtc().addSecs(3600));
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        QCOMPARE(run({"write-config", file}).exitCode, 0); // record 2, its clock right

        const Run history = run({"history"});
        QCOMPARE(history.exitCode, 0);
        QVERIFY2(history.out.startsWith("#2  "), history.out.constData());

        const Run r = run({"restore"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(r.out, QByteArray("Configuration restored from record 2 (journal record 3)\n"));
        QCOMPARE(fileBytes(memoryPath), factoryImage);
    }

    // The serial number that names the record: a lost reply is tried again;
    // when it never comes, nothing is written and the refusal is recorded.
    void serialNumberIsRead_data()
    {
        QTest::addColumn<QString>("lost"); // requests without a reply; the 5th reads the serial number
        QTest::addColumn<int>("exitCode");
        QTest::newRow("one reply lost") << "QZSIM_FAIL_FROM=5-5" << 0;
        QTest::newRow("two replies lost") << "QZSIM_FAIL_FROM=5-6" << 0;
        QTest::newRow("never answers") << "QZSIM_FAIL_FROM=5-7" << 1;
    }
    void serialNumberIsRead()
    {
        QFETCH(QString, lost);
        QFETCH(int, exitCode);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        const Run r = run({"write-config", file}, {lost});
        QVERIFY2(r.exitCode == exitCode, r.err.constData());
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].serial.has_value(), exitCode == 0);
        if (exitCode == 0) {
            QCOMPARE(*all[0].serial, 12345);
            QCOMPARE(all[0].result, Result::Written);
            QVERIFY(writeSent());
            return;
        }
        QCOMPARE(all[0].result, Result::Refused);
        QVERIFY2(all[0].detail.startsWith(QLatin1String("the serial number could not be read")),
                 qPrintable(all[0].detail));
        QVERIFY2(r.err.contains("Nothing was written: the transmitter's serial number could not be read"),
                 r.err.constData());
        QVERIFY(!writeSent());
        QCOMPARE(fileBytes(memoryPath), factoryImage);
    }

    // A write that fails inside its bracket prints the exact way back,
    // restore --record N, which gives back bytes no configuration file can
    // hold (a NaN gravity, mode 9); no backup file is made.
    void wayBackIsPrinted()
    {
        QByteArray odd = withGravity(factoryImage, 0);
        odd.replace(894, 4, QByteArray::fromHex("0100c07f"));
        odd[75] = char(9);
        writeBytes(memoryPath, odd);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        QVERIFY(QDir().mkpath(dir->filePath("tmp")));
        const QStringList env{"QZSIM_FAIL_FROM=8-8", "TMPDIR=" + dir->filePath("tmp")};
        const Run r = run({"write-config", file}, env);
        QCOMPARE(r.exitCode, 1);
        QVERIFY(fileBytes(memoryPath) != odd); // the gravity reached it
        const QByteArray way = "qz5801-cli: to restore the configuration it held before:\n"
                               "qz5801-cli:   qz5801-cli --location 1-1 restore --record 1\n";
        QVERIFY2(r.err.contains(way), r.err.constData());
        QVERIFY(QDir(dir->filePath("tmp")).isEmpty());

        const Run back = run({"--location", "1-1", "restore", "--record", "1"});
        QVERIFY2(back.exitCode == 0, back.err.constData());
        QCOMPARE(fileBytes(memoryPath), odd);
    }

    // Without a journal, the backup file: one per transmitter, also for two
    // that share a serial number in one run, each with its own bytes.
    void backupNamesAreOwn()
    {
        writeBytes(memoryPath, withGravity(factoryImage, 998.5f));
        writeBytes(memoryPath + ".1", withGravity(withSerial(factoryImage, 12345), 1001.25f));
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        QVERIFY(QDir().mkpath(dir->filePath("tmp")));
        const Run r = run({"--all", "--no-journal", "write-config", file},
                          {"QZSIM_DEVICES=2", "QZSIM_FAIL_FROM=8-8", "TMPDIR=" + dir->filePath("tmp")});
        QCOMPARE(r.exitCode, 1);
        const QStringList saved = QDir(dir->filePath("tmp")).entryList(QDir::Files);
        QCOMPARE(saved.size(), 2);
        QStringList gravities;
        for (const QString &name : saved) {
            QVERIFY2(name.startsWith("qz5801-before-12345-1-"), qPrintable(name));
            QVERIFY2(r.err.contains(("12345 at " + name.section('-', 3, 4) + ":   qz5801-cli --location " +
                                     name.section('-', 3, 4) + " write-config --force ")
                                        .toUtf8()),
                     r.err.constData());
            gravities << QString::fromLatin1(fileBytes(dir->filePath("tmp/" + name)).split('\n').value(2)).trimmed();
        }
        gravities.sort();
        QCOMPARE(gravities, QStringList({"1001.25", "998.5"}));
    }
};

QTEST_GUILESS_MAIN(JournalRestoreTest)
#include "test_journal_restore.moc"
