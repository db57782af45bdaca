// The About window's icon and licence line, and the program icon that every
// window carries.
#include "ShellTestSupport.h"

#include "Lang.h"
#include "Oprog.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>

using namespace shelltest;

class ShellAboutTest : public QObject {
    Q_OBJECT
private slots:
    void programIconHasEverySize_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("offered");
        // Window systems are offered the title and task bar sizes: the X11
        // window icon carries each offered size before the window appears.
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString::number(size))) << size << (size <= 64);
    }

    void programIconHasEverySize()
    {
        // A missing or mistyped resource gives an icon that paints nothing.
        QFETCH(int, size);
        QFETCH(bool, offered);
        const QIcon icon = programIcon();
        QCOMPARE(icon.availableSizes().contains(QSize(size, size)), offered);
        const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        const QRgb centre = image.pixel(size / 2, size / 2);
        QVERIFY2(qAlpha(centre) == 255, "the icon's dial is transparent");
        // drawn from its own image, not scaled from another size
        const QImage own(QStringLiteral(":/icons/qz5801-%1.png").arg(size));
        QCOMPARE(image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 own.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        // The offered sizes are kept as ready pixels: exactly the PNG's, so
        // a changed PNG without the pixels made anew fails here.
        if (offered)
            QCOMPARE(programIconPixels(size), own.convertToFormat(QImage::Format_ARGB32));
        else
            QVERIFY(programIconPixels(size).isNull());
    }

    // Sizes between the images are scaled down from the next larger one; a
    // disabled icon is the style's greyed form, not the normal one.
    void programIconScalesAndGreys()
    {
        const QIcon icon = programIcon();
        const QImage twenty = icon.pixmap(QSize(20, 20), 1.0).toImage();
        QCOMPARE(twenty.size(), QSize(20, 20));
        QCOMPARE(qAlpha(twenty.pixel(10, 10)), 255);
        QCOMPARE(icon.pixmap(QSize(1000, 1000), 1.0).size(), QSize(256, 256));
        QCOMPARE(icon.actualSize(QSize(40, 30)), QSize(30, 30));
        QVERIFY(icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled).toImage()
                != icon.pixmap(QSize(32, 32), 1.0).toImage());
        QVERIFY(icon.pixmap(QSize(0, 0), 1.0).isNull());
    }

    void aboutWindowCarriesTheProgramIcon()
    {
        TOProgramu about;
        const QIcon icon = about.windowIcon();
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
        QCOMPARE(icon.pixmap(QSize(16, 16), 1.0).toImage(), programIcon().pixmap(QSize(16, 16), 1.0).toImage());
    }

    // The licence line in the window's language: the program goes out under
    // the GPL that Qt Charts brings, our own source under MIT, and it fits
    // between the version and "OK".
    void licencesAreStatedInTheLanguageAndFit_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("English") << 0 << "Distributed under the GNU GPL, version 3 or later";
        QTest::newRow("Czech") << 1 << "Šířeno pod GNU GPL verze 3 nebo novější";
        QTest::newRow("German") << 2 << "Verbreitet unter der GNU GPL, Version 3 oder neuer";
    }
    void licencesAreStatedInTheLanguageAndFit()
    {
        QFETCH(int, language);
        QFETCH(QString, sentence);
        QTemporaryDir copy;
        const QDir shipped(QStringLiteral(QZ_LANGUAGE_DIR));
        for (const QString &name : shipped.entryList(QDir::Files))
            QVERIFY(QFile::copy(shipped.filePath(name), copy.filePath(name)));
        loadLanguageCatalogueFrom(copy.path() + QDir::separator());
        currentLanguage = language;
        TOProgramu about;
        const QString text = about.licences->text();
        currentLanguage = 0;
        QVERIFY2(text.startsWith(sentence), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("MIT")));
        for (const char *part : {"Qt 6 (LGPL-3)", "Qt Charts (GPL-3+)", "SimpleIni (MIT)"})
            QVERIFY2(text.contains(QLatin1String(part)), part);
#ifndef _WIN32
        QVERIFY(text.contains(QLatin1String("libusb-1.0 (LGPL-2.1+)")));
        QVERIFY(text.contains(QLatin1String("libmosquitto (EPL-2.0 or EDL-1.0)")));
#endif
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QLabel *label = about.licences;
        const QRect box = label->geometry();
        const QRect needed = QFontMetrics(label->font())
                                 .boundingRect(QRect(0, 0, box.width(), 1000), Qt::TextWordWrap, label->text());
        QVERIFY2(needed.height() <= box.height(), "the licence line is cut off");
        QVERIFY(QRect(QPoint(0, 0), about.size()).contains(box));
        QVERIFY(!box.intersects(about.BitBtn1->geometry()));
        QVERIFY(!box.intersects(about.version->geometry()));
        QVERIFY(!box.intersects(about.caption1->geometry()));
    }
};

QTEST_MAIN(ShellAboutTest)
#include "tst_shell_about.moc"
