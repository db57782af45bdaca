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
    caption1->adjustSize();
    version->adjustSize();
}

QString fileVersionText()
{
    // Linux executables carry no version resource; the build's version is the file's.
    return QStringLiteral("%1.%2.%3").arg(QZ_VERSION_MAJOR).arg(QZ_VERSION_MINOR).arg(QZ_VERSION_PATCH);
}
