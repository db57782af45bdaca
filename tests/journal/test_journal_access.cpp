// Reading the journal through qz5801-cli: history and restore's look-up
// change nothing they open, history's plain text cannot be forged by a
// field, and a role with a connection limit or without the right to create
// tables still journals every write.
#include "CliJournalFixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <set>

namespace {

// Every file in the folder with its bytes.
std::map<QString, QByteArray> folderBytes(const QString &path)
{
    std::map<QString, QByteArray> files;
    for (const QString &name : QDir(path).entryList(QDir::Files | QDir::Hidden))
        files[name] = fileBytes(QDir(path).filePath(name));
    return files;
}

} // namespace

class JournalAccessTest : public CliJournalFixture {
    Q_OBJECT

    // A role of the test server that may only read, add and change records.
    QString limitedRole(const QString &database, int connections)
    {
        const QString role = QStringLiteral("qz5801_limited_%1").arg(QCoreApplication::applicationPid());
        onServerOk(QString(), QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
        onServerOk(QString(), QStringLiteral("CREATE ROLE %1 LOGIN CONNECTION LIMIT %2").arg(role).arg(connections));
        onServerOk(database, QStringLiteral("GRANT SELECT, INSERT, UPDATE ON qz5801_journal, qz5801_journal_schema "
                                            "TO %1")
                                 .arg(role));
        onServerOk(database, QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(role));
        return role;
    }
    static void onServerOk(const QString &database, const QString &sql)
    {
        QString error;
        QVERIFY2(journaltest::onServer(database, sql, &error), qPrintable(error));
    }

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUpRun(); }
    void cleanup() { tearDownRun(); }

    // What is not a journal is refused with a clear message and left as it
    // was; a name that is not there is not made.
    void readingChangesNothing_data()
    {
        QTest::addColumn<QString>("content"); // "other database", "not a database", "" (no file)
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("reason");
        for (const QString command : {"history", "restore"}) {
            const QByteArray c = command.toLatin1();
            QTest::newRow(c + ", another program's database")
                << "other database" << command << QByteArray("it holds no journal of this program");
            QTest::newRow(c + ", not a database") << "not a database" << command << QByteArray("it cannot be read");
            QTest::newRow(c + ", mistyped name") << "" << command << QByteArray("there is no such file");
        }
    }
    void readingChangesNothing()
    {
        QFETCH(QString, content);
        QFETCH(QString, command);
        QFETCH(QByteArray, reason);
        const QString folder = dir->filePath("journals");
        QVERIFY(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath("journal.sqlite");
        if (content == QLatin1String("other database")) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE recipes (name TEXT)")));
                db.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("other"));
        } else if (content == QLatin1String("not a database")) {
            writeBytes(path, QByteArray("name,value\nKühler,3\n").repeated(100));
        }
        const auto filesBefore = folderBytes(folder);
        const Run r = run({"--journal", path, command});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith("qz5801-cli: Cannot use the journal " + path.toUtf8() + ": "), r.err.constData());
        QVERIFY2(r.err.contains(reason), r.err.constData());
        QCOMPARE(folderBytes(folder), filesBefore);
        QVERIFY(!writeSent());
    }

    // A role that may not create tables works on tables made by another, and
    // with a limit of 2 connections --all writes all 8 transmitters.
    void limitedRole()
    {
        if (journaltest::postgresUrl().isEmpty())
            QSKIP("no PostgreSQL server (scripts/with-postgres)");
        journals = std::make_unique<Journals>(QStringLiteral("postgresql"));
        address = journals->fresh();
        { Journal create(address); }
        const QString role = limitedRole(address.database, 2);
        journal::Address limited = address;
        limited.user = role;
        const QString file = dir->filePath("batch.cfg");
        writeBytes(file, kChanged);
        const Run r = run({"--all", "write-config", file},
                          {"QZSIM_DEVICES=8", "QZ5801_JOURNAL=" + Journals::addressText(limited)});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(8));
        std::set<int> serials;
        for (const Entry &e : all) {
            QCOMPARE(e.result, Result::Written);
            QCOMPARE(e.location, QStringLiteral("1-%1").arg(*e.serial - 12345 + 1));
            serials.insert(*e.serial);
        }
        QCOMPARE(serials.size(), std::size_t(8));
        const Run history = run({"history", "--json"}, {"QZ5801_JOURNAL=" + Journals::addressText(limited)});
        QVERIFY2(history.exitCode == 0, history.err.constData());
        QCOMPARE(QJsonDocument::fromJson(history.out).array().size(), 8);
        const Run restore =
            run({"--device", "3", "restore"}, {"QZSIM_DEVICES=8", "QZ5801_JOURNAL=" + Journals::addressText(limited)});
        QVERIFY2(restore.exitCode == 0, restore.err.constData());
        journals.reset();
        onServerOk(QString(), QStringLiteral("DROP ROLE %1").arg(role));
    }

    // Control characters, line and paragraph separators and bidirectional
    // overrides in a field cannot make a line of their own or turn one
    // around in the plain history; JSON holds the name as it is.
    void noForgedLines_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("line feed") << QStringLiteral("a\n#9  2026-01-01  write-config  serial 1  written.cfg")
                                   << QByteArray("a\\x0a#9  2026-01-01");
        QTest::newRow("carriage return") << QStringLiteral("a\rX.cfg") << QByteArray("a\\x0dX.cfg");
        QTest::newRow("escape sequence") << QStringLiteral("a\x1b[2Jb.cfg") << QByteArray("a\\x1b[2Jb.cfg");
        QTest::newRow("line separator") << QStringLiteral("a\u2028b.cfg") << QByteArray("a\\u2028b.cfg");
        QTest::newRow("paragraph separator") << QStringLiteral("a\u2029b.cfg") << QByteArray("a\\u2029b.cfg");
        QTest::newRow("right-to-left override") << QStringLiteral("a\u202egfc.exe") << QByteArray("a\\u202egfc.exe");
        QTest::newRow("isolate") << QStringLiteral("a\u2067b\u2069.cfg") << QByteArray("a\\u2067b\\u2069.cfg");
        QTest::newRow("next line") << QStringLiteral("a\u0085b.cfg") << QByteArray("a\\x85b.cfg");
    }
    void noForgedLines()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, shown);
        const QString file = dir->filePath(name);
        writeBytes(file, kChanged);
        QCOMPARE(run({"write-config", file}).exitCode, 0);
        const Run text = run({"history"});
        QCOMPARE(text.exitCode, 0);
        const QList<QByteArray> lines = text.out.split('\n');
        QCOMPARE(lines.size(), 5); // record, who, file, changes, and the end
        QVERIFY2(lines[2].startsWith("    file " + dir->path().toUtf8() + "/" + shown), text.out.constData());
        for (const QByteArray &line : lines)
            for (const QChar ch : QString::fromUtf8(line))
                QVERIFY2(ch.category() != QChar::Other_Control && ch.category() != QChar::Other_Format &&
                             ch.category() != QChar::Separator_Line && ch.category() != QChar::Separator_Paragraph,
                         line.constData());
        const Run json = run({"history", "--json"});
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(json.out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc.array().at(0).toObject()["file"].toString(), file);
    }

    // A gravity that is no number is named with its bytes, without a unit.
    void nonFiniteValuesNamed()
    {
        QByteArray odd = factoryImage;
        odd.replace(894, 4, QByteArray::fromHex("0100c07f"));
        odd.replace(67, 4, QByteArray::fromHex("0000807f"));
        writeBytes(memoryPath, odd);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        QCOMPARE(run({"write-config", file}).exitCode, 0);
        const Run r = run({"history"});
        QVERIFY2(r.out.contains("changes: gravity NaN (bytes 0100c07f) -> 1500, output 1 lower Infinity (bytes "
                                "0000807f) -> 21000 Pa, output 1 higher"),
                 r.out.constData());
    }

    // --since at a local time the clock shows twice takes its first instant.
    void sinceInTheRepeatedHour()
    {
        Journal book(address);
        // 2026-10-25 in Berlin: 02:30 local is 00:30Z (summer time), then again 01:30Z
        for (const char *utc : {"2026-10-25T00:10:00Z", "2026-10-25T00:40:00Z", "2026-10-25T01:40:00Z"}) {
            Entry e;
            journal::stampEntry(e, QStringLiteral("qz5801-cli"), QStringLiteral("0"));
            e.operation = QStringLiteral("write-config");
            e.serial = 12345;
            e.result = Result::Refused;
            e.begun = QDateTime::fromString(QLatin1String(utc), Qt::ISODate);
            book.add(e);
        }
        const Run r = run({"history", "--since", "2026-10-25T02:30", "--json"}, {"TZ=Europe/Berlin"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(QJsonDocument::fromJson(r.out).array().size(), 2);
    }

    // A name that is not UTF-8 (Latin-1 "Kühler.cfg") is opened, recorded and
    // shown with its other bytes as \xNN; JSON stays valid.
    void anyFileName()
    {
        const QByteArray name = "K\xfchler.cfg";
        const QByteArray path = QFile::encodeName(dir->path()) + "/" + name;
        // QTemporaryDir cannot remove a name it cannot decode
        const auto removeFile = qScopeGuard([&] { std::remove(path.constData()); });
        {
            std::FILE *f = std::fopen(path.constData(), "wb");
            QVERIFY(f);
            QCOMPARE(std::fwrite(kChanged.constData(), 1, std::size_t(kChanged.size()), f), std::size_t(kChanged.size()));
            std::fclose(f);
        }
        // the name's bytes reach the program only through a shell
        QProcess p;
        p.setProcessEnvironment(environment({}));
        p.setWorkingDirectory(dir->path());
        p.start("/bin/sh", {"-c", "exec \"$0\" write-config \"$(printf 'K\\374hler.cfg')\"", QZ_CLI});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QCOMPARE(fileBytes(memoryPath).mid(894, 4), floatBytes(1500));
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].fileName, dir->path() + QStringLiteral("/K\\xfchler.cfg"));
        QCOMPARE(all[0].fileSha256,
                 QString::fromLatin1(QCryptographicHash::hash(kChanged, QCryptographicHash::Sha256).toHex()));
        const Run text = run({"history"});
        QVERIFY2(text.out.contains("    file " + dir->path().toUtf8() + "/K\\xfchler.cfg (sha256 "), text.out.constData());
        QJsonParseError error;
        QJsonDocument::fromJson(run({"history", "--json"}).out, &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
    }
};

QTEST_GUILESS_MAIN(JournalAccessTest)
#include "test_journal_access.moc"
