// The trend's axes over a small stand-in for the window: panning by dragging,
// the Y range fixed by two fields or automatic.
#include "TimeAxis.h"
#include "TrendWindow.h"
#include "ValueAxis.h"
#include "RangeNumber.h"
#include "YRange.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QPushButton>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <QGraphicsScene>
#include <QGraphicsTextItem>

#include <cmath>

namespace {

constexpr int64_t kStart = 1'797'000'000'000; // December 2026

// What the window offers the trend, held in plain fields.
class FakeHost : public TrendHost {
public:
    QHash<QString, QString> language; // key -> text; a missing key stands for itself
    TrendDisplay shown{0.001f, 3, QStringLiteral("kPa"), true};
    TrendHistory samples;
    int64_t clock = kStart;

    QString translate(const QString &key) const override { return language.value(key, key); }
    QString translateWithColon(const QString &key) const override { return translate(key) + QStringLiteral(": "); }
    QString translateWithEllipsis(const QString &key) const override { return translate(key) + QStringLiteral("..."); }
    QString pluralForm(const QString &forms, int) const override { return forms; }
    QString short_;
    QString languageShort() const override { return short_; }
    TrendDisplay display() const override { return shown; }
    QString shownNumber(float pascal) const override { return QString::number(double(pascal * shown.factor), 'f', 3); }
    float limitValue(int) const override { return 30000; }
    const TrendHistory &history() const override { return samples; }
    bool live = true;
    bool liveValueOn() const override { return live; }
    int64_t now() const override { return clock; }
    TrendRecording recording() const override { return {}; }
    bool startRecording(const QString &) override { return false; }
    void stopRecording() override {}
    QString chooseSaveFile(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    void showMessage(QWidget *, const QString &, const QString &) override {}

    // One value a second: 10 to 50 kPa and back.
    void fill(int seconds)
    {
        for (int s = 0; s < seconds; ++s)
            samples.append(clock + s * 1000, float(10000 + 40000 * std::abs(std::sin(s / 300.0))));
        clock += int64_t(seconds - 1) * 1000;
    }
    void tick()
    {
        clock += 1000;
        samples.append(clock, 20000);
    }
};

QString accessibleName(QObject *object)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
}

bool marked(const QLineEdit *edit) { return edit->property("invalid").toBool() && !edit->toolTip().isEmpty(); }

} // namespace

class TrendAxesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeHost> host;
    std::unique_ptr<TTrendWindow> trend;

    TTrendWindow &openTrend()
    {
        trend = std::make_unique<TTrendWindow>(*host);
        trend->show();
        QCoreApplication::processEvents();
        trend->redraw();
        return *trend;
    }

    // The viewport point at a fraction of the plot's width, in its middle height.
    QPoint plotPoint(double fraction) const
    {
        const QRectF plot = trend->chart->plotArea();
        const QPointF chartPos(plot.left() + plot.width() * fraction, plot.center().y());
        return trend->chartView->mapFromScene(trend->chart->mapToScene(chartPos));
    }

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QWidget *viewport = trend->chartView->viewport();
        QMouseEvent event(type, at, viewport->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &event);
    }

    static void type(QLineEdit *edit, const QString &text)
    {
        edit->setText(text);
        emit edit->editingFinished();
    }

    static QPair<double, double> yRange(const TTrendWindow &t) { return {t.axisY->min(), t.axisY->max()}; }
    // The unit factors are floats: a range typed in a unit comes back within their precision.
    static bool shows(const TTrendWindow &t, double low, double high)
    {
        const auto near = [](double a, double b) { return std::abs(a - b) <= 1e-6 * std::max(1.0, std::abs(b)); };
        return near(t.axisY->min(), low) && near(t.axisY->max(), high);
    }

private slots:
    void init()
    {
        host = std::make_unique<FakeHost>();
        host->fill(1800);
    }
    void cleanup()
    {
        trend.reset();
        host.reset();
    }

    // ---- Dragging the time axis ----

    void dragPansTheTimeAxis_data()
    {
        QTest::addColumn<double>("pressAt"); // fraction of the plot's width; outside: below 0
        QTest::addColumn<QList<double>>("movesTo");
        QTest::addColumn<double>("backInPlots"); // how far the view ends before the newest value
        QTest::addColumn<bool>("live");
        QTest::addColumn<bool>("held"); // the button still down while moving
        QTest::newRow("a click alone") << 0.5 << QList<double>{} << 0.0 << true << true;
        QTest::newRow("within the drag distance") << 0.5 << QList<double>{0.5 + 2.0 / 600} << 0.0 << true << true;
        QTest::newRow("back by half the plot") << 0.25 << QList<double>{0.5, 0.75} << 0.5 << false << true;
        QTest::newRow("back, then forward less") << 0.2 << QList<double>{0.9, 0.6} << 0.4 << false << true;
        QTest::newRow("back, then past the newest") << 0.5 << QList<double>{0.9, 0.1} << 0.0 << true << true;
        QTest::newRow("forward from live") << 0.5 << QList<double>{0.2} << 0.0 << true << true;
        QTest::newRow("pressed outside the plot") << -1.0 << QList<double>{0.9} << 0.0 << true << true;
        QTest::newRow("released elsewhere") << 0.25 << QList<double>{0.75} << 0.0 << true << false;
    }
    void dragPansTheTimeAxis()
    {
        QFETCH(double, pressAt);
        QFETCH(QList<double>, movesTo);
        QFETCH(double, backInPlots);
        QFETCH(bool, live);
        QFETCH(bool, held);
        TTrendWindow &t = openTrend();
        const qint64 span = t.axisX->end() - t.axisX->begin();
        QCOMPARE(t.axisX->end(), host->clock);
        const QPoint press = pressAt < 0 ? QPoint(2, 2) : plotPoint(pressAt);
        mouse(QEvent::MouseButtonPress, press, Qt::LeftButton, Qt::LeftButton);
        for (double to : movesTo) {
            mouse(QEvent::MouseMove, plotPoint(to), Qt::NoButton, held ? Qt::LeftButton : Qt::NoButton);
            // the pointer's readout goes on while dragging
            QVERIFY2(!t.pointerLabel->text().isEmpty(), "no readout under the pointer");
        }
        mouse(QEvent::MouseButtonRelease, movesTo.isEmpty() ? press : plotPoint(movesTo.last()), Qt::LeftButton,
              Qt::NoButton);
        // a pixel's worth of time either way
        const double pixelMs = double(span) / t.chart->plotArea().width();
        const double back = double(host->clock - t.axisX->end());
        QVERIFY2(std::abs(back - backInPlots * double(span)) <= 2 * pixelMs,
                 qPrintable(QStringLiteral("back %1 ms").arg(back)));
        QCOMPARE(t.axisX->end() - t.axisX->begin(), span);
        QCOMPARE(t.liveButton->isEnabled(), !live);
        // released: the view stays where it was left, unless it follows
        const qint64 endBefore = t.axisX->end();
        host->tick();
        t.historyChanged();
        QCOMPARE(t.axisX->end() == endBefore, !live);
    }

    // ---- The Y range ----

    void fixedYRange_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("applied");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::newRow("whole numbers") << "5" << "60" << true << 5.0 << 60.0;
        QTest::newRow("decimals and a sign") << " -1.5" << "2.25 " << true << -1.5 << 2.25;
        QTest::newRow("an exponent") << "1e1" << "2.5E1" << true << 10.0 << 25.0;
        QTest::newRow("from equal to to") << "10" << "10" << false << 0.0 << 0.0;
        QTest::newRow("from above to") << "20" << "10" << false << 0.0 << 0.0;
        QTest::newRow("NaN") << "nan" << "10" << false << 0.0 << 0.0;
        QTest::newRow("infinite") << "5" << "1e999" << false << 0.0 << 0.0;
        QTest::newRow("letters") << "5" << "abc" << false << 0.0 << 0.0;
        QTest::newRow("a number and more") << "5" << "60 kPa" << false << 0.0 << 0.0;
        QTest::newRow("empty") << "" << "60" << false << 0.0 << 0.0;
    }
    void fixedYRange()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, applied);
        QFETCH(double, low);
        QFETCH(double, high);
        TTrendWindow &t = openTrend();
        TYRange &y = *t.yRange;
        QVERIFY(y.automaticCheck->isChecked());
        QVERIFY(!y.fromEdit->isEnabled());
        const QPair<double, double> automatic = yRange(t);
        // fixed where it stands: the fields show the range shown
        y.automaticCheck->setChecked(false);
        QCOMPARE(yRange(t), automatic);
        const QChar separator = QLocale::system().decimalPoint().front();
        QCOMPARE(::readRangeNumber(y.fromEdit->text(), separator).value_or(NAN), automatic.first);
        QCOMPARE(::readRangeNumber(y.toEdit->text(), separator).value_or(NAN), automatic.second);
        QVERIFY(y.fromEdit->isEnabled());

        // a first valid range, so that a refused one can be seen to leave it
        type(y.fromEdit, QStringLiteral("1"));
        type(y.toEdit, QStringLiteral("99"));
        QVERIFY(shows(t, 1, 99));

        y.fromEdit->setText(from);
        type(y.toEdit, to);
        if (applied) {
            QVERIFY(shows(t, low, high));
            QVERIFY(!marked(y.fromEdit) && !marked(y.toEdit));
        } else {
            // nothing of it applied, and the field says why
            QVERIFY(shows(t, 1, 99));
            QVERIFY(marked(y.fromEdit) || marked(y.toEdit));
        }
        // new values do not move a fixed range
        const QPair<double, double> fixed = yRange(t);
        for (int i = 0; i < 5; ++i) {
            host->tick();
            t.historyChanged();
        }
        QCOMPARE(yRange(t), fixed);

        // automatic again: the range follows the values as before
        y.automaticCheck->setChecked(true);
        QVERIFY(!marked(y.fromEdit) && !marked(y.toEdit));
        QVERIFY(!y.fromEdit->isEnabled());
        QVERIFY(yRange(t) != fixed);
        QVERIFY(t.axisY->min() <= 10.0 && t.axisY->max() >= 50.0);
    }

    void aUnitChangeKeepsTheFixedRange()
    {
        TTrendWindow &t = openTrend();
        TYRange &y = *t.yRange;
        y.automaticCheck->setChecked(false);
        type(y.fromEdit, QStringLiteral("5"));
        type(y.toEdit, QStringLiteral("60"));
        host->shown = TrendDisplay{1e-5f, 4, QStringLiteral("bar"), true};
        t.redraw();
        QCOMPARE(y.fromEdit->text(), QStringLiteral("0.0500"));
        QCOMPARE(y.toEdit->text(), QStringLiteral("0.6000"));
        QVERIFY(shows(t, 0.05, 0.6));
        // typed in the new unit, kept in Pa: back in kPa it is the same pressure
        type(y.toEdit, QStringLiteral("0.7"));
        host->shown = TrendDisplay{0.001f, 3, QStringLiteral("kPa"), true};
        t.redraw();
        QCOMPARE(y.fromEdit->text(), QStringLiteral("5.000"));
        QCOMPARE(y.toEdit->text(), QStringLiteral("70.000"));
        QVERIFY(shows(t, 5, 70));
    }

    void yRangeNamesAndErrorsFollowTheLanguage()
    {
        TTrendWindow &t = openTrend();
        TYRange &y = *t.yRange;
        y.automaticCheck->setChecked(false);
        type(y.fromEdit, QStringLiteral("abc"));
        QCOMPARE(y.fromEdit->toolTip(), QStringLiteral("Invalid real number"));
        QCOMPARE(accessibleName(y.fromEdit), QStringLiteral("Y axis from"));
        host->language = {{"Invalid real number", "Chybné reálné číslo"}, {"Y axis from", "Osa Y od"},
                          {"Y axis to", "Osa Y do"}, {"Y axis automatic", "Osa Y automaticky"},
                          {"Automatic", "Automaticky"}};
        t.retranslate();
        QCOMPARE(y.fromEdit->toolTip(), QStringLiteral("Chybné reálné číslo"));
        QVERIFY(marked(y.fromEdit));
        QVERIFY(!marked(y.toEdit));
        QCOMPARE(accessibleName(y.fromEdit), QStringLiteral("Osa Y od"));
        QCOMPARE(accessibleName(y.toEdit), QStringLiteral("Osa Y do"));
        QCOMPARE(accessibleName(y.automaticCheck), QStringLiteral("Osa Y automaticky"));
        QCOMPARE(y.automaticCheck->text(), QStringLiteral("Automaticky"));
    }

    // ---- Dates ----

    // The axis' and the cursor's dates as the language shown writes them, changed with it.
    void datesFollowTheLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("date"); // 10 December 2026 on the axis, then in the readout
        QTest::addColumn<QString>("full");
        QTest::newRow("English") << "" << "12/10" << "12/10/2026";
        QTest::newRow("Czech") << "CZ" << "10.12." << "10.12.2026";
        QTest::newRow("German") << "DE" << "10.12." << "10.12.2026";
    }
    void datesFollowTheLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, date);
        QFETCH(QString, full);
        host->samples = TrendHistory();
        host->clock = QDateTime(QDate(2026, 12, 10), QTime(9, 0)).toMSecsSinceEpoch();
        host->fill(8 * 3600); // over six hours: a date on each label
        host->short_ = QStringLiteral("FR"); // ISO first, then the language
        TTrendWindow &t = openTrend();
        t.spanBox->setCurrentIndex(3);
        QVERIFY2(t.axisX->categoriesLabels().join(u' ').contains(QStringLiteral("12-10 ")),
                 qPrintable(t.axisX->categoriesLabels().join(u' ')));
        host->short_ = language;
        t.retranslate();
        const QStringList labels = t.axisX->categoriesLabels();
        QVERIFY2(!labels.isEmpty() && labels.filter(date + u' ').size() == labels.size(), qPrintable(labels.join(u' ')));
        QTest::keyClick(t.chartView, Qt::Key_Left);
        QVERIFY2(t.pointerLabel->text().contains(full + QStringLiteral(" 16:59:59.000")), qPrintable(t.pointerLabel->text()));
    }

    // ---- The span shown ----

    // After zooming the box shows the span shown: one of its own, or "Custom".
    void spanBoxShowsTheSpanShown_data()
    {
        QTest::addColumn<int>("chosen"); // 1 minute, 10 minutes, 1 hour, everything
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("box");
        QTest::addColumn<qint64>("shownMs"); // 0: as before the keys
        QTest::newRow("10 minutes, in") << 1 << QStringList{"+"} << "Custom" << qint64(300'000);
        QTest::newRow("1 minute, out thrice") << 0 << QStringList{"-", "-", "-"} << "Custom" << qint64(480'000);
        QTest::newRow("1 hour, in and out") << 2 << QStringList{"+", "-"} << "1 hour" << qint64(3'600'000);
        QTest::newRow("zoomed to another of the box's") << 1 << QStringList{"+", "-", "-", "-"} << "Custom"
                                                        << qint64(2'400'000);
        QTest::newRow("zoomed, then End") << 1 << QStringList{"+", "+", "End"} << "10 minutes" << qint64(600'000);
        QTest::newRow("paged, not zoomed") << 1 << QStringList{"PageUp"} << "10 minutes" << qint64(600'000);
        QTest::newRow("everything, paged") << 3 << QStringList{"PageUp"} << "Custom" << qint64(0);
        QTest::newRow("everything, paged, then End") << 3 << QStringList{"PageUp", "End"} << "Everything" << qint64(0);
    }
    void spanBoxShowsTheSpanShown()
    {
        QFETCH(int, chosen);
        QFETCH(QStringList, keys);
        QFETCH(QString, box);
        QFETCH(qint64, shownMs);
        TTrendWindow &t = openTrend();
        t.spanBox->setCurrentIndex(chosen);
        const qint64 before = t.axisX->end() - t.axisX->begin() + 1;
        const QHash<QString, Qt::Key> named{{"+", Qt::Key_Plus}, {"-", Qt::Key_Minus}, {"End", Qt::Key_End},
                                            {"PageUp", Qt::Key_PageUp}};
        for (const QString &key : keys)
            QTest::keyClick(t.chartView, named.value(key));
        QCOMPARE(t.spanBox->currentText(), box);
        QCOMPARE(t.axisX->end() - t.axisX->begin() + 1, shownMs ? shownMs : before);
        // "Custom" is there only while it is shown
        QCOMPARE(t.spanBox->count(), box == QLatin1String("Custom") ? 5 : 4);
        // a span picked from the box is shown as it is
        t.spanBox->setCurrentIndex(0);
        QCOMPARE(t.spanBox->currentText(), QStringLiteral("1 minute"));
        QCOMPARE(t.axisX->end() - t.axisX->begin() + 1, qint64(60'000));
        QCOMPARE(t.spanBox->count(), 4);
    }

    // Page Up and Down with "Everything" move by the span shown, which stays as wide.
    void pagingEverythingMovesByTheSpanShown()
    {
        TTrendWindow &t = openTrend();
        t.spanBox->setCurrentIndex(3);
        const qint64 end = t.axisX->end();
        const qint64 width = end - t.axisX->begin();
        QVERIFY(width >= 1'799'000);
        QTest::keyClick(t.chartView, Qt::Key_PageUp);
        QCOMPARE(t.axisX->end(), end - width - 1);
        QCOMPARE(t.axisX->end() - t.axisX->begin(), width);
        // before the oldest value: the span has none, and says so
        QVERIFY(t.emptyLabel->isVisibleTo(&t));
        QCOMPARE(t.emptyLabel->text(), QStringLiteral("No values in this span"));
        QTest::keyClick(t.chartView, Qt::Key_PageDown);
        QCOMPARE(t.axisX->end(), end);
        QCOMPARE(t.axisX->end() - t.axisX->begin(), width);
        QVERIFY(!t.emptyLabel->isVisibleTo(&t));
    }

    // The hint to switch the value on only when there is no value at all;
    // a span paged past the history says it has none.
    void theEmptyHintSaysWhyTheChartIsEmpty_data()
    {
        QTest::addColumn<int>("seconds"); // of values in the history
        QTest::addColumn<bool>("live");
        QTest::addColumn<int>("pagesBack"); // Page Up, a minute's span
        QTest::addColumn<QString>("hint");  // empty: none
        QTest::newRow("nothing, value off") << 0 << false << 0 << "Switch on Actual value to see the trend";
        QTest::newRow("nothing, value on") << 0 << true << 0 << "";
        QTest::newRow("values shown") << 120 << false << 0 << "";
        QTest::newRow("paged past the history, value on") << 120 << true << 3 << "No values in this span";
        QTest::newRow("paged past the history, value off") << 120 << false << 3 << "No values in this span";
        QTest::newRow("paged back within it") << 120 << true << 1 << "";
        QTest::newRow("nothing, paged back") << 0 << false << 3 << "Switch on Actual value to see the trend";
    }
    void theEmptyHintSaysWhyTheChartIsEmpty()
    {
        QFETCH(int, seconds);
        QFETCH(bool, live);
        QFETCH(int, pagesBack);
        QFETCH(QString, hint);
        host->samples = TrendHistory();
        host->live = live;
        if (seconds > 0)
            host->fill(seconds);
        TTrendWindow &t = openTrend();
        t.spanBox->setCurrentIndex(0);
        for (int i = 0; i < pagesBack; ++i)
            QTest::keyClick(t.chartView, Qt::Key_PageUp);
        QCOMPARE(t.emptyLabel->isVisibleTo(&t), !hint.isEmpty());
        if (!hint.isEmpty())
            QCOMPARE(t.emptyLabel->text(), hint);
        host->language = {{"No values in this span", "Keine Werte in diesem Zeitraum"},
                          {"Switch on Actual value to see the trend", "Schalten Sie Istwert ein"}};
        t.retranslate();
        if (!hint.isEmpty())
            QCOMPARE(t.emptyLabel->text(), host->language.value(hint));
    }

    // A value that rounds to zero at the decimals shown is "0.000", on the axis,
    // under the cursor and in the figures; a small negative value keeps its sign.
    void noNegativeZeroInTheTrend_data()
    {
        QTest::addColumn<QList<double>>("pascals"); // one a second
        QTest::addColumn<bool>("fixed");             // a Y range typed in, from -0.0003 to 0.0003 kPa
        QTest::addColumn<QString>("cursorValue");    // the newest sample's
        QTest::newRow("around zero") << QList<double>{-0.4, 0.3, -0.2, 0.1, -0.3} << false << "0.000 kPa";
        QTest::newRow("only just below zero") << QList<double>{-0.1, -0.2, -0.4, -0.3} << false << "0.000 kPa";
        QTest::newRow("a fixed range around zero") << QList<double>{-0.4, 0.3, -0.2} << true << "0.000 kPa";
        QTest::newRow("small, not zero") << QList<double>{-2.0, -1.0, -1.6} << false << "-0.002 kPa";
    }
    void noNegativeZeroInTheTrend()
    {
        QFETCH(QList<double>, pascals);
        QFETCH(bool, fixed);
        QFETCH(QString, cursorValue);
        host->samples = TrendHistory();
        for (double p : pascals) {
            host->clock += 1000;
            host->samples.append(host->clock, float(p));
        }
        TTrendWindow &t = openTrend();
        // the limits far away, not to set the axis' range
        for (QCheckBox *check : t.outputChecks)
            check->setChecked(false);
        if (fixed) {
            t.yRange->automaticCheck->setChecked(false);
            t.yRange->fromEdit->setText(QStringLiteral("-0.0003"));
            type(t.yRange->toEdit, QStringLiteral("0.0003"));
        }
        QCoreApplication::processEvents();
        t.redraw();
        QCoreApplication::processEvents();
        QStringList texts;
        for (QGraphicsItem *item : t.chartView->scene()->items())
            if (auto *text = dynamic_cast<QGraphicsTextItem *>(item); text && text->isVisible())
                texts << text->toPlainText();
        QTest::keyClick(t.chartView, Qt::Key_Left); // the cursor on the newest sample
        texts << t.pointerLabel->text() << t.statsLabel->text();
        QVERIFY2(t.pointerLabel->text().contains(cursorValue), qPrintable(t.pointerLabel->text()));
        QVERIFY2(texts.filter(QStringLiteral("0.000")).size() >= 1, qPrintable(texts.join(u'|')));
        static const QRegularExpression negativeZero(QStringLiteral("-0[.,]?0*(?![0-9.,])"));
        for (const QString &text : texts)
            QVERIFY2(!negativeZero.match(text).hasMatch(), qPrintable(text));
    }

    void readRangeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<bool>("reads");
        QTest::addColumn<double>("value");
        QTest::newRow("the locale's comma") << "1,5" << QChar(u',') << true << 1.5;
        QTest::newRow("a point under a comma locale") << "1.5" << QChar(u',') << true << 1.5;
        QTest::newRow("a comma under a point locale") << "1,5" << QChar(u'.') << false << 0.0;
        QTest::newRow("blanks, sign, exponent") << " -2e3 " << QChar(u'.') << true << -2000.0;
        QTest::newRow("two separators") << "1.2.3" << QChar(u'.') << false << 0.0;
        QTest::newRow("infinity") << "inf" << QChar(u'.') << false << 0.0;
        QTest::newRow("too large") << "1e400" << QChar(u'.') << false << 0.0;
        QTest::newRow("a sign alone") << "-" << QChar(u'.') << false << 0.0;
    }
    void readRangeNumber()
    {
        QFETCH(QString, text);
        QFETCH(QChar, separator);
        QFETCH(bool, reads);
        QFETCH(double, value);
        const std::optional<double> read = ::readRangeNumber(text, separator);
        QCOMPARE(read.has_value(), reads);
        if (reads)
            QCOMPARE(*read, value);
    }
};

QTEST_MAIN(TrendAxesTest)
#include "tst_trend_axes.moc"
