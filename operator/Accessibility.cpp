#include "Accessibility.h"

#include "Lang.h"
#include "Main.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include <algorithm>

namespace {

// Looked up at a change of language.
struct Texts {
    QString lampOn = QStringLiteral("Output %i: on");
    QString lampOff = QStringLiteral("Output %i: off");
    QString actualValue = QStringLiteral("Actual value: ");
    QString connection = QStringLiteral("Connection: ");
    QString pollInProgress = QStringLiteral("Poll in progress");
};

Texts &texts()
{
    static Texts t;
    return t;
}

void lookUpTexts()
{
    Texts &t = texts();
    t.lampOn = translate(QStringLiteral("Output %i: on"));
    t.lampOff = translate(QStringLiteral("Output %i: off"));
    t.actualValue = translateWithColon(QStringLiteral("Actual value"));
    t.connection = translateWithColon(QStringLiteral("Connection"));
    t.pollInProgress = translate(QStringLiteral("Poll in progress"));
}

std::function<void(QObject *, const QString &)> &nameObserver()
{
    static std::function<void(QObject *, const QString &)> observer;
    return observer;
}

// Sets a name only when it changes: every set is announced.
void setName(QWidget *widget, const QString &name)
{
    if (widget->accessibleName() == name)
        return;
    widget->setAccessibleName(name);
    if (nameObserver())
        nameObserver()(widget, name);
}

// A drop-down list's selection is read as its value and as its text (the
// reader's Text interface, what Qt's editable boxes offer through their line
// edit). Its list of items is made only when a reader asks for it: the
// window's mode boxes make theirs when first opened (ModeBox.h).
class NamedComboBox : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit NamedComboBox(QComboBox *box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QComboBox *box() const { return static_cast<QComboBox *>(object()); }
    QAbstractItemView *madeView() const { return box()->findChild<QAbstractItemView *>(); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        if (t == QAccessible::Name) {
            const QString name = box()->accessibleName();
            return name.isEmpty() ? box()->currentText() : name;
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        const QAbstractItemView *view = madeView();
        s.expanded = view && view->isVisible();
        return s;
    }
    // The list of items, as Qt's own offers it.
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const QAbstractItemView *view = madeView();
        return child && view && child->object() == view ? 0 : -1;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            box()->showPopup();
    }

    // The selected item's text, read only.
    QString text(int startOffset, int endOffset) const override
    {
        const QString all = box()->currentText();
        if (endOffset < 0 || endOffset > all.size())
            endOffset = int(all.size());
        startOffset = std::clamp(startOffset, 0, endOffset);
        return all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(box()->currentText().size()); }
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        Q_UNUSED(offset);
        return {};
    }
};

class PollMark : public QAccessibleWidget {
public:
    explicit PollMark(QLabel *mark) : QAccessibleWidget(mark, QAccessible::StaticText) {}

    bool polling() const
    {
        const auto *window = qobject_cast<const TMainF *>(widget()->window());
        return window && window->polling;
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return polling() ? texts().pollInProgress : QString();
        return {};
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = s.invisible || !polling();
        return s;
    }
};

QAccessibleInterface *operatorInterfaces(const QString &, QObject *object)
{
    if (auto *box = qobject_cast<QComboBox *>(object); box && !box->isEditable())
        return new NamedComboBox(box);
    // The trend is a window of its own to a reader, as the main window is.
    if (object && object->isWidgetType() && object->objectName() == QLatin1String("trendWindow"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    // The window's poll mark, found by its design name.
    if (auto *label = qobject_cast<QLabel *>(object); label && label->objectName() == QLatin1String("Hvezdicka"))
        return new PollMark(label);
    return nullptr;
}

} // namespace

QString lampStateText(int output, bool on)
{
    // A text of one form takes its number as translateFormat gives it.
    return pluralForm(on ? texts().lampOn : texts().lampOff, output);
}

void nameMainWindowControls(TMainF &w)
{
    lookUpTexts();
    const std::array<QLineEdit *, 3> lower{w.V1_P1, w.V2_P1, w.V3_P1};
    const std::array<QLineEdit *, 3> higher{w.V1_P2, w.V2_P2, w.V3_P2};
    const std::array<QComboBox *, 3> modes{w.comboBoxConfiguration1, w.comboBoxConfiguration2,
                                           w.comboBoxConfiguration3};
    for (int i = 0; i < 3; ++i) {
        const auto o = static_cast<std::size_t>(i);
        setName(lower[o], translateFormat(QStringLiteral("Output %i lower value"), i + 1));
        setName(higher[o], translateFormat(QStringLiteral("Output %i higher value"), i + 1));
        setName(modes[o], translateFormat(QStringLiteral("Output %i configuration"), i + 1));
    }
    setName(w.Rozsah, translate(QStringLiteral("Nominal range")));
    setName(w.Ro, translate(QStringLiteral("Specific gravity")) + QStringLiteral(" [kg/m^3]"));
    w.StatusBar1->setAccessibleDescription(translate(QStringLiteral("Status")));
    for (int output = 1; output <= 3; ++output)
        nameLamp(w, output);
    nameLiveValue(w);
}

void nameLamp(TMainF &w, int output)
{
    const std::array<QProgressBar *, 3> lamps{w.AHMLed1, w.AHMLed2, w.AHMLed3};
    QProgressBar *lamp = lamps[static_cast<std::size_t>(output - 1)];
    setName(lamp, lampStateText(output, lamp->value() > lamp->minimum()));
}

void nameLiveValue(TMainF &w)
{
    setName(w.Aktualni, texts().actualValue + w.Aktualni->text());
}

void setAccessibleNameObserver(std::function<void(QObject *, const QString &)> observer)
{
    nameObserver() = std::move(observer);
}

QString connectionAccessibleName(const QString &stateText)
{
    return texts().connection + stateText;
}

void installAccessibleInterfaces(TMainF &w)
{
    // Factories are asked newest first, and Qt Widgets installs its own with
    // the application object: ours goes in again at the front.
    // A name of its own keeps the mark's text changes, twice a poll, from
    // being announced; what a reader hears is the interface's.
    w.Hvezdicka->setAccessibleName(QStringLiteral("*"));
    QAccessible::removeFactory(operatorInterfaces);
    QAccessible::installFactory(operatorInterfaces);
    // Qt keeps the first interface made for an object (events during the
    // window's making make some): such ones are dropped, ours come instead.
    for (QObject *object : std::initializer_list<QObject *>{w.comboBoxConfiguration1, w.comboBoxConfiguration2,
                                                            w.comboBoxConfiguration3, w.Hvezdicka}) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
        if (iface && !dynamic_cast<NamedComboBox *>(iface) && !dynamic_cast<PollMark *>(iface))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    }
}
