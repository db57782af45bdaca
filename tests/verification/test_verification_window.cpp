// The window's verification run: from the Application menu, fed by the
// window's own polls only, the zero correction through the window's own
// operation, journaled and certified, with the trend open; keyboard only.
#include "ShellTestSupport.h"

#include "Journal.h"
#include "NumberText.h"
#include "OperatorTools.h"
#include "SimulatorSupport.h"
#include "TrendView.h"
#include "VerificationDialog.h"
#include "VerificationTestSupport.h"
#include "VerificationTools.h"
#include "WindowJournal.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

using namespace shelltest;
using namespace simtest;
using namespace verification;

class TestVerificationWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;
    DialogHooks previousHooks;
    QStringList boxes;
    QString savedCertificate;
    QTemporaryDir dir;
    TWindowJournal *book = nullptr;
    TVerificationTools *tools = nullptr;

    TMainF &connectedWindow()
    {
        home = std::make_unique<ConfigHome>();
        window = stillWindow();
        window->CCmPoStartu();
        journal::Address a;
        a.path = dir.filePath(QStringLiteral("journal-%1.sqlite").arg(QTest::currentTestFunction()));
        book = new TWindowJournal(*window, a);
        tools = new TVerificationTools(*window);
        return *window;
    }

    journal::Address journalAddress() const
    {
        journal::Address a;
        a.path = dir.filePath(QStringLiteral("journal-%1.sqlite").arg(QTest::currentTestFunction()));
        return a;
    }

    // The dialog through the menu, its plan typed as the operator would.
    TVerificationDialog &openWithPlan(TMainF &w, const QString &points, int readings)
    {
        QAction *item = w.menuApplication->findChild<QAction *>(QStringLiteral("menuVerification"));
        if (!item) // the menu holds it, its parent is the window
            item = w.findChild<QAction *>(QStringLiteral("menuVerification"));
        item->trigger();
        TVerificationDialog &d = *tools->dialog;
        d.pointsEdit->clear();
        QTest::keyClicks(d.pointsEdit, points);
        d.readingsSpin->setValue(readings);
        d.operatorEdit->setText(QStringLiteral("Jana Nováková"));
        return d;
    }

    // One tick of the window's timer with the simulated transmitter at this value.
    void tick(TMainF &w, float pascal)
    {
        qzsim_set_value(pascal);
        w.Timer1Timer();
    }

private slots:
    void init()
    {
        delete theLink;
        theLink = nullptr;
        qzsim_reset();
        setDecimalSeparatorForTesting(u'.');
        boxes.clear();
        savedCertificate = dir.filePath(QStringLiteral("certificate.pdf"));
        DialogHooks hooks;
        hooks.message = [this](QWidget *, const MessageRequest &r) {
            boxes << r.title + ": " + r.text;
            return r.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        hooks.saveFile = [this](QWidget *, const FileDialogRequest &) { return savedCertificate; };
        previousHooks = setDialogHooks(hooks);
        setPauseFunction([](unsigned) {});
    }

    void cleanup()
    {
        window.reset();
        home.reset();
        delete theLink;
        theLink = nullptr;
        setDialogHooks(previousHooks);
        setPauseFunction({});
        setDecimalSeparatorForTesting(QChar());
    }

    void menuItemAndTexts()
    {
        TMainF &w = connectedWindow();
        const QList<QAction *> items = w.menuApplication->actions();
        const qsizetype at = items.indexOf(tools->menuVerification);
        QVERIFY(at > 0);
        QCOMPARE(tools->menuVerification->text(), QStringLiteral("Verification..."));
        // among the tools, before the separator that sets Exit apart
        QVERIFY(items.indexOf(w.menuExit) > at + 1);
        QVERIFY(items[at + 1]->isSeparator());
        tools->menuVerification->trigger();
        QVERIFY(tools->dialog && tools->dialog->isVisible());
        // every field has a caption a screen reader reads with it
        for (QWidget *e : tools->dialog->findChildren<QWidget *>()) {
            if (!qobject_cast<QLineEdit *>(e) && !qobject_cast<QSpinBox *>(e))
                continue;
            if (qobject_cast<QSpinBox *>(e->parentWidget())) // the spin box's own edit: the spin box has the caption
                continue;
            bool captioned = false;
            for (QLabel *l : tools->dialog->findChildren<QLabel *>())
                captioned = captioned || (l->buddy() == e && !l->text().isEmpty());
            QVERIFY2(captioned, qPrintable(e->objectName()));
        }
    }

    // The whole run with the trend open: the transmitter hears the window's
    // polls and the zero correction's own frames, nothing else.
    void runOnTheWindowsPolls()
    {
        TMainF &w = connectedWindow();
        w.CmkPa(); // the run takes the unit the window shows
        w.operatorTools->showTrend();
        QVERIFY(w.operatorTools->trendWindow);
        TVerificationDialog &d = openWithPlan(w, QStringLiteral("0,100"), 2);
        QTest::mouseClick(d.startButton, Qt::LeftButton);
        QCOMPARE(d.session.state(), Session::State::Reference); // Device Info gave the serial number
        QVERIFY(w.checkActualValue->isChecked());
        QVERIFY(d.referenceEdit->hasFocus() || !QApplication::focusWidget());
        QVERIFY2(d.prompt->accessibleName().contains(QStringLiteral("Point 1 / 2: 0 % = 0.0000 kPa")),
                 qPrintable(d.prompt->accessibleName()));
        QCOMPARE(d.referenceEdit->accessibleDescription(), d.prompt->accessibleName());

        qzsim_clear_logs();
        int ticks = 0;
        // point 1: Enter alone takes the nominal 0 Pa
        QTest::keyClick(d.referenceEdit, Qt::Key_Return);
        tick(w, 100), ++ticks;
        tick(w, 300), ++ticks;
        QCOMPARE(d.results->count(), 1);
        QVERIFY2(d.results->item(0)->text().contains(QStringLiteral("Error 0.2000 kPa: Pass")),
                 qPrintable(d.results->item(0)->text()));
        // point 2: 100.05 kPa typed
        QTest::keyClicks(d.referenceEdit, QStringLiteral("100.05"));
        QTest::keyClick(d.referenceEdit, Qt::Key_Return);
        tick(w, 100900), ++ticks;
        tick(w, 100900), ++ticks;
        QCOMPARE(d.session.state(), Session::State::PhaseDone);
        QVERIFY(d.results->item(1)->text().contains(QStringLiteral("Error 0.8500 kPa: Fail")));
        QStringList polls;
        for (int i = 0; i < ticks; ++i)
            polls << QStringLiteral("command 1") << QStringLiteral("query 4");
        QCOMPARE(requestLog(), polls);

        // the window's own zero correction; its frames are its own, journaled as ever
        qzsim_set_value(300);
        QTest::mouseClick(d.zeroButton, Qt::LeftButton);
        QVERIFY(d.session.run().zeroAdjustment);
        QCOMPARE(d.session.run().zeroAdjustment->second, -300.0f);
        QTest::mouseClick(d.asLeftButton, Qt::LeftButton);
        QTest::keyClick(d.referenceEdit, Qt::Key_Return);
        tick(w, 0);
        tick(w, 0);
        QTest::keyClick(d.referenceEdit, Qt::Key_Return);
        tick(w, 100000);
        tick(w, 100000);
        // switch points by their keys: output 1 (Compression, 60 kPa) while the pressure falls from 70 kPa
        QTest::mouseClick(d.switchButton, Qt::LeftButton);
        tick(w, 70000 - 300); // the simulator adds its offset, now -300 Pa
        tick(w, 60100 - 300);
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::keyClick(d.focusWidget() ? d.focusWidget() : static_cast<QWidget *>(&d), Qt::Key_1);
        QCOMPARE(d.session.run().switches.size(), std::size_t(1));
        QCOMPARE(d.session.run().switches[0].direction, Direction::Falling);

        QTest::mouseClick(d.finishButton, Qt::LeftButton);
        book->waitForRecords();
        QTRY_VERIFY(d.journaled);
        const std::vector<journal::Entry> all = journal::Journal(journalAddress()).history({});
        // newest by the journal's sequence: the run, recorded after its zero correction though begun first
        QCOMPARE(all.size(), std::size_t(2));
        QCOMPARE(all[1].operation, QStringLiteral("zero correction"));
        QCOMPARE(all[1].result, journal::Result::Written);
        const journal::Entry &run = all[0];
        QCOMPARE(run.operation, QStringLiteral("verification"));
        QCOMPARE(run.serial, std::optional<int>(12345));
        const std::optional<journal::Attachment> a = journal::Journal(journalAddress()).attachment(run.id);
        QVERIFY(a);
        QCOMPARE(a->data, runData(d.session.run()));
        QCOMPARE(a->certificate, d.session.run().certificate);
        QFile pdf(savedCertificate);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QString text = verificationtest::pdfPages(pdf.readAll()).join(u'\n').simplified();
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        for (const QString &wanted : {d.session.run().certificate, a->dataSha256, QStringLiteral("Results as left"),
                                      QStringLiteral("Zero correction: zero offset 0.0000 kPa → -0.3000 kPa"),
                                      QStringLiteral("Switch points"), QStringLiteral("Jana Nováková")})
            QVERIFY2(text.contains(wanted), qPrintable(wanted + QStringLiteral("\n") + text));
    }

    // The transmitter goes mid-point: the window's tick switches the live value
    // off, the run ends there and its record says so.
    void transmitterLostMidway()
    {
        TMainF &w = connectedWindow();
        TVerificationDialog &d = openWithPlan(w, QStringLiteral("0,50,100"), 3);
        d.startButton->click();
        QTest::keyClick(d.referenceEdit, Qt::Key_Return);
        tick(w, 0);
        qzsim_set_device_count(0);
        for (int i = 0; i < 3 && d.session.state() != Session::State::Finished; ++i)
            w.Timer1Timer();
        QCOMPARE(d.session.state(), Session::State::Finished);
        QVERIFY(!w.checkActualValue->isChecked());
        QVERIFY2(d.prompt->text().contains(QStringLiteral("The transmitter stopped answering")), qPrintable(d.prompt->text()));
        book->waitForRecords();
        QTRY_VERIFY(d.journaled);
        const std::vector<journal::Entry> all = journal::Journal(journalAddress()).history({});
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].result, journal::Result::Failed);
        QCOMPARE(all[0].detail, QStringLiteral("The transmitter stopped answering at point 1"));
    }

    // Save plan... and Load plan... through the window's file dialogs.
    void planSavedAndLoaded()
    {
        TMainF &w = connectedWindow();
        TVerificationDialog &d = openWithPlan(w, QStringLiteral("0,20,40"), 4);
        d.toleranceEdit->setText(QStringLiteral("0.2"));
        d.customerEdit->setText(QStringLiteral("Pivovar Žatec"));
        const QString path = dir.filePath(QStringLiteral("saved-plan.json"));
        DialogHooks hooks = setDialogHooks({});
        DialogHooks files = hooks;
        files.saveFile = [&](QWidget *, const FileDialogRequest &) { return path; };
        files.openFile = [&](QWidget *, const FileDialogRequest &) { return path; };
        setDialogHooks(files);
        d.saveButton->click();
        d.showPlan(Plan{});
        QCOMPARE(d.pointsEdit->text(), QStringLiteral("0,25,50,75,100,75,50,25,0"));
        d.loadButton->click();
        setDialogHooks(hooks);
        QCOMPARE(d.pointsEdit->text(), QStringLiteral("0,20,40"));
        QCOMPARE(d.readingsSpin->value(), 4);
        QCOMPARE(d.toleranceEdit->text(), QStringLiteral("0.2"));
        QCOMPARE(d.customerEdit->text(), QStringLiteral("Pivovar Žatec"));
        QVERIFY(boxes.isEmpty());
    }

    void planRefusedWithAReason()
    {
        TMainF &w = connectedWindow();
        TVerificationDialog &d = openWithPlan(w, QStringLiteral("50"), 3);
        d.startButton->click();
        QCOMPARE(d.session.state(), Session::State::Idle);
        QCOMPARE(boxes, QStringList{QStringLiteral("Error: A plan has 2 to 50 test points")});
        d.pointsEdit->setText(QStringLiteral("0,100"));
        d.standardDueEdit->setText(QStringLiteral("2020-01-01"));
        QVERIFY(d.overdueLabel->isVisibleTo(&d));
        d.standardDueEdit->setText(QStringLiteral("2999-01-01"));
        QVERIFY(!d.overdueLabel->isVisibleTo(&d));
    }
};

QZ_SHELL_TEST_MAIN(TestVerificationWindow)
#include "test_verification_window.moc"
