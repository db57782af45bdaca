// Localisation: the language catalogue, the message table with its lookup and
// missing-text log, the language dialog and the translation of the windows.
// Module-level state with one instance per program, used on the GUI thread only.
#pragma once

#include <QChar>
#include <QDir>
#include <QString>

#include <array>
#include <functional>

class QDialog;
class QWidget;

inline constexpr int kLanguageTableSize = 100;
inline constexpr int kMessageTableSize = 999;
// Rows the language dialog shows before it scrolls.
inline constexpr int kLanguageDialogRows = 25;

// ---- Catalogue ("messages.ini" in the language folder) ----
extern QString languageFolder;  // ends with the native separator
extern int languageCount;       // 0 .. kLanguageTableSize
extern std::array<QString, kLanguageTableSize> languageNames;
extern std::array<int, kLanguageTableSize> languageCharsets;  // low byte: font character set
// Full paths; empty where the catalogue names a file outside the language
// folder (a ".." part, an absolute path, a drive) or a name with NUL: that
// language has no message file and no log. A sub-folder part is kept.
extern std::array<QString, kLanguageTableSize> languageFiles;
extern std::array<QString, kLanguageTableSize> languageShorts;
// 0 is English, the key language. Set from the user settings and by the
// language dialog; a value outside the catalogue is kept but shows English.
extern int currentLanguage;

// ---- Message table of the chosen language ----
extern std::array<QString, kMessageTableSize> messageKeys;  // lower-cased
extern std::array<QString, kMessageTableSize> messageTexts;
extern int messageCount;

// Folder of the running executable, cleaned of build sub-folders, followed
// by subfolder. Uses the native separator.
QString programFolderPath(const QString &subfolder);
// The same rules for any executable path; separator is the one the path uses.
QString programFolderPathFor(const QString &executablePath, const QString &subfolder,
                             QChar separator = QDir::separator());

// Reads "messages.ini" of the language folder beside the executable.
void loadLanguageCatalogue();
// Reads "messages.ini" of the given folder, which becomes languageFolder.
void loadLanguageCatalogueFrom(const QString &folder);

// Low byte of the chosen language's character-set code (1, the default
// character set, when the chosen language is not in the catalogue).
unsigned char currentCharset();

// The chosen language's text for the English key; the key itself for
// English and for a key the table lacks (which is logged). An empty text is
// shown empty, unless the message file has no text at all: then its keys are
// shown, as English.
QString translate(const QString &key);
QString translateWithColon(const QString &key);
QString translateWithEllipsis(const QString &key);
// The translated format gets the number in its first integer conversion
// (%d, %i, %u, %x, %X, %o with flags, width and precision); "%%" gives "%",
// anything else is left as written.
QString translateFormat(const QString &format, int number);
// Texts that change with a count. The key holds the English forms, singular
// first, separated by "|" ("%i line|%i lines"); a translation holds as many
// forms as its language counts, in the order of its rule (Czech: 1, 2 to 4,
// other; German: 1, other). The chosen language's short name picks the rule,
// the number picks the form and fills its placeholder as translateFormat does.
// Too few forms: the last one stands in for the missing ones.
QString translatePlural(const QString &forms, int number);
// The same over forms already looked up, for texts kept across many uses.
QString pluralForm(const QString &translatedForms, int number);

// Loads the chosen language's message file and rebuilds its ".todo" log from
// the master file. True when both files were read.
bool loadMessageTable();

// ---- Language dialog ----
// Runs the built dialog and returns its result code; the default runs
// QDialog::exec(). Tests put their own in to drive the dialog.
using LanguageDialogRunner = std::function<int(QDialog &)>;
void setLanguageDialogRunner(LanguageDialogRunner runner);  // empty: back to exec()

// Shows the language dialog; true when it was closed with "Ok".
bool selectLanguage(QWidget *owner);

// ---- Window translation ----
// Reloads the message table and sets the main window's captions, mode lists
// and status text; children are found by object name, missing ones skipped.
void translateMainWindow(QWidget *mainWindow);
// Reloads the message table and sets the About window's title and labels.
void translateAboutWindow(QWidget *aboutWindow, const QString &versionText);
