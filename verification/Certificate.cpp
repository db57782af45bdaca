#include "Certificate.h"

#include "NumberText.h"
#include "PageLayout.h"

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace verification {

namespace {

constexpr int kResolution = 300;

const char *const kModeKeys[] = {"Off", "Compression", "Extraction", "Correct value", "Error value"};

class Drawing {
public:
    Drawing(const Run &run, const QString &sha256, const Translator &tr) : run(run), sha(sha256), tr(tr)
    {
        decimals = std::clamp(run.unit.decimals + 1, 1, 4);
    }

    void lay(PageLayout &p, int pages) const;

private:
    QString number(double pa) const
    {
        return std::isfinite(pa) ? formatNumber(float(pa * double(run.unit.factor)), decimals) : QStringLiteral("-");
    }
    QString withUnit(double pa) const { return number(pa) + u' ' + run.unit.text; }
    // A configured value, with the window's decimals.
    QString setting(double pa) const
    {
        return (std::isfinite(pa) ? formatNumber(float(pa * double(run.unit.factor)), run.unit.decimals)
                                  : QStringLiteral("-")) +
               u' ' + run.unit.text;
    }
    QString label(const char *key) const { return tr(QString::fromUtf8(key)); }
    QString time(const QDateTime &t) const;
    QString verdictText(const PointResult &r) const;
    void section(PageLayout &p, const char *key) const;
    void results(PageLayout &p, const char *key, const std::vector<PointRecord> &points) const;
    void plot(QPainter &painter, const QRectF &area, const PageLayout &p) const;

    const Run &run;
    const QString &sha;
    const Translator &tr;
    int decimals = 3;
};

QString Drawing::time(const QDateTime &t) const
{
    if (!t.isValid())
        return QStringLiteral("-");
    const int offset = t.offsetFromUtc();
    const QString sign = offset < 0 ? QStringLiteral("-") : QStringLiteral("+");
    return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QStringLiteral(" UTC%1%2:%3")
               .arg(sign)
               .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
               .arg(std::abs(offset) / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString Drawing::verdictText(const PointResult &r) const
{
    QString s = label(r.verdict == Verdict::Pass ? "Pass" : "Fail");
    if (r.certainty != Certainty::NotStated)
        s += QStringLiteral(" (") + label(r.certainty == Certainty::Conclusive ? "conclusive" : "inconclusive") +
             QLatin1Char(')');
    if (!r.problem.isEmpty())
        s += QStringLiteral(": ") + tr(r.problem);
    return s;
}

void Drawing::section(PageLayout &p, const char *key) const
{
    p.space(3);
    p.need(p.mm(12)); // a heading never ends a page alone
    p.text(label(key), p.bold);
    p.space(1);
}

void Drawing::results(PageLayout &p, const char *key, const std::vector<PointRecord> &points) const
{
    section(p, key);
    const QString u = QStringLiteral(" [") + run.unit.text + QLatin1Char(']');
    const QStringList head{label("Point"), label("Nominal") + QStringLiteral(" [%]"), label("Reference") + u,
                           label("Reading") + u, label("Error") + u, label("Tolerance") + u, label("Result")};
    std::vector<QStringList> rows;
    std::vector<bool> failed;
    const double tol = tolerancePa(run);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const PointRecord &pt = points[i];
        rows.push_back({QString::number(i + 1), QString::number(pt.percent, 'g', QLocale::FloatingPointShortest),
                        number(pt.referencePa), number(pt.result.mean), number(pt.result.error),
                        QStringLiteral("±") + number(tol), verdictText(pt.result)});
        failed.push_back(pt.result.verdict == Verdict::Fail);
    }
    p.table(head, rows, {0.06, 0.12, 0.14, 0.14, 0.13, 0.14, 0.27}, failed);
}

void Drawing::plot(QPainter &painter, const QRectF &area, const PageLayout &p) const
{
    const QRectF frame = area.adjusted(p.mm(16), p.mm(6), -p.mm(4), -p.mm(8));
    double lowX = 0, highX = 100, span = tolerancePa(run);
    for (const auto *phase : {&run.asFound, &run.asLeft})
        for (const PointRecord &pt : *phase) {
            lowX = std::min(lowX, pt.percent);
            highX = std::max(highX, pt.percent);
            if (std::isfinite(pt.result.error))
                span = std::max(span, std::fabs(pt.result.error));
        }
    if (!(span > 0) || !std::isfinite(span))
        span = 1;
    span *= 1.25;
    const auto xAt = [&](double percent) { return frame.left() + (percent - lowX) / (highX - lowX) * frame.width(); };
    const auto yAt = [&](double pa) { return frame.center().y() - pa / span * frame.height() / 2; };
    painter.setFont(p.small);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), p.mm(5)), Qt::AlignHCenter,
                     label("Error against test point") + QStringLiteral(" [") + run.unit.text + QLatin1Char(']'));
    const double tol = tolerancePa(run);
    if (std::isfinite(tol)) {
        painter.fillRect(QRectF(QPointF(frame.left(), yAt(tol)), QPointF(frame.right(), yAt(-tol))),
                         QColor(200, 230, 200));
    }
    painter.setPen(QPen(Qt::black, p.mm(0.2)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
    painter.drawLine(QPointF(frame.left(), yAt(0)), QPointF(frame.right(), yAt(0)));
    for (double v : {span / 1.25, 0.0, -span / 1.25})
        painter.drawText(QRectF(area.left(), yAt(v) - p.mm(2), p.mm(15), p.mm(4)), Qt::AlignRight | Qt::AlignVCenter,
                         number(v));
    for (int i = 0; i <= 4; ++i) {
        const double percent = lowX + (highX - lowX) * i / 4;
        painter.drawText(QRectF(xAt(percent) - p.mm(8), frame.bottom() + p.mm(1), p.mm(16), p.mm(4)),
                         Qt::AlignHCenter, QString::number(percent, 'g', 4) + QStringLiteral(" %"));
    }
    const double r = p.mm(0.9);
    painter.setBrush(Qt::black);
    for (const PointRecord &pt : run.asFound)
        if (std::isfinite(pt.result.error))
            painter.drawEllipse(QPointF(xAt(pt.percent), yAt(pt.result.error)), r, r);
    painter.setBrush(Qt::white);
    for (const PointRecord &pt : run.asLeft)
        if (std::isfinite(pt.result.error))
            painter.drawRect(QRectF(xAt(pt.percent) - r, yAt(pt.result.error) - r, 2 * r, 2 * r));
    painter.drawText(QRectF(frame.left(), frame.top() + p.mm(0.5), frame.width() - p.mm(1), p.mm(4)),
                     Qt::AlignRight, QStringLiteral("● ") + label("as found") + QStringLiteral("   □ ") + label("as left") +
                                         QStringLiteral("   ▒ ") + label("Tolerance band"));
}

void Drawing::lay(PageLayout &p, int pages) const
{
    const QString certificateLine = label("Certificate number") + QStringLiteral(": ") + run.certificate;
    p.header = [&](PageLayout &l) {
        const QRectF page = l.pageRect();
        l.textAt(QRectF(page.left(), l.mm(10), page.width(), l.mm(8)), label("Verification certificate"), l.title,
                 Qt::AlignLeft | Qt::AlignVCenter);
        l.textAt(QRectF(page.left(), l.mm(10), page.width(), l.mm(8)), certificateLine, l.body,
                 Qt::AlignRight | Qt::AlignVCenter);
        l.textAt(QRectF(page.left(), l.mm(18), page.width(), l.mm(5)),
                 QStringLiteral("QZ5801 User Software ") + run.version, l.small, Qt::AlignLeft | Qt::AlignVCenter);
    };
    p.footer = [&, pages](PageLayout &l, int page) {
        const QRectF area(l.pageRect().left(), l.pageRect().bottom() + l.mm(8), l.width(), l.mm(5));
        l.textAt(area, certificateLine, l.small, Qt::AlignLeft | Qt::AlignVCenter);
        l.textAt(area,
                 label("Page %1 of %2").arg(page).arg(pages), l.small, Qt::AlignRight | Qt::AlignVCenter);
    };
    p.begin();

    const TransmitterInfo &t = run.transmitter;
    section(p, "Transmitter");
    p.field(label("Model"), QStringLiteral("QZ5801"));
    p.field(label("Serial number"), t.serial ? QString::number(*t.serial) : QStringLiteral("-"));
    p.field(label("Nominal range"), setting(t.rangePa));
    p.field(label("Tag"), run.plan.tag.isEmpty() ? QStringLiteral("-") : run.plan.tag);
    for (int i = 0; i < 3; ++i) {
        const int mode = t.modes[i];
        p.field(label("Output") + QLatin1Char(' ') + QString::number(i + 1),
                (mode >= 0 && mode <= 4 ? label(kModeKeys[mode]) : QStringLiteral("-")) + QStringLiteral("; ") +
                    label("Lower value") + QStringLiteral(" ") + setting(t.values[2 * i]) + QStringLiteral("; ") +
                    label("Higher value") + QStringLiteral(" ") + setting(t.values[2 * i + 1]));
    }
    section(p, "Customer and place");
    p.field(label("Customer"), run.plan.customer.isEmpty() ? QStringLiteral("-") : run.plan.customer);
    p.field(label("Station"), run.station);
    p.field(label("Started"), time(run.started));
    p.field(label("Finished"), time(run.finished));

    section(p, "Procedure");
    QStringList points;
    for (double v : run.plan.points)
        points << QString::number(v, 'g', QLocale::FloatingPointShortest);
    p.field(label("Test points (% of the nominal range)"), points.join(QStringLiteral(", ")));
    p.field(label("Readings averaged per point"), QString::number(run.plan.readings));
    p.field(label("Tolerance"),
            QStringLiteral("± ") + withUnit(tolerancePa(run)) +
                (run.plan.toleranceKind == ToleranceKind::PercentOfRange
                     ? QStringLiteral(" (") + QString::number(run.plan.tolerance, 'g', QLocale::FloatingPointShortest) +
                           QStringLiteral(" % ") + label("of the nominal range") + QLatin1Char(')')
                     : QString()));
    p.field(label("Unit"), run.unit.text);

    section(p, "Reference standard");
    const ReferenceStandard &s = run.plan.standard;
    p.field(label("Name"), s.name.isEmpty() ? QStringLiteral("-") : s.name);
    p.field(label("Serial number"), s.serial.isEmpty() ? QStringLiteral("-") : s.serial);
    p.field(label("Certificate number"), s.certificate.isEmpty() ? QStringLiteral("-") : s.certificate);
    p.field(label("Due date"), s.due.isValid() ? s.due.toString(Qt::ISODate) : QStringLiteral("-"));
    if (standardOverdue(run))
        p.text(label("The reference standard is past its due date: the run was still allowed."), p.bold);
    const std::optional<double> u = uncertaintyPa(run);
    p.field(label("Expanded uncertainty (k = 2)"), u ? withUnit(*u) : label("not stated"));
    section(p, "Ambient conditions");
    p.field(label("Temperature"), run.plan.temperature.isEmpty() ? QStringLiteral("-") : run.plan.temperature);
    p.field(label("Humidity"), run.plan.humidity.isEmpty() ? QStringLiteral("-") : run.plan.humidity);

    results(p, "Results as found", run.asFound);
    section(p, "Adjustment");
    if (run.zeroAdjustment)
        p.text(label("Zero correction") + QStringLiteral(": ") + label("zero offset") + QLatin1Char(' ') +
                   withUnit(run.zeroAdjustment->first) + QStringLiteral(" → ") + withUnit(run.zeroAdjustment->second),
               p.body);
    else
        p.text(label("No adjustment"), p.body);
    if (!run.asLeft.empty())
        results(p, "Results as left", run.asLeft);
    if (!run.switches.empty()) {
        section(p, "Switch points");
        std::vector<QStringList> rows;
        std::vector<bool> failed;
        for (const SwitchRecord &sw : run.switches) {
            rows.push_back({QString::number(sw.output),
                            sw.mode >= 0 && sw.mode <= 4 ? label(kModeKeys[sw.mode]) : QStringLiteral("-"),
                            label(sw.direction == Direction::Rising ? "Rising" : "Falling"), number(sw.expectedPa),
                            number(sw.readingPa), number(sw.readingPa - sw.expectedPa),
                            label(sw.verdict == Verdict::Pass ? "Pass" : "Fail")});
            failed.push_back(sw.verdict == Verdict::Fail);
        }
        const QString unit = QStringLiteral(" [") + run.unit.text + QLatin1Char(']');
        p.table({label("Output"), label("Mode"), label("Direction"), label("Switching value") + unit,
                 label("Reading") + unit, label("Deviation") + unit, label("Result")},
                rows, {0.09, 0.17, 0.12, 0.17, 0.15, 0.15, 0.15}, failed);
    }
    p.space(3);
    p.box(p.mm(62), [&](QPainter &painter, const QRectF &area) { plot(painter, area, p); });

    section(p, "Conformity statement");
    if (run.stop) {
        p.text(label("The run did not finish") + QStringLiteral(": ") + tr(run.stop->reason) + QStringLiteral(" (") +
                   label(run.stop->phase == Phase::AsFound ? "as found" : "as left") + QStringLiteral(", ") +
                   label("Point") + QLatin1Char(' ') + QString::number(run.stop->point) +
                   QStringLiteral("). ") + label("No conformity is stated."),
               p.bold);
    } else {
        p.text(label(overallVerdict(run) == Verdict::Pass
                         ? "The transmitter conforms to the tolerance at every test point."
                         : "The transmitter does not conform to the tolerance."),
               p.bold);
    }
    bool inconclusive = false;
    for (const auto *phase : {&run.asFound, &run.asLeft})
        for (const PointRecord &pt : *phase)
            inconclusive = inconclusive || pt.result.certainty == Certainty::Inconclusive;
    if (inconclusive)
        p.text(label("Some results are inconclusive: the uncertainty reaches across the tolerance limit."), p.body);
    p.space(1);
    p.text(label("Decision rule: a point passes when |error| ≤ tolerance. With an expanded uncertainty U, a pass is "
                 "conclusive when |error| + U ≤ tolerance and a fail when |error| − U > tolerance, otherwise the "
                 "result is inconclusive."),
           p.body);

    section(p, "Performed by");
    p.field(label("Operator"), run.plan.operatorName.isEmpty() ? QStringLiteral("-") : run.plan.operatorName);
    p.field(label("Signature"), QStringLiteral("\n______________________________"));
    p.text(label("The signature confirms that the person named performed the verification as recorded here."),
           p.small);
    section(p, "SHA-256 of the run's data as stored in the journal");
    p.text(sha, p.small);
    p.space(4);
    p.text(QStringLiteral("— ") + label("End of certificate") + QStringLiteral(" —"), p.bold, Qt::AlignHCenter);
    p.finish();
}

} // namespace

QByteArray certificatePdf(const Run &run, const QString &sha256, const Translator &tr, int *pageCount)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(kResolution);
    writer.setTitle(tr(QStringLiteral("Verification certificate")) + QLatin1Char(' ') + run.certificate);
    writer.setCreator(QStringLiteral("QZ5801 User Software"));
    const Drawing drawing(run, sha256, tr);
    int pages = 0;
    {
        PageLayout counting(writer, nullptr);
        drawing.lay(counting, 0);
        pages = counting.page();
    }
    QPainter painter(&writer);
    PageLayout drawingLayout(writer, &painter);
    drawing.lay(drawingLayout, pages);
    painter.end();
    if (pageCount)
        *pageCount = pages;
    return bytes;
}

bool writeCertificate(const Run &run, const QString &sha256, const Translator &tr, const QString &path,
                      QString &problem)
{
    const QByteArray pdf = certificatePdf(run, sha256, tr);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size() || !file.commit()) {
        problem = file.errorString();
        return false;
    }
    return true;
}

} // namespace verification
