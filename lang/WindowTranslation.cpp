// The captions of the main and About windows, set from the message lookup.
#include "Lang.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVariant>

namespace {

void setCaption(QWidget *root, const char *name, const QString &text)
{
    const QString objectName = QString::fromLatin1(name);
    if (auto *menu = root->findChild<QMenu *>(objectName))
        menu->setTitle(text);
    else if (auto *action = root->findChild<QAction *>(objectName))
        action->setText(text);
    else if (auto *box = root->findChild<QGroupBox *>(objectName))
        box->setTitle(text);
    else if (auto *button = root->findChild<QAbstractButton *>(objectName))
        button->setText(text);
    else if (auto *label = root->findChild<QLabel *>(objectName))
        label->setText(text);
}

} // namespace

void translateMainWindow(QWidget *mainWindow)
{
    loadMessageTable();
    if (!mainWindow)
        return;
    mainWindow->setProperty("charset", int(currentCharset()));

    mainWindow->setWindowTitle(translate(QStringLiteral("QZ5801 User Software")));
    setCaption(mainWindow, "menuApplication", translate(QStringLiteral("Application")));
    setCaption(mainWindow, "menuReadConfigurationFromDisk",
               translateWithEllipsis(QStringLiteral("Read configuration from disk")));
    setCaption(mainWindow, "menuWriteconfigurationToDisk",
               translateWithEllipsis(QStringLiteral("Write configuration to disk")));
    setCaption(mainWindow, "menuExit", translate(QStringLiteral("Exit")));
    setCaption(mainWindow, "menuSettings", translate(QStringLiteral("Settings")));
    setCaption(mainWindow, "menuLanguageSelection", translateWithEllipsis(QStringLiteral("Language selection")));
    setCaption(mainWindow, "menuHelp", translate(QStringLiteral("Help")));
    setCaption(mainWindow, "menuAbout", translateWithEllipsis(QStringLiteral("About")));
    setCaption(mainWindow, "captionUnitsOfLength", translate(QStringLiteral("Units of length")));
    setCaption(mainWindow, "captionPressureUnits", translate(QStringLiteral("Pressure units")));
    setCaption(mainWindow, "checkActualValue", translate(QStringLiteral("Actual value")));
    setCaption(mainWindow, "captionOutput1", translate(QStringLiteral("Output")) + QStringLiteral(" 1"));
    setCaption(mainWindow, "captionOutput2", translate(QStringLiteral("Output")) + QStringLiteral(" 2"));
    setCaption(mainWindow, "captionOutput3", translate(QStringLiteral("Output")) + QStringLiteral(" 3"));
    for (const char *name : {"captionHigherValue1", "captionHigherValue2", "captionHigherValue3"})
        setCaption(mainWindow, name, translate(QStringLiteral("Higher value")));
    for (const char *name : {"captionLowerValue1", "captionLowerValue2", "captionLowerValue3"})
        setCaption(mainWindow, name, translate(QStringLiteral("Lower value")));
    for (const char *name : {"captionConfiguraton1", "captionConfiguraton2", "captionConfiguraton3"})
        setCaption(mainWindow, name, translate(QStringLiteral("Configuration")));
    setCaption(mainWindow, "checkPressure", translate(QStringLiteral("Pressure")));
    setCaption(mainWindow, "checkHeightLiquidColumn", translate(QStringLiteral("Height of the liquid column")));
    setCaption(mainWindow, "captionNominalRange", translate(QStringLiteral("Nominal range")));
    setCaption(mainWindow, "captionSpecificGravity",
               translate(QStringLiteral("Specific gravity")) + QStringLiteral("[kg/m^3]"));
    setCaption(mainWindow, "buttonZeroCorrection", translate(QStringLiteral("Zero correction")));
    setCaption(mainWindow, "buttonreadConfiguration", translate(QStringLiteral("Read configuration")));
    setCaption(mainWindow, "buttonWriteConfiguration", translate(QStringLiteral("Write configuration")));

    // The item's position is the output's switching mode, so the selection
    // survives the rebuild; the boxes' handlers see no change.
    for (const char *name : {"comboBoxConfiguration1", "comboBoxConfiguration2", "comboBoxConfiguration3"}) {
        auto *box = mainWindow->findChild<QComboBox *>(QString::fromLatin1(name));
        QStringList items;
        for (const char *mode : {"Off", "Compression", "Extraction", "Correct value", "Error value"})
            items << translate(QString::fromLatin1(mode));
        if (!box)
            continue;
        const QSignalBlocker blocker(box);
        const int selected = box->currentIndex();
        box->clear();
        box->addItems(items);
        box->setCurrentIndex(selected);
    }

    if (auto *status = mainWindow->findChild<QLabel *>(QStringLiteral("StatusBar1")))
        status->setText(QString());
    if (auto *statusBar = mainWindow->findChild<QStatusBar *>())
        statusBar->clearMessage();
}

void translateAboutWindow(QWidget *aboutWindow, const QString &versionText)
{
    loadMessageTable();
    if (!aboutWindow)
        return;
    aboutWindow->setProperty("charset", int(currentCharset()));
    aboutWindow->setWindowTitle(translateWithEllipsis(QStringLiteral("About")));
    setCaption(aboutWindow, "caption1", translate(QStringLiteral("QZ5801 User Software")));
    setCaption(aboutWindow, "version", translate(QStringLiteral("Version")) + u' ' + versionText);
}
