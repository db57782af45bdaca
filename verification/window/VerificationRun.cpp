// The run's steps: started from the window's record and display, fed by its
// polls, ended into the journal and a certificate.
#include "VerificationDialog.h"

#include "Certificate.h"
#include "Dialogs.h"
#include "JournalEntry.h"
#include "Lang.h"
#include "LiveValue.h"
#include "Main.h"
#include "NumberText.h"
#include "WindowJournal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>

#include <cmath>

using namespace verification;
using State = Session::State;

QString TVerificationDialog::number(double pascal) const
{
    const Run &r = session.run();
    if (!std::isfinite(pascal))
        return QStringLiteral("-");
    return formatNumber(float(pascal * double(r.unit.factor)), std::clamp(r.unit.decimals + 1, 1, 4)) + u' ' + r.unit.text;
}

QString TVerificationDialog::pointLine(std::size_t index, const PointRecord &p) const
{
    QString result = translate(p.result.verdict == Verdict::Pass ? QStringLiteral("Pass") : QStringLiteral("Fail"));
    if (p.result.certainty != Certainty::NotStated)
        result += QStringLiteral(" (") +
                  translate(p.result.certainty == Certainty::Conclusive ? QStringLiteral("conclusive")
                                                                        : QStringLiteral("inconclusive")) +
                  u')';
    if (!p.result.problem.isEmpty())
        result += QStringLiteral(": ") + translate(p.result.problem);
    return QStringLiteral("%1 %2, %3 %: %4 %5, %6 %7, %8 %9: %10")
        .arg(translate(QStringLiteral("Point")))
        .arg(index + 1)
        .arg(QString::number(p.percent, 'g', QLocale::FloatingPointShortest), translate(QStringLiteral("Reference")),
             number(p.referencePa), translate(QStringLiteral("Reading")), number(p.result.mean),
             translate(QStringLiteral("Error")), number(p.result.error), result);
}

void TVerificationDialog::startRun()
{
    QString problem;
    const std::optional<Plan> plan = planFromFields(problem);
    if (!plan) {
        showMessage(this, problem, translate(QStringLiteral("Error")));
        return;
    }
    if (!serial) {
        // the window's own Device Info, as the operator would run it: the certificate names the serial number
        w.CmDeviceInfo();
        if (!serial) {
            announce(translate(QStringLiteral("The serial number is not known yet: read it with Device Info, then start again.")));
            return;
        }
    }
    Run run;
    run.plan = *plan;
    run.started = nowWithOffset();
    run.program = QStringLiteral("qz5801");
    run.version = QStringLiteral(QZ_VERSION);
    run.transmitter.serial = serial;
    if (theLink)
        run.transmitter.location = QString::fromStdString(theLink->deviceLocation(theLink->instanceBase));
    run.transmitter.rangePa = w.nominalRange;
    run.transmitter.gravity = w.specificGravity;
    for (int i = 0; i < 6; ++i)
        run.transmitter.values[i] = w.limitValue(i);
    const std::array<QComboBox *, 3> modes{w.comboBoxConfiguration1, w.comboBoxConfiguration2, w.comboBoxConfiguration3};
    for (int i = 0; i < 3; ++i)
        run.transmitter.modes[i] = modes[i]->currentIndex();
    run.unit = {w.unitText, w.unitFactor, w.decimals};
    run.certificate = newCertificateNumber(serial, run.started);
    journal::Entry who;
    journal::stampEntry(who, run.program, run.version);
    run.station = who.station;
    session.start(std::move(run));
    journaled = false;
    results->clear();
    // the readings are the window's own polls: they run while "Actual value" is on
    if (!w.checkActualValue->isChecked())
        w.checkActualValue->setChecked(true);
    pointDone();
    referenceEdit->setFocus();
}

void TVerificationDialog::takeReference()
{
    if (session.state() != State::Reference)
        return;
    const QString text = referenceEdit->text().trimmed();
    double reference = session.nominal();
    if (!text.isEmpty()) {
        const std::optional<float> typed = readNumber(text);
        if (!typed || !std::isfinite(*typed)) {
            announce(translate(QStringLiteral("Not valid real number")) + QStringLiteral(": ") + text);
            return;
        }
        reference = double(*typed) / double(session.run().unit.factor);
    }
    session.takeReference(reference);
    referenceEdit->clear();
    announce(translate(QStringLiteral("Taking readings")) +
             QStringLiteral(": 0 / %1").arg(session.run().plan.readings));
    updateControls();
}

void TVerificationDialog::polled(int outcome, float pascal)
{
    const State before = session.state();
    if (before == State::Idle || before == State::Finished)
        return;
    if (outcome == display::Poll::SwitchOff) {
        session.lost();
    } else if (outcome == display::Poll::Missed) {
        session.missed();
    } else if (session.addValue(pascal)) {
        const std::vector<PointRecord> &points =
            session.phase() == Phase::AsFound ? session.run().asFound : session.run().asLeft;
        results->addItem(pointLine(points.size() - 1, points.back()));
        results->setCurrentRow(results->count() - 1);
        pointDone();
        return;
    } else if (session.state() == State::Collecting) {
        announce(translate(QStringLiteral("Taking readings")) +
                 QStringLiteral(": %1 / %2").arg(session.readingsTaken()).arg(session.run().plan.readings));
    }
    if (session.state() == State::Finished)
        runEnded();
}

// The prompt for what comes next, after a point or a phase.
void TVerificationDialog::pointDone()
{
    const Run &r = session.run();
    if (session.state() == State::Reference) {
        const QString phase = translate(session.phase() == Phase::AsFound ? QStringLiteral("as found")
                                                                          : QStringLiteral("as left"));
        announce(QStringLiteral("%1, %2 %3 / %4: %5 % = %6. ")
                     .arg(phase, translate(QStringLiteral("Point")))
                     .arg(session.point() + 1)
                     .arg(r.plan.points.size())
                     .arg(QString::number(session.percent(), 'g', QLocale::FloatingPointShortest),
                          number(session.nominal())) +
                 translate(QStringLiteral("Apply the pressure, enter the reference reading and press Enter (Enter alone takes the nominal value).")));
    } else if (session.state() == State::PhaseDone) {
        const int failed = failedPoints(session.phase() == Phase::AsFound ? r.asFound : r.asLeft);
        announce(translatePlural(QStringLiteral("%i point fails|%i points fail"), failed) + QStringLiteral(". ") +
                 translate(QStringLiteral("Adjust with the zero correction and take the points as left, take switch points, or finish.")));
    }
    updateControls();
}

void TVerificationDialog::zeroCorrection()
{
    if (session.state() == State::PhaseDone)
        w.CmKorekce();
}

void TVerificationDialog::zeroOffsetWritten(float storedOffset, float sentOffset, bool written)
{
    if (written && session.state() == State::PhaseDone && session.phase() == Phase::AsFound)
        session.run().zeroAdjustment = std::pair(storedOffset, sentOffset);
}

void TVerificationDialog::startAsLeft()
{
    session.startAsLeft();
    pointDone();
    referenceEdit->setFocus();
}

void TVerificationDialog::startSwitchPoints()
{
    session.startSwitchPoints();
    announce(translate(QStringLiteral("Ramp the pressure slowly and press 1, 2 or 3 when that output switches.")));
    updateControls();
}

void TVerificationDialog::switched(int output)
{
    if (!session.recordSwitchNow(output))
        return;
    const SwitchRecord &s = session.run().switches.back();
    const QString line = QStringLiteral("%1 %2: %3, %4 %5, %6 %7: %8")
                             .arg(translate(QStringLiteral("Output")))
                             .arg(output)
                             .arg(translate(s.direction == Direction::Rising ? QStringLiteral("Rising")
                                                                             : QStringLiteral("Falling")),
                                  translate(QStringLiteral("Reading")), number(s.readingPa),
                                  translate(QStringLiteral("Switching value")), number(s.expectedPa),
                                  translate(s.verdict == Verdict::Pass ? QStringLiteral("Pass") : QStringLiteral("Fail")));
    results->addItem(line);
    results->setCurrentRow(results->count() - 1);
    announce(line);
}

void TVerificationDialog::finishRun()
{
    if (session.state() == State::Idle)
        return;
    if (session.state() != State::Finished)
        session.finish();
    runEnded();
}

void TVerificationDialog::runEnded()
{
    if (const std::optional<Stop> &stop = session.run().stop)
        announce(translate(QStringLiteral("The run did not finish")) + QStringLiteral(": ") + translate(stop->reason));
    updateControls();
    if (!journaled)
        journalRun();
}

void TVerificationDialog::journalRun()
{
    auto *book = w.findChild<TWindowJournal *>(QStringLiteral("windowJournal"));
    if (!book) {
        announce(translate(QStringLiteral("Not journaled")));
        return;
    }
    const Run &r = session.run();
    const QByteArray data = runData(r);
    journal::Entry e;
    e.operation = QStringLiteral("verification");
    e.serial = r.transmitter.serial;
    e.location = r.transmitter.location;
    e.begun = r.started.toUTC();
    e.finished = r.finished.toUTC();
    e.result = r.stop ? journal::Result::Failed
                      : overallVerdict(r) == Verdict::Pass ? journal::Result::Passed : journal::Result::NotPassed;
    e.detail = r.stop ? r.stop->reason + QStringLiteral(" at point %1").arg(r.stop->point)
                      : QStringLiteral("%1 of %2 points fail")
                            .arg(failedPoints(r.asLeft.empty() ? r.asFound : r.asLeft))
                            .arg((r.asLeft.empty() ? r.asFound : r.asLeft).size());
    e.attachment = journal::Attachment{QStringLiteral("verification"), r.certificate, data, sha256Hex(data)};
    finishButton->setEnabled(false);
    book->addRecord(e, [this](const QString &problem) {
        journaled = problem.isEmpty();
        updateControls();
        if (!journaled) {
            // the run stays here: Finish tries again
            announce(translate(QStringLiteral("Not journaled")) + QStringLiteral(": ") + problem);
            return;
        }
        certify();
    });
}

void TVerificationDialog::certify()
{
    const Run &r = session.run();
    const QString path = chooseSaveFile(this, {translate(QStringLiteral("Save certificate")),
                                               QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf")});
    if (path.isEmpty()) {
        announce(translate(QStringLiteral("The run is journaled.")));
        return;
    }
    QString problem;
    if (!writeCertificate(r, sha256Hex(runData(r)), [](const QString &k) { return translate(k); }, path, problem)) {
        showMessage(this, translate(QStringLiteral("Cannot open file")) + QStringLiteral("\n") + problem,
                    translate(QStringLiteral("Error")));
        return;
    }
    announce(translate(QStringLiteral("The run is journaled.")) + u' ' +
             translate(QStringLiteral("Certificate saved")) + QStringLiteral(": ") + QDir::toNativeSeparators(path));
}

void TVerificationDialog::updateControls()
{
    const State s = session.state();
    const bool idle = s == State::Idle || s == State::Finished;
    startButton->setEnabled(idle);
    for (QWidget *field : planGroup->findChildren<QWidget *>())
        if (field != loadButton && field != saveButton)
            field->setEnabled(idle);
    referenceEdit->setEnabled(s == State::Reference);
    zeroButton->setEnabled(s == State::PhaseDone && session.phase() == Phase::AsFound);
    asLeftButton->setEnabled(s == State::PhaseDone && session.phase() == Phase::AsFound);
    switchButton->setEnabled(s == State::PhaseDone);
    for (QPushButton *b : outputButtons)
        b->setEnabled(s == State::SwitchPoints);
    finishButton->setEnabled(!(s == State::Idle || (s == State::Finished && journaled)));
    if (s == State::Idle)
        announce(translate(QStringLiteral("Enter the plan and press Start.")));
}
