// The end of a session (log-out, shut-down, kill, Ctrl+C) closes the window
// as its close box does: the settings are saved, the lock is released.
#include "ShellTestSupport.h"

#include "EndOnSignal.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <csignal>

using namespace shelltest;

namespace {

class CountingWindow : public QWidget {
public:
    int closes = 0;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        ++closes;
        event->accept();
    }
};

} // namespace

class ShellSignalTest : public QObject {
    Q_OBJECT

private slots:
    void endSignalsCloseTheProgramAsItsCloseBoxDoes_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void endSignalsCloseTheProgramAsItsCloseBoxDoes()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir runtime;
        ConfigHome home;
        const QString lockPath = runtime.filePath(QStringLiteral("QZ5801.0.lock"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(QZ_APP_PATH), {});
        QVERIFY(tool.waitForStarted());
        // The signals are caught before the lock is taken.
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(lockPath).split('\n').value(0), QByteArray::number(tool.processId()),
                                  60000);
        QVERIFY(!QFileInfo::exists(home.settingsFile()));
        ::kill(pid_t(tool.processId()), signalNumber);
        QVERIFY2(tool.waitForFinished(60000), "the program ran on");
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY2(QFileInfo::exists(home.settingsFile()), "the settings were not saved");
        QVERIFY2(!QFileInfo::exists(lockPath), "the lock was left behind");
    }

    // In the middle of an operation with boxes open: each is answered as by
    // Escape (one without such an answer is dismissed), the operation goes on
    // to its end, then the window closes. Runs last: it sets this process's
    // own signal handling.
    void openBoxesAreAnsweredFirst()
    {
        CountingWindow window;
        window.show();
        catchEndSignals();
        closeOnEndSignals(window);
        QMessageBox question(QMessageBox::Question, QStringLiteral("Write"), QStringLiteral("Write configuration?"),
                             QMessageBox::Yes | QMessageBox::No, &window);
        QMessageBox noEscape(QMessageBox::Information, QStringLiteral("Choose"), QStringLiteral("A or B?"),
                             QMessageBox::NoButton, &window);
        noEscape.addButton(QStringLiteral("A"), QMessageBox::AcceptRole);
        noEscape.addButton(QStringLiteral("B"), QMessageBox::AcceptRole);
        int answer = -1;
        bool innerEnded = false;
        int closesWhileAnswering = -1;
        QTimer::singleShot(0, &window, [&] {
            // the operation asks, and while it asks another box comes up
            QTimer::singleShot(0, &window, [&] {
                QTimer::singleShot(50, [] { ::raise(SIGTERM); });
                noEscape.exec();
                innerEnded = true;
            });
            answer = question.exec();
            closesWhileAnswering = window.closes;
        });
        QTRY_COMPARE_WITH_TIMEOUT(window.closes, 1, 20000);
        QVERIFY(innerEnded);
        QCOMPARE(answer, int(QMessageBox::No));
        QCOMPARE(closesWhileAnswering, 0);
        QVERIFY(!window.isVisible());
        QVERIFY(!noEscape.isVisible());
    }
};

QZ_SHELL_TEST_MAIN(ShellSignalTest)
#include "tst_shell_signals.moc"
