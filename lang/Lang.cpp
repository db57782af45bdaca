#include "Lang.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVariant>

#include <SimpleIni.h>

#include <cstdio>
#include <cstdint>
#include <vector>

QString languageFolder;
int languageCount = 0;
std::array<QString, kLanguageTableSize> languageNames;
std::array<int, kLanguageTableSize> languageCharsets{};
std::array<QString, kLanguageTableSize> languageFiles;
std::array<QString, kLanguageTableSize> languageShorts;
int currentLanguage = 0;

std::array<QString, kMessageTableSize> messageKeys;
std::array<QString, kMessageTableSize> messageTexts;
int messageCount = 0;

namespace {

constexpr unsigned char kDefaultCharset = 1;

// The chosen language is a row of the catalogue. Outside it nothing is
// loaded or logged and the English texts are shown.
bool currentLanguageInCatalogue()
{
    return currentLanguage >= 0 && currentLanguage < languageCount;
}

// ---------------------------------------------------------------- catalogue

// Integer values as the Windows profile reader takes them: optional sign and
// decimal digits; absent or without digits gives the default.
int profileInt(const CSimpleIniA &ini, const char *section, const char *key, int fallback)
{
    const char *value = ini.GetValue(section, key, nullptr);
    if (!value)
        return fallback;
    while (*value == ' ' || *value == '\t')
        ++value;
    bool negative = false;
    if (*value == '-' || *value == '+') {
        negative = *value == '-';
        ++value;
    }
    if (*value < '0' || *value > '9')
        return fallback;
    std::uint32_t result = 0;
    for (; *value >= '0' && *value <= '9'; ++value)
        result = result * 10u + std::uint32_t(*value - '0');
    if (negative)
        result = 0u - result;
    return static_cast<std::int32_t>(result);
}

QString profileText(const CSimpleIniA &ini, const char *section, const char *key, const char *fallback)
{
    return QString::fromUtf8(ini.GetValue(section, key, fallback));
}

// A message file lies in the language folder itself: its name has no folder
// part, so that its log can be written and deleted there and nowhere else.
bool isLanguageFileName(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || c == u':' || c.unicode() == 0)
            return false;
    return true;
}

// ------------------------------------------------------------ message files

// A UTF-16 little-endian file read one code unit at a time; a lone last byte
// is not a unit.
class UnitReader
{
public:
    explicit UnitReader(const QByteArray &data) : data_(data) {}
    bool atEnd() const { return pos_ + 1 >= data_.size(); }
    bool next(char16_t &unit)
    {
        if (atEnd())
            return false;
        unit = char16_t(uchar(data_[pos_]) | (uchar(data_[pos_ + 1]) << 8));
        pos_ += 2;
        return true;
    }

private:
    const QByteArray &data_;
    qsizetype pos_ = 0;
};

bool readWholeFile(const QString &path, QByteArray &data)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return true;
}

QString lowerUnits(QString text)
{
    for (QChar &unit : text)
        unit = unit.toLower();
    return text;
}

// Reads up to the ";" that ends a key. A line without ";" (a blank line, say)
// is not an entry and is skipped, so that it cannot swallow the next key.
bool readKey(UnitReader &reader, QString &key)
{
    key.clear();
    char16_t unit;
    while (reader.next(unit)) {
        if (unit == u';')
            return true;
        if (unit == u'\n')
            key.clear();
        else
            key.append(QChar(unit));
    }
    return false;
}

QString readText(UnitReader &reader)
{
    QString text;
    char16_t unit;
    if (!reader.next(unit) || unit == u'\n')
        return text;
    if (unit != u' ' && unit != u'\t' && unit != u'\r')
        text.append(QChar(unit));
    while (reader.next(unit) && unit != u'\n') {
        if (unit != u'\t' && unit != u'\r')
            text.append(QChar(unit));
    }
    return text;
}

QString trimControlUnits(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

QString logPath()
{
    return languageFiles[currentLanguage] + QStringLiteral(".todo");
}

void appendUnits(QByteArray &out, QStringView text)
{
    for (QChar unit : text) {
        out.append(char(unit.unicode() & 0xFF));
        out.append(char(unit.unicode() >> 8));
    }
}

void logMissingKey(const QString &key)
{
    if (languageFiles[currentLanguage].isEmpty())
        return;  // a language without a message file has no log either
    const QString path = logPath();
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray line;
    if (!existed)
        appendUnits(line, QStringView(u"\uFEFF"));
    appendUnits(line, key);
    appendUnits(line, u";\t\n");
    file.write(line);
}

// ------------------------------------------------------------- formatting

bool isIntegerConversion(QChar c)
{
    return c == u'd' || c == u'i' || c == u'u' || c == u'x' || c == u'X' || c == u'o';
}

// Reads digits for a width or precision; at most two, so that a translated
// text cannot ask for a huge field.
bool readFieldDigits(const QString &format, qsizetype &pos, std::string &pattern)
{
    int digits = 0;
    while (pos < format.size() && format.at(pos).isDigit() && format.at(pos).unicode() < 0x80) {
        if (++digits > 2)
            return false;
        pattern += char(format.at(pos).unicode());
        ++pos;
    }
    return true;
}

// printf with one integer, without trusting the translated format: only an
// integer conversion takes the number, once.
QString formatWithNumber(const QString &format, int number)
{
    QString out;
    bool numberUsed = false;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c != u'%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format.at(i + 1) == u'%') {
            out += u'%';
            i += 2;
            continue;
        }
        std::string pattern = "%";
        qsizetype pos = i + 1;
        while (pos < format.size() && QStringView(u"-+ 0#").contains(format.at(pos)))
            pattern += char(format.at(pos++).unicode());
        bool valid = readFieldDigits(format, pos, pattern);
        if (valid && pos < format.size() && format.at(pos) == u'.') {
            pattern += '.';
            ++pos;
            valid = readFieldDigits(format, pos, pattern);
        }
        while (valid && pos < format.size() && (format.at(pos) == u'h' || format.at(pos) == u'l'))
            ++pos;  // the argument is an int whatever the text says
        if (valid && !numberUsed && pos < format.size() && isIntegerConversion(format.at(pos))) {
            const char conversion = char(format.at(pos).unicode());
            pattern += conversion;
            char buffer[256];
            if (conversion == 'd' || conversion == 'i')
                std::snprintf(buffer, sizeof buffer, pattern.c_str(), number);
            else
                std::snprintf(buffer, sizeof buffer, pattern.c_str(), static_cast<unsigned>(number));
            out += QString::fromLatin1(buffer);
            numberUsed = true;
            i = pos + 1;
            continue;
        }
        out += u'%';
        ++i;
    }
    return out;
}

// ---------------------------------------------------------- language dialog

LanguageDialogRunner &dialogRunner()
{
    static LanguageDialogRunner runner;
    return runner;
}

QFont dialogFont()
{
    return QFont(QStringLiteral("MS Sans Serif"), 9, QFont::Bold);
}

// Keeps the outer size (frame included) at the given size once the window
// system tells the frame, and ignores Escape: the dialog has no cancel button.
class LanguageDialog : public QDialog
{
public:
    LanguageDialog(QWidget *owner, QSize outerSize, int minimumClientHeight)
        : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                             | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
          outerSize_(outerSize), minimumClientHeight_(minimumClientHeight)
    {
        setFixedSize(outerSize);
    }

protected:
    bool event(QEvent *e) override
    {
        const bool handled = QDialog::event(e);
        if (e->type() == QEvent::Show || e->type() == QEvent::Move)
            fitFrame();
        return handled;
    }

    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape) {
            e->accept();
            return;
        }
        QDialog::keyPressEvent(e);
    }

private:
    void fitFrame()
    {
        const QSize frame = frameGeometry().size() - geometry().size();
        QSize client = outerSize_ - frame;
        client.setHeight(qMax(client.height(), minimumClientHeight_));
        if (client != size())
            setFixedSize(client);
    }

    QSize outerSize_;
    int minimumClientHeight_;
};

// ------------------------------------------------------- window translation

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

// ------------------------------------------------------------------ catalogue

QString programFolderPathFor(const QString &executablePath, const QString &subfolder, QChar separator)
{
    QString folder = executablePath.left(executablePath.lastIndexOf(separator) + 1);
    const QString dotFolder = QString(separator) + u'.' + separator;
    if (folder.endsWith(dotFolder))
        folder.remove(folder.size() - 3, 2);
    if (!folder.endsWith(separator))
        folder += separator;
    const qsizetype dot = folder.indexOf(dotFolder);
    if (dot >= 0)
        folder.remove(dot, 2);
    // Whole folder names only: "Win32/Debugger" is not a build folder.
    for (const char *build : {"Debug", "Release"}) {
        const QString buildFolder = QString(separator) + QStringLiteral("Win32") + separator
                                    + QString::fromLatin1(build) + separator;
        const qsizetype at = folder.indexOf(buildFolder, 0, Qt::CaseSensitive);
        if (at >= 0)
            folder.remove(at, buildFolder.size() - 1);
    }
    return folder + subfolder;
}

QString programFolderPath(const QString &subfolder)
{
    return programFolderPathFor(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()),
                                subfolder, QDir::separator());
}

void loadLanguageCatalogue()
{
    loadLanguageCatalogueFrom(programFolderPath(QStringLiteral("language") + QDir::separator()));
}

void loadLanguageCatalogueFrom(const QString &folder)
{
    languageFolder = folder;
    if (!languageFolder.endsWith(QDir::separator()) && !languageFolder.endsWith(u'/'))
        languageFolder += QDir::separator();

    CSimpleIniA ini(true, true, false);  // UTF-8, first of repeated keys wins, one line per value
    ini.SetQuotes(true);
    QByteArray data;
    if (readWholeFile(languageFolder + QStringLiteral("messages.ini"), data) && !data.isEmpty())
        ini.LoadData(data.constData(), size_t(data.size()));

    // The columns have room for kLanguageTableSize rows; a larger (or negative)
    // count would run past them.
    languageCount = qBound(0, profileInt(ini, "Main", "Total", 5), kLanguageTableSize);
    for (int i = 0; i < kLanguageTableSize; ++i) {
        if (i >= languageCount) {
            languageNames[i].clear();
            languageCharsets[i] = 0;
            languageFiles[i].clear();
            languageShorts[i].clear();
            continue;
        }
        const QByteArray key = QByteArray::number(i);
        languageNames[i] = profileText(ini, "Names", key.constData(), "---");
        languageCharsets[i] = profileInt(ini, "Charsets", key.constData(), 1);
        const QString file = profileText(ini, "Files", key.constData(), "messages_uk.txt");
        languageFiles[i] = isLanguageFileName(file) ? languageFolder + file : QString();
        languageShorts[i] = profileText(ini, "Shorts", key.constData(), "UK");
    }
}

unsigned char currentCharset()
{
    if (!currentLanguageInCatalogue())
        return kDefaultCharset;
    return static_cast<unsigned char>(languageCharsets[currentLanguage] & 0xFF);
}

// ------------------------------------------------------------------- lookup

QString translate(const QString &key)
{
    if (currentLanguage == 0 || !currentLanguageInCatalogue())
        return key;
    const QString lowered = lowerUnits(key);
    for (int i = 0; i < messageCount; ++i) {
        // An empty text is no translation: without a catalogue every language
        // reads the master file, whose texts are all empty.
        if (messageKeys[i] == lowered)
            return messageTexts[i].isEmpty() ? key : messageTexts[i];
    }
    logMissingKey(key);
    return key;
}

QString translateWithColon(const QString &key)
{
    return translate(key) + QStringLiteral(": ");
}

QString translateWithEllipsis(const QString &key)
{
    return translate(key) + QStringLiteral("...");
}

QString translateFormat(const QString &format, int number)
{
    return formatWithNumber(translate(format), number);
}

bool loadMessageTable()
{
    if (!currentLanguageInCatalogue())
        return false;

    QByteArray data;
    if (!readWholeFile(languageFiles[currentLanguage], data))
        return false;
    UnitReader reader(data);
    char16_t unit;
    reader.next(unit);  // byte-order mark
    int count = 0;
    QString key;
    while (count < kMessageTableSize && !reader.atEnd()) {
        if (!readKey(reader, key))
            break;
        messageKeys[count] = lowerUnits(key);
        messageTexts[count] = readText(reader);
        ++count;
    }
    messageCount = count;
    for (int i = count; i < kMessageTableSize; ++i) {
        messageKeys[i].clear();
        messageTexts[i].clear();
    }

    QFile::remove(logPath());

    QByteArray master;
    if (!readWholeFile(languageFolder + QStringLiteral("messages_uk.txt"), master))
        return false;
    UnitReader masterReader(master);
    masterReader.next(unit);  // byte-order mark
    while (!masterReader.atEnd()) {
        if (!readKey(masterReader, key))
            break;
        // Key, ";", tab, CR, LF: three units follow the ";".
        for (int skipped = 0; skipped < 3 && masterReader.next(unit) && unit != u'\n'; ++skipped) {
        }
        const QString trimmed = trimControlUnits(key);
        if (!trimmed.isEmpty())
            translate(trimmed);
    }
    return true;
}

// ------------------------------------------------------------------- dialog

void setLanguageDialogRunner(LanguageDialogRunner runner)
{
    dialogRunner() = std::move(runner);
}

bool selectLanguage(QWidget *owner)
{
    const int n = languageCount;
    const bool scrolls = n > kLanguageDialogRows;
    const int rows = scrolls ? kLanguageDialogRows : n;
    const int buttonTop = rows * 20 + 20;

    LanguageDialog dialog(owner, QSize(200, rows * 20 + 90), buttonTop + 25 + 4);
    dialog.setWindowTitle(QStringLiteral("Language"));
    dialog.setObjectName(QStringLiteral("languageDialog"));
    dialog.setProperty("charset", int(currentCharset()));

    QWidget *rowsParent = &dialog;
    if (scrolls) {
        auto *area = new QScrollArea(&dialog);
        area->setObjectName(QStringLiteral("languageScrollArea"));
        area->setFrameShape(QFrame::NoFrame);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        area->setGeometry(0, 0, 200, rows * 20 + 12);
        auto *content = new QWidget;
        content->resize(208, n * 20 + 12);
        area->setWidget(content);
        rowsParent = content;
    }

    auto *group = new QButtonGroup(&dialog);
    group->setExclusive(true);
    std::vector<QRadioButton *> radios;
    radios.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        auto *label = new QLabel(languageNames[i], rowsParent);
        label->setObjectName(QStringLiteral("languageLabel%1").arg(i));
        label->setGeometry(28, i * 20 + 8, 180, 20);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setFont(dialogFont());
        label->setProperty("charset", languageCharsets[i] & 0xFF);

        auto *radio = new QRadioButton(rowsParent);
        radio->setObjectName(QStringLiteral("languageRadio%1").arg(i));
        radio->setGeometry(8, i * 20 + 8, 20, 17);
        group->addButton(radio, i);
        radio->setChecked(i == currentLanguage);
        radios.push_back(radio);
    }

    auto *ok = new QPushButton(QStringLiteral("Ok"), &dialog);
    ok->setObjectName(QStringLiteral("buttonOk"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setObjectName(QStringLiteral("buttonCancel"));
    ok->setGeometry(8, buttonTop, 75, 25);
    cancel->setGeometry(ok->width() + 16, buttonTop, 75, 25);
    for (QPushButton *button : {ok, cancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFont(dialogFont());
        button->setProperty("charset", int(currentCharset()));
    }
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);

    if (QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
        const QPoint centre = screen->availableGeometry().center();
        dialog.move(centre.x() - 100, centre.y() - (rows * 20 + 90) / 2);
    }

    const LanguageDialogRunner &runner = dialogRunner();
    const int result = runner ? runner(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;
    for (int i = 0; i < n; ++i) {
        if (radios[size_t(i)]->isChecked())
            currentLanguage = i;
    }
    return true;
}

// -------------------------------------------------------- window translation

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
