#include "Dialogs.h"

#include "Lang.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

DialogHooks &hooks()
{
    static DialogHooks installed;
    return installed;
}

MessageAnswer realMessageBox(QWidget *parent, const MessageRequest &request)
{
    QMessageBox box(parent);
    box.setIcon(request.icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon);
    box.setWindowTitle(request.title);
    box.setTextFormat(Qt::PlainText);
    // A lone carriage return breaks the line as it does in the system's own boxes.
    QString text = request.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    box.setText(text);
    if (request.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // Translated captions keep a mnemonic, so the answer stays one key away.
        box.button(QMessageBox::Yes)->setText(QLatin1Char('&') + translate(QStringLiteral("Yes")));
        box.button(QMessageBox::No)->setText(QLatin1Char('&') + translate(QStringLiteral("No")));
        // The one question asks before changing the transmitter: Enter must not agree.
        box.setDefaultButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int result = box.exec();
    if (request.buttons == MessageButtons::YesNo)
        return result == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    return MessageAnswer::Ok;
}

QString realFileDialog(QWidget *parent, const FileDialogRequest &request, bool save)
{
    QFileDialog dialog(parent, request.title);
    // Qt's own dialog everywhere, so the options below hold on every platform.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace

DialogHooks setDialogHooks(DialogHooks replacement)
{
    DialogHooks previous = std::move(hooks());
    hooks() = std::move(replacement);
    return previous;
}

MessageAnswer showMessage(QWidget *parent, const QString &text, const QString &title, MessageButtons buttons)
{
    const MessageRequest request{text, title, buttons, MessageIcon::None};
    if (hooks().message)
        return hooks().message(parent, request);
    return realMessageBox(parent, request);
}

void showErrorBox(QWidget *parent, const QString &text)
{
    const MessageRequest request{text, QCoreApplication::applicationName(), MessageButtons::Ok,
                                 MessageIcon::Critical};
    if (hooks().message)
        hooks().message(parent, request);
    else
        realMessageBox(parent, request);
}

QString chooseOpenFile(QWidget *parent, const FileDialogRequest &request)
{
    if (hooks().openFile)
        return hooks().openFile(parent, request);
    return realFileDialog(parent, request, false);
}

QString chooseSaveFile(QWidget *parent, const FileDialogRequest &request)
{
    if (hooks().saveFile)
        return hooks().saveFile(parent, request);
    return realFileDialog(parent, request, true);
}

int execModal(QDialog &dialog)
{
    if (hooks().execDialog)
        return hooks().execDialog(dialog);
    return dialog.exec();
}
