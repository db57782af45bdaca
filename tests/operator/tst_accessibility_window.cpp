// What a screen reader is told by the window and the trend: the events Qt
// hands to the platform's bridge (caught by an update handler, as the bridge
// would get them) and the texts of the accessible interfaces it reads; and the
// keys a keyboard operator uses. On the real window over the simulated transmitter.
#include "ShellTestSupport.h"

#include "Accessibility.h"
#include "Lang.h"
#include "Main.h"
#include "NumberText.h"
#include "OperatorTools.h"
#include "TrendWindow.h"
#include "qzsim.h"
#include "SimulatorSupport.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtCharts/QChartView>

using namespace shelltest;
using namespace simtest;

namespace {

struct Heard {
    QObject *object;
    QAccessible::Event type;
    QString text; // the name, description or value the event is about, as the interface tells it now
};

std::vector<Heard> &heard()
{
    static std::vector<Heard> events;
    return events;
}

void hear(QAccessibleEvent *event)
{
    QAccessibleInterface *iface = event->accessibleInterface();
    QString text;
    if (iface) {
        switch (event->type()) {
        case QAccessible::DescriptionChanged:
            text = iface->text(QAccessible::Description);
            break;
        case QAccessible::ValueChanged:
            text = iface->text(QAccessible::Value);
            break;
        default:
            text = iface->text(QAccessible::Name);
        }
    }
    heard().push_back({event->object(), event->type(), text});
}

QString describe(const Heard &h)
{
    const QString name = h.object ? h.object->objectName() : QStringLiteral("?");
    return QStringLiteral("%1 0x%2 \"%3\"").arg(name).arg(int(h.type), 0, 16).arg(h.text);
}

} // namespace

class AccessibilityWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;
    QDateTime now;
    QTemporaryDir languageCopy;
    RecordedBoxes boxes;

    TMainF &connectedWindow()
    {
        window.reset();
        home = std::make_unique<ConfigHome>();
        window = stillWindow();
        window->operatorTools->clock = [this] { return now; };
        window->isPressure = true;
        window->CCmPoStartu();
        qzsim_clear_logs();
        return *window;
    }
    void tick(TMainF &w)
    {
        now = now.addMSecs(1000);
        w.Timer1Timer();
    }
    TTrendWindow &openTrend(TMainF &w)
    {
        w.operatorTools->showTrend();
        return *static_cast<TTrendWindow *>(w.operatorTools->trendWindow);
    }
    void useLanguage(int index)
    {
        loadLanguageCatalogueFrom(languageCopy.path() + QDir::separator());
        currentLanguage = index;
        loadMessageTable();
    }
    static QStringList heardTexts()
    {
        QStringList list;
        for (const Heard &h : heard())
            list << describe(h);
        return list;
    }

private slots:
    void initTestCase()
    {
        const QDir shipped(QStringLiteral(QZ_LANGUAGE_DIR));
        for (const QString &name : shipped.entryList(QDir::Files))
            QVERIFY(QFile::copy(shipped.filePath(name), languageCopy.filePath(name)));
        // The bridge to the accessibility bus turns Qt's accessibility on;
        // the handler then takes every event in its place.
        QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 20000);
        QAccessible::installUpdateHandler(hear);
    }
    void init()
    {
        delete theLink;
        theLink = nullptr;
        qzsim_reset();
        qzsim_set_value(50000);
        setDecimalSeparatorForTesting(u'.');
        now = QDateTime(QDate(2026, 12, 10), QTime(9, 0, 0));
        heard().clear();
    }
    void cleanup()
    {
        window.reset();
        useLanguage(0);
    }

    // ---- 1. The selection of a drop-down list is heard ----

    void aSelectionIsReadAsText_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("next"); // after Down
        // as read from the simulated transmitter: 1 Compression, 2 Extraction, 3 Correct value
        QTest::newRow("output 1, English") << "comboBoxConfiguration1" << 0 << "Compression" << "Extraction";
        QTest::newRow("output 3, Czech") << "comboBoxConfiguration3" << 1 << "Správná hodnota" << "Chybná hodnota";
        QTest::newRow("output 2, German") << "comboBoxConfiguration2" << 2 << "Absaugung" << "Gutwert";
        QTest::newRow("Span, English") << "trendSpan" << 0 << "10 minutes" << "1 hour";
        QTest::newRow("Span, German") << "trendSpan" << 2 << "10 Minuten" << "1 Stunde";
    }
    void aSelectionIsReadAsText()
    {
        QFETCH(QString, box);
        QFETCH(int, language);
        QFETCH(QString, selected);
        QFETCH(QString, next);
        TMainF &w = connectedWindow();
        useLanguage(language);
        w.translateMainWindow();
        w.CmVycist(); // the modes in the boxes
        TTrendWindow &trend = openTrend(w);
        auto *combo = box.startsWith(u't') ? trend.findChild<QComboBox *>(box) : w.findChild<QComboBox *>(box);
        QVERIFY(combo);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(combo);
        QVERIFY(iface);
        QVERIFY(iface->textInterface());
        QCOMPARE(iface->textInterface()->text(0, -1), selected);
        QCOMPARE(iface->textInterface()->characterCount(), selected.size());
        QCOMPARE(iface->text(QAccessible::Value), selected);
        QVERIFY(iface->text(QAccessible::Name) != selected); // what the box is, not what it holds

        heard().clear();
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QStringList ofBox;
        for (const Heard &h : heard())
            if (h.object == combo)
                ofBox << describe(h);
        QCOMPARE(ofBox, QStringList{describe({combo, QAccessible::ValueChanged, next})});
        QCOMPARE(iface->textInterface()->text(0, -1), next);
        // the mode boxes' lists are still to be made: read and chosen without them
        if (!box.startsWith(u't'))
            QVERIFY(!combo->findChild<QAbstractItemView *>());
    }

    // ---- 2. No repeats, no noise ----

    // A steady value with the trend open is nothing new: the poll, its mark and
    // the redraw say nothing; a value that changes says so once.
    void aPollSaysOnlyWhatChanged()
    {
        TMainF &w = connectedWindow();
        w.show();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        tick(w);
        tick(w);
        QApplication::processEvents();
        heard().clear();
        for (int i = 0; i < 5; ++i)
            tick(w);
        QApplication::processEvents();
        QCOMPARE(heardTexts(), QStringList{});
        qzsim_set_value(51000);
        tick(w);
        QStringList ofValue;
        for (const Heard &h : heard()) {
            QVERIFY2(h.object != w.Hvezdicka, qPrintable(describe(h)));
            if (h.object == w.Aktualni)
                ofValue << h.text;
        }
        QCOMPARE(ofValue, QStringList{QStringLiteral("Actual value: 51.000 kPa")});
        Q_UNUSED(trend);
    }

    // Each step of the cursor is heard once, through the chart that has the focus.
    void aCursorStepIsHeardOnce()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        for (int i = 0; i < 5; ++i) {
            qzsim_set_value(50000.0f + float(i) * 1000.0f);
            tick(w);
        }
        trend.redraw();
        QApplication::processEvents();
        for (const QString &time : {QStringLiteral("09:00:05.000"), QStringLiteral("09:00:04.000")}) {
            heard().clear();
            QTest::keyClick(trend.chartView, Qt::Key_Left);
            QCOMPARE(heard().size(), std::size_t(1));
            QCOMPARE(heard()[0].object, trend.chartView);
            QCOMPARE(heard()[0].type, QAccessible::DescriptionChanged);
            QVERIFY2(heard()[0].text.startsWith(QStringLiteral("Cursor: ") + time), qPrintable(heard()[0].text));
            // the readout under the chart reads the same, when a reader goes to it
            QVERIFY(QAccessible::queryAccessibleInterface(trend.pointerLabel)
                        ->text(QAccessible::Name)
                        .startsWith(QStringLiteral("Cursor: ") + time));
        }
    }

    // ---- 5. The trend is a window; the compare table's columns have headers ----

    void theTrendIsAWindow()
    {
        TMainF &w = connectedWindow();
        TTrendWindow &trend = openTrend(w);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&trend);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Window);
        QCOMPARE(iface->text(QAccessible::Name), trend.windowTitle());
    }
};

QZ_SHELL_TEST_MAIN(AccessibilityWindowTest)
#include "tst_accessibility_window.moc"
