// Shared by the command-line tests: running qz5801-cli on simulated
// transmitters and looking at what they were asked and what they hold.
#pragma once

#include "qzsim.h"

#include <QtTest>

#include <memory>

namespace cli_test {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
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

const QByteArray kFactoryFile = configFile({"p", "1000", "60000.000000", "20000.000000", "1", "80000.000000",
                                            "40000.000000", "2", "70000.000000", "30000.000000", "3"});

// The factory configuration with output 1's higher value and the gravity changed.
const QByteArray kNewFile = configFile({"p", "1500", "65000", "20000", "1", "80000", "40000", "2", "70000", "30000",
                                        "3"});

} // namespace cli_test

using namespace cli_test;

// Runs the built qz5801-cli against simulated transmitters whose memory and
// request log are files in a fresh folder per test function.
class CliFixture : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> dir;
    QString memoryPath;
    QString logPath;
    QByteArray factoryImage;

    QProcessEnvironment environment(const QStringList &extra) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", QZ_SIMULATOR_DIR);
        env.insert("QZSIM_MEMORY", memoryPath);
        env.insert("QZSIM_LOG", logPath);
        env.insert("TMPDIR", dir->path()); // where a failed write leaves the configuration held before
        for (const QString &e : extra)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        return env;
    }

    Run run(const QStringList &args, const QStringList &extraEnv = {})
    {
        QProcess p;
        p.setProcessEnvironment(environment(extraEnv));
        p.start(QZ_CLI, args);
        Run r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
        }
        r.exitCode = p.exitCode();
        r.status = p.exitStatus();
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    // The transmitter's requests, one "command N", "read A/L" or "write A/L" each.
    QStringList requestLog() const
    {
        QStringList log;
        for (const QByteArray &line : fileBytes(logPath).split('\n')) {
            const QByteArray r = QByteArray::fromHex(line);
            if (r.size() != 64)
                continue;
            const auto b = [&](int i) { return uint32_t(uint8_t(r[i])); };
            const uint32_t address = b(7) | b(8) << 8 | b(9) << 16 | b(10) << 24;
            if (b(3) == 7 || b(3) == 8)
                log << QStringLiteral("%1 %2/%3").arg(b(3) == 7 ? "read" : "write").arg(address).arg(b(4));
            else if (b(3) == 5)
                log << QStringLiteral("query %1").arg(b(4));
            else
                log << QStringLiteral("command %1").arg(b(3));
        }
        return log;
    }

    QString newFile()
    {
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kNewFile);
        return file;
    }

    QByteArray memory() const { return fileBytes(memoryPath); }
    void setMemory(uint32_t address, const QByteArray &bytes)
    {
        QByteArray image = memory();
        image.replace(int(address), bytes.size(), bytes);
        writeBytes(memoryPath, image);
    }
    static QByteArray floatBytes(float v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); }

    void setUpCase()
    {
        qzsim_reset();
        factoryImage = QByteArray(reinterpret_cast<const char *>(qzsim_memory()), 65536);
    }
    void setUp()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        memoryPath = dir->filePath("memory.bin");
        logPath = dir->filePath("requests.log");
        writeBytes(memoryPath, factoryImage);
    }
};
