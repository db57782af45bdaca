// What a screen reader is told by the window and the trend: the events Qt
// hands to the platform's bridge (caught by an update handler, as the bridge
// would get them) and the texts of the accessible interfaces it reads; and the
// keys a keyboard operator uses. On the real window over the simulated transmitter.
#include "ShellTestSupport.h"

#include "Accessibility.h"
#include "Lang.h"
#include "Main.h"
#include "Oprog.h"
#include "NumberText.h"
#include "CompareDialog.h"
#include "OperatorTools.h"
#include "WindowJournal.h"
#include "YRange.h"
#include "TrendWindow.h"
#include "qzsim.h"
#include "SimulatorSupport.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QAbstractItemView>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include "TimeAxis.h"

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

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
}

QString accessibleDescriptionOf(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Description) : QStringLiteral("<none>");
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
        boxes.boxes.clear();
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

    void theCompareTablesColumnsAllHaveHeaders()
    {
        TCompareDialog dialog(QStringLiteral("a.cfg"), {{QStringLiteral("Nominal range"), QStringLiteral("1"),
                                                         QStringLiteral("2"), true}});
        auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("compareTable"));
        QVERIFY(table);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(table);
        QVERIFY(iface && iface->tableInterface());
        QStringList headers;
        for (int c = 0; c < table->columnCount(); ++c)
            headers << iface->tableInterface()->columnDescription(c);
        QCOMPARE(headers, (QStringList{"Setting", "File", "Transmitter", "Difference"}));
    }

    // ---- 3. Messages are readable without a mouse ----

    void yRangeMessagesShowInTheWindow_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("not a number") << 0 << "abc" << "10" << "Invalid real number";
        QTest::newRow("wrong order") << 0 << "10" << "5" << "From must be less than To";
        QTest::newRow("wrong order, German") << 2 << "10" << "5" << "Von muss kleiner als Bis sein";
        QTest::newRow("good") << 0 << "5" << "10" << "";
        // 100 kPa nominal range: beyond 1e9 of it (1e11 kPa) the axis shows nothing usable
        QTest::newRow("too large") << 0 << "0" << "2e11" << "Value too large";
        QTest::newRow("too large below") << 1 << "-2e11" << "0" << "Hodnota je příliš velká";
        QTest::newRow("large, within") << 0 << "-9e10" << "9e10" << "";
    }
    void yRangeMessagesShowInTheWindow()
    {
        QFETCH(int, language);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        TMainF &w = connectedWindow();
        useLanguage(language);
        w.translateMainWindow();
        TTrendWindow &trend = openTrend(w);
        TYRange &range = *trend.yRange;
        range.automaticCheck->setChecked(false);
        range.fromEdit->setText(from);
        range.toEdit->setText(to);
        emit range.toEdit->editingFinished();
        QCOMPARE(range.errorLabel->text(), message);
        QCOMPARE(!range.errorLabel->isHidden(), !message.isEmpty());
        // Automatic clears the fields and their complaint
        range.automaticCheck->setChecked(true);
        QVERIFY(range.errorLabel->isHidden());
        QCOMPARE(range.fromEdit->text(), QString());
        QCOMPARE(range.toEdit->text(), QString());
    }

    // The reason a write was not journaled is in the status bar, in the language shown.
    void notJournaledSaysWhyInTheLanguageShown()
    {
        TMainF &w = connectedWindow();
        w.show();
        journal::Address address;
        address.path = QStringLiteral("/no/such/folder/journal.sqlite");
        auto *attached = new TWindowJournal(w, address);
        w.CmVycist();
        w.CmKonfigurace();
        attached->waitForRecords();
        QTRY_VERIFY(!attached->note->isHidden());
        QVERIFY2(attached->note->text().startsWith(QStringLiteral("Not journaled: Cannot use the journal ")),
                 qPrintable(attached->note->text()));
        QVERIFY(accessibleName(attached->note).startsWith(QStringLiteral("Not journaled: Cannot use the journal ")));
        QVERIFY(accessibleName(attached->note).contains(QStringLiteral("/no/such/folder")));
        QVERIFY(attached->note->width() <= w.width() / 2);
        useLanguage(2);
        w.translateMainWindow();
        QVERIFY2(attached->note->text().startsWith(QStringLiteral("Nicht protokolliert: Cannot use")),
                 qPrintable(attached->note->text()));
        QVERIFY(accessibleName(attached->note).startsWith(QStringLiteral("Nicht protokolliert: Cannot use the journal ")));
    }

    // ---- 4. A stale value is heard as stale ----

    void aStaleValueSaysSoUntilTheNextGoodPoll()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        tick(w);
        const QString shown = w.Aktualni->text();
        QCOMPARE(accessibleDescriptionOf(w.Aktualni), QString());
        qzsim_clear_logs();
        qzsim_fail_from(1); // the transmitter stops answering
        tick(w);
        tick(w);
        QVERIFY(!w.checkActualValue->isChecked());
        QCOMPARE(w.Aktualni->text(), shown); // kept, as it looks
        QCOMPARE(accessibleDescriptionOf(w.Aktualni), QStringLiteral("Last value since 09:00:01"));
        useLanguage(1);
        w.translateMainWindow();
        QCOMPARE(accessibleDescriptionOf(w.Aktualni), QStringLiteral("Poslední hodnota od 09:00:01"));
        qzsim_fail_from(0);
        w.checkActualValue->setChecked(true);
        tick(w);
        QCOMPARE(accessibleDescriptionOf(w.Aktualni), QString());
    }

    // ---- 6. Enter presses the focused button ----

    void enterPressesTheFocusedButton()
    {
        TMainF &w = connectedWindow();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.buttonreadConfiguration->setFocus();
        QTest::keyClick(w.buttonreadConfiguration, Qt::Key_Return);
        QCOMPARE(boxes.boxes.size(), std::size_t(1));
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("Configuration successfully read"));
        QVERIFY(requestLog().contains(QStringLiteral("read 67/27")));
        // in a limit field Enter keeps its meaning: nothing is pressed, nothing sent
        qzsim_clear_logs();
        boxes.boxes.clear();
        w.V1_P1->setFocus();
        const QString before = w.V1_P1->text();
        QTest::keyClick(w.V1_P1, Qt::Key_Enter);
        QCOMPARE(w.V1_P1->text(), before);
        QCOMPARE(requestLog(), QStringList{});
        QCOMPARE(boxes.boxes.size(), std::size_t(0));

        TTrendWindow &trend = openTrend(w);
        QVERIFY(!trend.paused());
        QTest::keyClick(trend.pauseButton, Qt::Key_Return);
        QVERIFY(trend.paused());
        QTest::keyClick(trend.pauseButton, Qt::Key_Enter);
        QVERIFY(!trend.paused());
    }

    // ---- 7. Escape closes an open drop-down list first ----

    void escapeClosesAnOpenListFirst_data()
    {
        QTest::addColumn<QString>("popup");  // what is open
        QTest::addColumn<QString>("target"); // where Escape goes
        QTest::newRow("Span's list, the popup") << "span" << "popup";
        QTest::newRow("Span's list, its view") << "span" << "view";
        QTest::newRow("Span's list, the focus widget") << "span" << "focus";
        QTest::newRow("Export's menu") << "export" << "popup";
    }
    void escapeClosesAnOpenListFirst()
    {
        QFETCH(QString, popup);
        QFETCH(QString, target);
        TMainF &w = connectedWindow();
        TTrendWindow &trend = openTrend(w);
        QVERIFY(QTest::qWaitForWindowActive(&trend));
        if (popup == QLatin1String("span")) {
            trend.spanBox->setFocus();
            trend.spanBox->showPopup();
        } else {
            // as the button opens it, without the button's own modal loop
            trend.exportButton->setFocus();
            trend.exportButton->menu()->popup(trend.exportButton->mapToGlobal(QPoint(0, trend.exportButton->height())));
        }
        QTRY_VERIFY(QApplication::activePopupWidget());
        QWidget *open = QApplication::activePopupWidget();
        QWidget *to = open;
        if (target == QLatin1String("view")) {
            QVERIFY(trend.spanBox->view()->isVisible());
            to = trend.spanBox->view();
        } else if (target == QLatin1String("focus")) {
            to = QApplication::focusWidget();
        }
        QVERIFY(to);
        QTest::keyClick(to, Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QVERIFY(!open->isVisible());
        QVERIFY(trend.isVisible());
        QCOMPARE(trend.spanBox->currentIndex(), 1);
        // the second closes the trend
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &trend, Qt::Key_Escape);
        QTRY_VERIFY(!trend.isVisible());
    }

    // ---- 8. The chart has the focus, and shows it ----

    void theChartTakesTheFocusAndShowsIt()
    {
        TMainF &w = connectedWindow();
        w.show();
        TTrendWindow &trend = openTrend(w);
        QVERIFY(QTest::qWaitForWindowActive(&trend));
        QCOMPARE(QApplication::focusWidget(), trend.chartView);
        // the chart is first in the tab order
        QWidget *first = trend.nextInFocusChain();
        while (first != &trend && !(first->focusPolicy() & Qt::TabFocus))
            first = first->nextInFocusChain();
        QCOMPARE(first, trend.chartView);
        const QColor highlight = trend.chartView->palette().color(QPalette::Highlight);
        const QImage focused = trend.chartView->grab().toImage();
        QCOMPARE(focused.pixelColor(0, focused.height() / 2), highlight);

        // the focus elsewhere: no frame; closed and opened again: on the chart
        trend.spanBox->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), trend.spanBox);
        const QImage unfocused = trend.chartView->grab().toImage();
        QVERIFY(unfocused.pixelColor(0, unfocused.height() / 2) != highlight);
        trend.close();
        openTrend(w);
        QVERIFY(QTest::qWaitForWindowActive(&trend));
        QTRY_COMPARE(QApplication::focusWidget(), trend.chartView);
        QTest::keyClick(trend.chartView, Qt::Key_Home);
        QCOMPARE(trend.spanBox->currentIndex(), 1);
    }

    // ---- 9. The main window's keys in the trend come back to the trend ----

    void mainWindowKeysComeBackToTheTrend_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("dialog"); // the class of what the key opened
        QTest::newRow("F5, read: its box") << QKeySequence(Qt::Key_F5) << "QMessageBox";
        QTest::newRow("F1, About") << QKeySequence(Qt::Key_F1) << "TOProgramu";
        QTest::newRow("Ctrl+S, save: the file dialog") << QKeySequence(Qt::CTRL | Qt::Key_S) << "QFileDialog";
    }
    void mainWindowKeysComeBackToTheTrend()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, dialog);
        TMainF &w = connectedWindow();
        w.aboutWindow = new TOProgramu(&w);
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TTrendWindow &trend = openTrend(w);
        QVERIFY(QTest::qWaitForWindowActive(&trend));
        trend.pauseButton->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), trend.pauseButton);

        // The real boxes and dialogs, closed as the operator would; as each
        // closes, the desktop activates the window it belongs to.
        const DialogHooks recorded = setDialogHooks({});
        QStringList opened;
        // while open only: the next box may be made at the same address, About is the same each time
        QList<QPointer<QDialog>> handled;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto *open = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!open || !open->isVisible() || handled.contains(QPointer<QDialog>(open)))
                return;
            handled << open;
            opened << QString::fromLatin1(open->metaObject()->className());
            connect(open, &QDialog::finished, open, [open, &handled] {
                handled.removeAll(QPointer<QDialog>(open));
                QWidget *owner = open->parentWidget() ? open->parentWidget()->window() : nullptr;
                if (owner && owner->isVisible()) {
                    owner->activateWindow();
                    QVERIFY(QTest::qWaitForWindowActive(owner));
                }
            }, Qt::SingleShotConnection);
            open->reject();
        });
        watch.start();
        // the recorded boxes back whatever the outcome: a real box later would wait for no one
        const auto restore = qScopeGuard([&] {
            watch.stop();
            setDialogHooks(recorded);
        });
        qzsim_clear_logs();
        QTest::keySequence(&trend, keys);
        const QStringList fromTrend = requestLog();

        QCOMPARE(opened, QStringList{dialog});
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(&trend));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(trend.pauseButton));
        QVERIFY(trend.isVisible());

        // the same frames as the key sends from the main window
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        qzsim_clear_logs();
        QTest::keySequence(&w, keys);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(fromTrend, requestLog());
        // F5 reads the configuration; About and the file dialog send nothing
        QCOMPARE(fromTrend.contains(QStringLiteral("read 67/27")), dialog == QLatin1String("QMessageBox"));
    }

    // ---- 10. Zoom keeps the time under the pointer, or at the cursor ----

    void zoomKeepsTheTimeItIsAround_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<double>("at"); // across the plot, 0 to 1
        QTest::newRow("wheel in, a third across") << "wheel+" << 1.0 / 3;
        // out, a page back: the wider view still ends before the newest value
        QTest::newRow("wheel out, a page back") << "back wheel-" << 1.0 / 3;
        QTest::newRow("wheel in, in the middle") << "wheel+" << 0.5;
        QTest::newRow("+ at the cursor") << "+" << 0.0;
    }
    void zoomKeepsTheTimeItIsAround()
    {
        QFETCH(QString, how);
        QFETCH(double, at);
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        TTrendWindow &trend = openTrend(w);
        for (int i = 0; i < 1800; ++i) {
            qzsim_push_reading(float(i));
            tick(w);
        }
        if (how.startsWith(QLatin1String("back "))) {
            QTest::keyClick(trend.chartView, Qt::Key_PageUp);
            how = how.mid(5);
        }
        QApplication::processEvents();
        const QRectF plot = trend.chart->plotArea();
        const auto xOf = [&](int64_t ms) {
            return trend.chart->mapToPosition(QPointF(double(ms), 0), trend.limitSeries[0]).x();
        };
        const int64_t shownBefore = trend.axisX->end() - trend.axisX->begin();
        int64_t kept = 0;
        double xBefore = 0;
        if (how.startsWith(QLatin1String("wheel"))) {
            const QPointF chartPoint(plot.left() + plot.width() * at, plot.center().y());
            const QPointF inView = trend.chartView->mapFromScene(trend.chart->mapToScene(chartPoint));
            kept = int64_t(trend.chart->mapToValue(chartPoint, trend.limitSeries[0]).x());
            xBefore = xOf(kept);
            QWheelEvent wheel(inView, trend.chartView->viewport()->mapToGlobal(inView), QPoint(),
                              QPoint(0, how.endsWith(u'+') ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(trend.chartView->viewport(), &wheel);
        } else {
            for (int i = 0; i < 200; ++i)
                QTest::keyClick(trend.chartView, Qt::Key_Left);
            QVERIFY(trend.cursorPlace());
            kept = trend.cursorPlace()->ms;
            xBefore = xOf(kept);
            QTest::keyClick(trend.chartView, Qt::Key_Plus);
        }
        const int64_t shownAfter = trend.axisX->end() - trend.axisX->begin();
        QVERIFY(shownAfter != shownBefore);
        QVERIFY2(std::abs(xOf(kept) - xBefore) <= 2.0, qPrintable(QStringLiteral("%1 -> %2").arg(xBefore).arg(xOf(kept))));
    }
};

QZ_SHELL_TEST_MAIN(AccessibilityWindowTest)
#include "tst_accessibility_window.moc"
