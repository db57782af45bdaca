#include "Oprog.h"

#include "Lang.h"

#include <QFont>
#include <QScreen>

namespace {

QFont sansSerif(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

TOProgramu::TOProgramu(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    // A small title bar without buttons; "OK" (or Enter) closes it.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowIcon(programIcon());
    setFont(sansSerif(10, false));
    caption1->setFont(sansSerif(16, true));
    version->setFont(sansSerif(11, true));
    BitBtn1->setFont(sansSerif(11, true));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    resize(345, 179);
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    cmCreate();
}

void TOProgramu::cmCreate()
{
    translateAboutWindow(this, fileVersionText());
    // In the language of the window; names and licence identifiers as they are.
    licences->setText(licenceText());
}

void TOProgramu::showEvent(QShowEvent *event)
{
    // Sized when first shown, before the window appears: measuring the text
    // at creation made the title's font ready at start-up for a window most
    // runs never open. Texts and fonts are fixed at creation, so once is enough.
    if (!labelsSized) {
        caption1->adjustSize();
        version->adjustSize();
        labelsSized = true;
    }
    QDialog::showEvent(event);
}

QString fileVersionText()
{
    // The build's version: on Windows the executable's version resource
    // (dist/windows/program.rc.in) is made from the same project version.
    return QStringLiteral("%1.%2.%3").arg(QZ_VERSION_MAJOR).arg(QZ_VERSION_MINOR).arg(QZ_VERSION_PATCH);
}

QString licenceText()
{
#if defined(_WIN32)
    const QString platform = QStringLiteral("SimpleIni (MIT).");
#else
    const QString platform =
        QStringLiteral("libusb-1.0 (LGPL-2.1+), SimpleIni (MIT), libmosquitto (EPL-2.0 or EDL-1.0).");
#endif
#if defined(QZ_WITH_CHARTS)
    // The trend links Qt Charts, licensed GPL-3+ only: the program as built
    // goes out under it, whatever our own source allows.
    const QString libraries = QStringLiteral("Qt 6 (LGPL-3), Qt Charts (GPL-3+), ") + platform;
    return translate(QStringLiteral("Distributed under the GNU GPL, version 3 or later, as Qt Charts requires. "
                                    "Own source code under the MIT licence."))
#else
    // Without the trend nothing GPL is linked: our MIT licence holds, Qt stays LGPL-3.
    const QString libraries = QStringLiteral("Qt 6 (LGPL-3), ") + platform;
    return translate(QStringLiteral("Own source code under the MIT licence."))
#endif
           + u' ' + translate(QStringLiteral("Built with")) + u' ' + libraries;
}
