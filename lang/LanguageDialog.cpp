// The language dialog, built in code from the catalogue.
#include "Lang.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QVariant>

#include <vector>

namespace {

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
// Enter presses the button that has the focus, as Space does; the dialog
// keeps no default button, so Enter on a language does nothing.
class EnterPresses : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                static_cast<QPushButton *>(watched)->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

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

} // namespace

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
        // No caption of its own: a screen reader says the language's name.
        radio->setAccessibleName(languageNames[i]);
        group->addButton(radio, i);
        radio->setChecked(i == currentLanguage);
        radios.push_back(radio);
    }
    // The language in force has the focus, so arrows move on from it.
    if (currentLanguage >= 0 && currentLanguage < n) {
        QRadioButton *checked = radios[size_t(currentLanguage)];
        checked->setFocus();
        if (auto *area = dialog.findChild<QScrollArea *>())
            area->ensureWidgetVisible(checked);
    }

    auto *ok = new QPushButton(QStringLiteral("Ok"), &dialog);
    ok->setObjectName(QStringLiteral("buttonOk"));
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setObjectName(QStringLiteral("buttonCancel"));
    ok->setGeometry(8, buttonTop, 75, 25);
    cancel->setGeometry(ok->width() + 16, buttonTop, 75, 25);
    auto *enterPresses = new EnterPresses(&dialog);
    for (QPushButton *button : {ok, cancel}) {
        button->installEventFilter(enterPresses);
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
