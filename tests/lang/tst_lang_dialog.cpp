// The language selection dialog, driven through the runner hook.
#include "LangTestFiles.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace langtest;

namespace {

// A catalogue of n languages named "Language <i>", language i with
// character set 200 + i + 256 (only the low byte counts).
void loadLanguages(LanguageFolder &folder, int n)
{
    QByteArray ini = "[Main]\nTotal=" + QByteArray::number(n) + "\n[Names]\n";
    for (int i = 0; i < n; ++i)
        ini += QByteArray::number(i) + "=Language " + QByteArray::number(i) + "\n";
    ini += "[Charsets]\n";
    for (int i = 0; i < n; ++i)
        ini += QByteArray::number(i) + "=" + QByteArray::number(200 + i + 256) + "\n";
    folder.writeCatalogue(ini);
    loadLanguageCatalogueFrom(folder.path());
}

QRadioButton *radio(QDialog &dialog, int i)
{
    return dialog.findChild<QRadioButton *>(QStringLiteral("languageRadio%1").arg(i));
}

QLabel *label(QDialog &dialog, int i)
{
    return dialog.findChild<QLabel *>(QStringLiteral("languageLabel%1").arg(i));
}

QPushButton *button(QDialog &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QString::fromLatin1(name));
}

QList<int> checkedRadios(QDialog &dialog)
{
    QList<int> checked;
    const auto radios = dialog.findChildren<QRadioButton *>();
    for (int i = 0; i < radios.size(); ++i) {
        if (radio(dialog, i)->isChecked())
            checked << i;
    }
    return checked;
}

} // namespace

class TestLangDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetLanguageState(); }

    void layout_data()
    {
        QTest::addColumn<int>("languages");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("three") << 3;
        QTest::newRow("twenty-five") << 25;
    }

    void layout()
    {
        QFETCH(int, languages);
        LanguageFolder folder;
        loadLanguages(folder, languages);
        currentLanguage = 0;

        bool ran = false;
        setLanguageDialogRunner([&](QDialog &dialog) {
            ran = true;
            dialog.show();
            if (!QTest::qWaitForWindowExposed(&dialog))
                return int(QDialog::Rejected);
            [&] {
                QCOMPARE(dialog.windowTitle(), QStringLiteral("Language"));
                QCOMPARE(dialog.frameGeometry().size(), QSize(200, languages * 20 + 90));
                QCOMPARE(dialog.findChildren<QRadioButton *>().size(), languages);
                QCOMPARE(dialog.findChildren<QLabel *>().size(), languages);
                QVERIFY(!dialog.findChild<QScrollArea *>());
                for (int i = 0; i < languages; ++i) {
                    QCOMPARE(radio(dialog, i)->parentWidget(), &dialog);
                    QCOMPARE(radio(dialog, i)->pos(), QPoint(8, i * 20 + 8));
                    QCOMPARE(radio(dialog, i)->width(), 20);
                    QCOMPARE(radio(dialog, i)->text(), QString());
                    QCOMPARE(label(dialog, i)->text(), QStringLiteral("Language %1").arg(i));
                    QCOMPARE(label(dialog, i)->pos(), QPoint(28, i * 20 + 8));
                    QCOMPARE(label(dialog, i)->width(), 180);
                    const QFont font = label(dialog, i)->font();
                    QCOMPARE(font.family(), QStringLiteral("MS Sans Serif"));
                    QCOMPARE(font.pointSize(), 9);
                    QVERIFY(font.bold());
                    QCOMPARE(label(dialog, i)->property("charset").toInt(), (200 + i) & 0xFF);
                }
                QPushButton *ok = button(dialog, "buttonOk");
                QPushButton *cancel = button(dialog, "buttonCancel");
                QCOMPARE(ok->text(), QStringLiteral("Ok"));
                QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
                QCOMPARE(ok->geometry(), QRect(8, languages * 20 + 20, 75, 25));
                QCOMPARE(cancel->geometry(), QRect(91, languages * 20 + 20, 75, 25));
                for (QPushButton *b : {ok, cancel}) {
                    QVERIFY(!b->isDefault());
                    QVERIFY(!b->autoDefault());
                    QVERIFY(b->font().bold());
                }
                QCOMPARE(checkedRadios(dialog), languages > 0 ? QList<int>{0} : QList<int>{});
            }();
            return int(QDialog::Rejected);
        });
        QVERIFY(!selectLanguage(nullptr));
        QVERIFY(ran);
        QCOMPARE(currentLanguage, 0);
    }

    // Radio buttons without captions are named by their language, and the
    // one in force has the focus as the dialog opens.
    void radiosAreNamedAndTheCheckedOneHasTheFocus_data()
    {
        QTest::addColumn<int>("languages");
        QTest::addColumn<int>("current");
        QTest::newRow("first of three") << 3 << 0;
        QTest::newRow("last of three") << 3 << 2;
        QTest::newRow("far down a scrolling list") << 40 << 33;
        QTest::newRow("outside the catalogue") << 3 << 7;
    }
    void radiosAreNamedAndTheCheckedOneHasTheFocus()
    {
        QFETCH(int, languages);
        QFETCH(int, current);
        LanguageFolder folder;
        loadLanguages(folder, languages);
        currentLanguage = current;
        QStringList names;
        QString focused;
        bool visible = true;
        setLanguageDialogRunner([&](QDialog &dialog) {
            dialog.show();
            if (!QTest::qWaitForWindowActive(&dialog))
                return int(QDialog::Rejected);
            for (int i = 0; i < languages; ++i) {
                QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(radio(dialog, i));
                names << (iface ? iface->text(QAccessible::Name) : QString());
            }
            focused = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            if (current < languages) {
                auto *area = dialog.findChild<QScrollArea *>();
                const QWidget *r = radio(dialog, current);
                visible = !area
                          || area->viewport()->rect().contains(QRect(r->mapTo(area->viewport(), QPoint(0, 0)), r->size()));
            }
            return int(QDialog::Rejected);
        });
        QVERIFY(!selectLanguage(nullptr));
        QStringList expected;
        for (int i = 0; i < languages; ++i)
            expected << QStringLiteral("Language %1").arg(i);
        QCOMPARE(names, expected);
        if (current < languages) {
            QCOMPARE(focused, QStringLiteral("languageRadio%1").arg(current));
            QVERIFY(visible);
        }
    }

    void chooseAndConfirm()
    {
        LanguageFolder folder;
        loadLanguages(folder, 3);
        currentLanguage = 1;
        setLanguageDialogRunner([](QDialog &dialog) {
            if (checkedRadios(dialog) != QList<int>{1})
                return int(QDialog::Rejected);
            radio(dialog, 2)->click();
            radio(dialog, 0)->click();
            if (checkedRadios(dialog) != QList<int>{0})
                return int(QDialog::Rejected);
            button(dialog, "buttonOk")->click();
            return dialog.result();
        });
        QVERIFY(selectLanguage(nullptr));
        QCOMPARE(currentLanguage, 0);
    }

    void confirmSameLanguage()
    {
        LanguageFolder folder;
        loadLanguages(folder, 3);
        currentLanguage = 2;
        setLanguageDialogRunner([](QDialog &dialog) {
            button(dialog, "buttonOk")->click();
            return dialog.result();
        });
        QVERIFY(selectLanguage(nullptr));
        QCOMPARE(currentLanguage, 2);
    }

    void cancelChangesNothing()
    {
        LanguageFolder folder;
        loadLanguages(folder, 3);
        currentLanguage = 1;
        setLanguageDialogRunner([](QDialog &dialog) {
            radio(dialog, 2)->click();
            button(dialog, "buttonCancel")->click();
            return dialog.result();
        });
        QVERIFY(!selectLanguage(nullptr));
        QCOMPARE(currentLanguage, 1);
    }

    void labelsAndEscapeDoNothing()
    {
        LanguageFolder folder;
        loadLanguages(folder, 3);
        currentLanguage = 0;
        bool stillOpen = false;
        setLanguageDialogRunner([&](QDialog &dialog) {
            dialog.show();
            if (!QTest::qWaitForWindowExposed(&dialog))
                return int(QDialog::Rejected);
            QTest::mouseClick(label(dialog, 2), Qt::LeftButton);
            QTest::keyClick(&dialog, Qt::Key_Escape);
            stillOpen = dialog.isVisible();
            button(dialog, "buttonOk")->click();
            return dialog.result();
        });
        QVERIFY(selectLanguage(nullptr));
        QVERIFY(stillOpen);
        QCOMPARE(currentLanguage, 0);
    }

    // Enter presses the button that has the focus; on a language it does nothing.
    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("closedByEnter");
        QTest::newRow("Ok") << "buttonOk" << true << true;
        QTest::newRow("Cancel") << "buttonCancel" << false << true;
        QTest::newRow("a language") << "languageRadio2" << true << false;
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(QString, focused);
        QFETCH(bool, accepted);
        QFETCH(bool, closedByEnter);
        LanguageFolder folder;
        loadLanguages(folder, 3);
        currentLanguage = 0;
        bool closed = false;
        setLanguageDialogRunner([&](QDialog &dialog) {
            dialog.show();
            if (!QTest::qWaitForWindowExposed(&dialog))
                return int(QDialog::Rejected);
            auto *target = dialog.findChild<QWidget *>(focused);
            if (!target)
                return int(QDialog::Rejected);
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Return);
            closed = !dialog.isVisible();
            if (!closed)
                button(dialog, "buttonOk")->click();
            return dialog.result();
        });
        QCOMPARE(selectLanguage(nullptr), accepted);
        QCOMPARE(closed, closedByEnter);
    }

    void okWithoutChoiceKeepsALanguageOutsideTheCatalogue()
    {
        LanguageFolder folder;
        loadLanguages(folder, 3);
        currentLanguage = 7;
        bool noneChecked = false;
        setLanguageDialogRunner([&](QDialog &dialog) {
            noneChecked = checkedRadios(dialog).isEmpty();
            button(dialog, "buttonOk")->click();
            return dialog.result();
        });
        QVERIFY(selectLanguage(nullptr));
        QVERIFY(noneChecked);
        QCOMPARE(currentLanguage, 7);
    }

    void moreThanTwentyFiveLanguagesScroll()
    {
        const int n = 40;
        LanguageFolder folder;
        loadLanguages(folder, n);
        currentLanguage = 0;
        bool ran = false;
        setLanguageDialogRunner([&](QDialog &dialog) {
            dialog.show();
            if (!QTest::qWaitForWindowExposed(&dialog))
                return int(QDialog::Rejected);
            [&] {
                QCOMPARE(dialog.frameGeometry().size(), QSize(200, 25 * 20 + 90));
                QCOMPARE(button(dialog, "buttonOk")->geometry(), QRect(8, 25 * 20 + 20, 75, 25));
                QCOMPARE(button(dialog, "buttonCancel")->geometry(), QRect(91, 25 * 20 + 20, 75, 25));
                auto *area = dialog.findChild<QScrollArea *>();
                QVERIFY(area);
                QVERIFY(area->geometry().bottom() < 25 * 20 + 20);
                QCOMPARE(dialog.findChildren<QRadioButton *>().size(), n);
                for (int i = 0; i < n; ++i) {
                    QRadioButton *r = radio(dialog, i);
                    QCOMPARE(r->pos(), QPoint(8, i * 20 + 8));
                    area->ensureWidgetVisible(r, 0, 0);
                    const QRect inViewport(r->mapTo(area->viewport(), QPoint(0, 0)), r->size());
                    QVERIFY2(area->viewport()->rect().contains(inViewport), qPrintable(QString::number(i)));
                    QCOMPARE(label(dialog, i)->text(), QStringLiteral("Language %1").arg(i));
                }
                ran = true;
            }();
            QTest::mouseClick(radio(dialog, n - 1), Qt::LeftButton);
            button(dialog, "buttonOk")->click();
            return dialog.result();
        });
        QVERIFY(selectLanguage(nullptr));
        QVERIFY(ran);
        QCOMPARE(currentLanguage, n - 1);
    }

    void runsModallyWithoutAHook()
    {
        LanguageFolder folder;
        loadLanguages(folder, 3);
        currentLanguage = 1;
        QWidget owner;
        bool sawModal = false;
        QTimer poke;
        int tries = 0;
        poke.setInterval(10);
        QObject::connect(&poke, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog) {
                if (++tries > 500)
                    QCoreApplication::exit(1);  // leaves the dialog's loop too
                return;
            }
            poke.stop();
            sawModal = dialog->parentWidget() == &owner && dialog->isVisible();
            radio(*dialog, 2)->click();
            button(*dialog, "buttonOk")->click();
        });
        poke.start();
        QVERIFY(selectLanguage(&owner));
        QVERIFY(sawModal);
        QCOMPARE(currentLanguage, 2);
        QVERIFY(owner.findChildren<QDialog *>().isEmpty());
    }
};

QTEST_MAIN(TestLangDialog)
#include "tst_lang_dialog.moc"
