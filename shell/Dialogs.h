// Every modal box and file dialog of the tool goes through these functions.
// A test replaces the hooks to answer them without a modal loop, and may run
// anything (a timer tick, say) while a box is "open".
#pragma once

#include <QString>

#include <functional>

class QDialog;
class QWidget;

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Critical };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
};

// A file dialog as the form describes it. The filter uses Qt's form,
// e.g. "Soubory konfigurace (*.cfg);;Všechny soubory (*)".
struct FileDialogRequest {
    QString title;
    QString filter;
    QString defaultSuffix; // without the dot, e.g. "cfg"
};

struct DialogHooks {
    std::function<MessageAnswer(QWidget *parent, const MessageRequest &)> message;
    std::function<QString(QWidget *parent, const FileDialogRequest &)> openFile;
    std::function<QString(QWidget *parent, const FileDialogRequest &)> saveFile;
    std::function<int(QDialog &)> execDialog;
};

// Installs hooks; an empty member falls back to the real dialog.
// Returns the hooks that were installed before.
DialogHooks setDialogHooks(DialogHooks hooks);

// A box with the text, the title and OK or Yes/No; no icon.
MessageAnswer showMessage(QWidget *parent, const QString &text, const QString &title,
                          MessageButtons buttons = MessageButtons::Ok);

// The standard error box for an error that escaped a handler: critical icon,
// the application's name as the title, the error's own text.
void showErrorBox(QWidget *parent, const QString &text);

// The chosen path, or an empty text when the operator cancelled. The save
// dialog replaces an existing file without asking; the open dialog accepts
// the name of a file that does not exist.
QString chooseOpenFile(QWidget *parent, const FileDialogRequest &request);
QString chooseSaveFile(QWidget *parent, const FileDialogRequest &request);

// Shows a dialog modally and returns its result code.
int execModal(QDialog &dialog);
