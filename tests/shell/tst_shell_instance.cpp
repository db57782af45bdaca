// One copy per session: a second start of the real program ends at once with
// exit code 0, shows nothing and leaves the settings alone.
#include "ShellTestSupport.h"

#include "Main.h"
#include "SingleInstance.h"

#include <QDateTime>
#include <QFileInfo>
#include <QProcess>

using namespace shelltest;

namespace {

QProcessEnvironment environmentFor(const QString &runtime, const QString &config)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

QByteArray lockOwner(const QString &lockPath)
{
    return readBytes(lockPath).split('\n').value(0);
}

} // namespace

class ShellInstanceTest : public QObject {
    Q_OBJECT

private slots:
    // Runs first, while this process holds no lock yet.
    void creationEndsWhenAnotherCopyRuns()
    {
        // The other copy shares only the lock: it goes on making files in a
        // settings folder of its own while this process creates its window.
        QTemporaryDir otherHome;
        ConfigHome home;
        const QString lockPath = singleInstanceLockPath();
        QProcess other;
        other.setProcessEnvironment(environmentFor(qEnvironmentVariable("XDG_RUNTIME_DIR"), otherHome.path()));
        other.start(QStringLiteral(QZ_APP_PATH), {});
        QVERIFY(other.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(lockPath), QByteArray::number(other.processId()), 60000);

        RecordedBoxes boxes;
        QVERIFY_THROWS_EXCEPTION(AnotherCopyRunning, TMainF window);
        QVERIFY(!QFileInfo::exists(home.settingsFolder()));
        QVERIFY(boxes.boxes.empty());
        QVERIFY(!holdSingleInstanceLock());

        other.kill();
        QVERIFY(other.waitForFinished());
        QVERIFY(holdSingleInstanceLock());
        QCOMPARE(lockOwner(lockPath), QByteArray::number(QCoreApplication::applicationPid()));
    }

    void secondCopyEndsWhileLockIsHeld_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("no settings file") << QByteArray();
        QTest::newRow("settings file present") << QByteArray("; mine\r\n[Options]\r\nLanguage=2\r\n");
    }

    void secondCopyEndsWhileLockIsHeld()
    {
        QFETCH(QByteArray, settings);
        // This process is the first copy.
        QVERIFY(holdSingleInstanceLock());
        QVERIFY(QFileInfo::exists(singleInstanceLockPath()));
        ConfigHome home;
        QDateTime modified;
        if (!settings.isNull()) {
            QVERIFY(writeBytes(home.settingsFile(), settings));
            modified = QFileInfo(home.settingsFile()).lastModified();
        }

        QProcess second;
        second.setProcessEnvironment(environmentFor(qEnvironmentVariable("XDG_RUNTIME_DIR"), home.path()));
        second.start(QStringLiteral(QZ_APP_PATH), {});
        QVERIFY2(second.waitForFinished(60000), "the second copy kept running");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        if (settings.isNull()) {
            QVERIFY(!QFileInfo::exists(home.settingsFolder()));
        } else {
            QCOMPARE(readBytes(home.settingsFile()), settings);
            QCOMPARE(QFileInfo(home.settingsFile()).lastModified(), modified);
        }
        QVERIFY(QFileInfo::exists(singleInstanceLockPath()));
    }

    void secondCopyEndsWhileFirstRuns()
    {
        QTemporaryDir runtime;
        ConfigHome home;
        const QString lockPath = runtime.filePath(QStringLiteral("QZ5801.0.lock"));
        const QProcessEnvironment env = environmentFor(runtime.path(), home.path());

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(QZ_APP_PATH), {});
        QVERIFY(first.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(lockPath), QByteArray::number(first.processId()), 60000);

        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(QZ_APP_PATH), {});
        QVERIFY2(second.waitForFinished(60000), "the second copy kept running");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        // The first copy runs on, untouched; neither has written settings.
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(lockOwner(lockPath), QByteArray::number(first.processId()));
        QVERIFY(!QFileInfo::exists(home.settingsFile()));

        // A copy that died leaves its lock behind; the next start takes it over.
        first.kill();
        QVERIFY(first.waitForFinished());
        QVERIFY(QFileInfo::exists(lockPath));
        QProcess third;
        third.setProcessEnvironment(env);
        third.start(QStringLiteral(QZ_APP_PATH), {});
        QVERIFY(third.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(lockOwner(lockPath), QByteArray::number(third.processId()), 60000);
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        QVERIFY(third.waitForFinished());
    }
};

QZ_SHELL_TEST_MAIN(ShellInstanceTest)
#include "tst_shell_instance.moc"
