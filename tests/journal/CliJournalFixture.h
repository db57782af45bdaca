// What the tests of qz5801-cli's journal share: a private folder, the
// simulated transmitter's memory and request log, a fresh journal of each
// kind, and the companion run as a process against them.
#pragma once

#include "Journal.h"
#include "JournalTestSupport.h"
#include "qzsim.h"

#include <QtTest>

#include <memory>

using journal::Entry;
using journal::Journal;
using journal::Result;
using journaltest::Journals;

namespace clitest {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline QByteArray configFile(const QList<QByteArray> &lines)
{
    QByteArray bytes = "*** QZ5800 CONFIG ***\r\n";
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes;
}

inline QByteArray floatBytes(float v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); }

inline const QByteArray kChanged = configFile({"p", "1500", "61000", "21000", "2", "80000", "40000", "2", "70000", "30000", "4"});

} // namespace clitest

using namespace clitest;

// The derived test's initTestCase, init and cleanup call setUpCase, setUpRun and tearDownRun.
class CliJournalFixture : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Journals> journals;
    journal::Address address;
    QString memoryPath;
    QString logPath;
    QByteArray factoryImage;

    QProcessEnvironment environment(const QStringList &extra) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", QZ_SIMULATOR_DIR);
        env.insert("QZSIM_MEMORY", memoryPath);
        env.insert("QZSIM_LOG", logPath);
        env.insert("XDG_DATA_HOME", dir->filePath("data"));
        env.insert(journal::kJournalVariable, Journals::addressText(address));
        for (const QString &e : extra)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        return env;
    }

    QProcess *start(const QStringList &args, const QStringList &extraEnv = {}) const
    {
        auto *p = new QProcess;
        p->setProcessEnvironment(environment(extraEnv));
        p->start(QZ_CLI, args);
        return p;
    }

    static Run finish(QProcess *p)
    {
        std::unique_ptr<QProcess> owned(p);
        if (!p->waitForFinished(120000)) {
            p->kill();
            p->waitForFinished();
        }
        return {p->exitCode(), p->readAllStandardOutput(), p->readAllStandardError()};
    }

    Run run(const QStringList &args, const QStringList &extraEnv = {}) const { return finish(start(args, extraEnv)); }

    int requestCount() const { return int(fileBytes(logPath).count('\n')); }

    // A memory write (command 8) is in the transmitter's log.
    bool writeSent() const
    {
        for (const QByteArray &line : fileBytes(logPath).split('\n'))
            if (const QByteArray r = QByteArray::fromHex(line); r.size() == 64 && r[3] == 8)
                return true;
        return false;
    }

    std::vector<Entry> records() const { return Journal(address).history({}); }

    void addKinds()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &kind : journaltest::backends())
            QTest::newRow(qPrintable(kind)) << kind;
    }

    void useKind()
    {
        QFETCH(QString, kind);
        journals = std::make_unique<Journals>(kind);
        address = journals->fresh();
    }

    void setUpCase()
    {
        qzsim_reset();
        factoryImage = QByteArray(reinterpret_cast<const char *>(qzsim_memory()), 65536);
    }
    void setUpRun()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        memoryPath = dir->filePath("memory.bin");
        logPath = dir->filePath("requests.log");
        writeBytes(memoryPath, factoryImage);
        journals = std::make_unique<Journals>(QStringLiteral("sqlite"));
        address = journals->fresh();
    }
    void tearDownRun() { journals.reset(); }
};
