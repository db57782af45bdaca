// Pictures of the verification dialog for docs/screenshots, in English, Czech
// and German: the window over the simulator, a plan, the points as found
// taken from the window's polls, one of them out of tolerance; and the
// certificate of that run as PDF (docs: one page of it through pdftoppm).
// Usage: verification_screenshots OUTPUT_DIR   (any Qt platform)
#include "Certificate.h"
#include "Dialogs.h"
#include "Fix64usb.h"
#include "Lang.h"
#include "Main.h"
#include "VerificationDialog.h"
#include "VerificationTools.h"
#include "qzsim.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

namespace {

bool shoot(int language, const QString &suffix, const QString &outDir)
{
    qzsim_reset();
    delete theLink;
    theLink = nullptr;
    DialogHooks hooks;
    hooks.message = [](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; };
    hooks.saveFile = [](QWidget *, const FileDialogRequest &) { return QString(); };
    setDialogHooks(hooks);
    setPauseFunction([](unsigned) {});

    TMainF w;
    w.Timer1->stop();
    w.Timer3->stop();
    loadLanguageCatalogueFrom(QStringLiteral(QZ_LANGUAGE_DIR) + QDir::separator());
    currentLanguage = language;
    w.translateMainWindow();
    w.CCmPoStartu();
    w.CmkPa();
    TVerificationTools tools(w);
    tools.showDialog();
    TVerificationDialog &d = *tools.dialog;
    d.pointsEdit->setText(QStringLiteral("0,50,100,50,0"));
    d.readingsSpin->setValue(3);
    d.uncertaintyEdit->setText(QStringLiteral("0.05"));
    d.standardNameEdit->setText(QStringLiteral("Pressure calibrator PC-7"));
    d.standardSerialEdit->setText(QStringLiteral("4711"));
    d.standardCertificateEdit->setText(QStringLiteral("CAL-2026-0815"));
    d.standardDueEdit->setText(QStringLiteral("2027-06-30"));
    d.temperatureEdit->setText(QStringLiteral("21.5 °C"));
    d.humidityEdit->setText(QStringLiteral("45 %"));
    d.customerEdit->setText(QStringLiteral("Pivovar Žatec"));
    d.tagEdit->setText(QStringLiteral("PT-101"));
    d.operatorEdit->setText(QStringLiteral("Jana Nováková"));
    d.startButton->click();
    const float values[] = {30, 50120, 100080, 49420};
    for (float v : values) {
        d.takeReference();
        for (int i = 0; i < 3; ++i) {
            qzsim_set_value(v);
            w.Timer1Timer();
        }
    }
    d.referenceEdit->setText(QStringLiteral("0.01"));
    d.resize(d.sizeHint().expandedTo(QSize(1040, 560)));
    QApplication::processEvents();
    bool ok = d.grab().save(outDir + QStringLiteral("/verification-%1.png").arg(suffix));
    // the rest of the run, and its certificate
    d.takeReference();
    for (int i = 0; i < 3; ++i) {
        qzsim_set_value(20);
        w.Timer1Timer();
    }
    d.session.finish();
    const verification::Run &run = d.session.run();
    QString problem;
    ok = verification::writeCertificate(run, verification::sha256Hex(verification::runData(run)),
                                        [](const QString &k) { return translate(k); },
                                        outDir + QStringLiteral("/certificate-%1.pdf").arg(suffix), problem) &&
         ok;
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir runtime;
    QTemporaryDir config;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    useDesignStyle();
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool ok = shoot(0, QStringLiteral("en"), out) && shoot(1, QStringLiteral("cs"), out) &&
                    shoot(2, QStringLiteral("de"), out);
    return ok ? 0 : 1;
}
