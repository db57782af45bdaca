#include "PageLayout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace verification {

namespace {

constexpr double kSideMm = 18;
constexpr double kTopMm = 28;    // below the page's header
constexpr double kBottomMm = 22; // above its footer
constexpr double kCellPaddingMm = 1.2;

QFont font(double points, bool bold)
{
    // DejaVu has the Czech and German letters; any sans face stands in
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    // no ligatures, so the PDF's text reads back letter for letter ("fi", not one glyph)
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
}

} // namespace

PageLayout::PageLayout(QPdfWriter &writer, QPainter *painter)
    : body(font(9, false)), bold(font(9, true)), small(font(7.5, false)), title(font(15, true)), writer(writer),
      painter(painter), dpi(writer.resolution())
{
    left = mm(kSideMm);
    right = writer.width() - mm(kSideMm);
    top = mm(kTopMm);
    bottom = writer.height() - mm(kBottomMm);
}

double PageLayout::lineHeight(const QFont &f) const { return QFontMetricsF(f, &writer).lineSpacing(); }

void PageLayout::begin()
{
    pageNumber = 1;
    y = top;
    if (header)
        header(*this);
}

void PageLayout::finish()
{
    if (footer)
        footer(*this, pageNumber);
}

void PageLayout::newPage()
{
    if (footer)
        footer(*this, pageNumber);
    if (painter)
        writer.newPage();
    ++pageNumber;
    y = top;
    if (header)
        header(*this);
}

void PageLayout::need(double height)
{
    if (y + height > bottom && y > top)
        newPage();
}

void PageLayout::textAt(const QRectF &rect, const QString &text, const QFont &f, int flags)
{
    if (!painter)
        return;
    painter->setFont(f);
    painter->setPen(Qt::black);
    painter->drawText(rect, flags, text);
}

void PageLayout::text(const QString &text, const QFont &f, Qt::Alignment align, double indent)
{
    const QRectF area(left + indent, 0, width() - indent, 1e6);
    const int flags = int(align) | Qt::TextWordWrap;
    const QRectF bounds = QFontMetricsF(f, &writer).boundingRect(area, flags, text);
    need(bounds.height());
    textAt(QRectF(left + indent, y, width() - indent, bounds.height()), text, f, flags);
    y += bounds.height();
}

void PageLayout::field(const QString &label, const QString &value)
{
    const double labelWidth = width() * 0.40;
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const QRectF valueArea(0, 0, width() - labelWidth, 1e6);
    const double h = std::max(QFontMetricsF(body, &writer).boundingRect(valueArea, flags, value).height(),
                              QFontMetricsF(bold, &writer).boundingRect(QRectF(0, 0, labelWidth, 1e6), flags, label)
                                  .height());
    need(h);
    textAt(QRectF(left, y, labelWidth, h), label, bold, flags);
    textAt(QRectF(left + labelWidth, y, width() - labelWidth, h), value, body, flags);
    y += h + mm(0.6);
}

void PageLayout::row(const QStringList &cells, const std::vector<double> &widths, const QFont &f, bool shaded)
{
    const double h = lineHeight(f) + mm(2 * kCellPaddingMm);
    if (painter) {
        painter->setPen(QPen(Qt::gray, mm(0.15)));
        painter->setBrush(shaded ? QColor(235, 235, 235) : QColor(Qt::white));
        painter->drawRect(QRectF(left, y, width(), h));
    }
    double x = left;
    for (int i = 0; i < cells.size() && std::size_t(i) < widths.size(); ++i) {
        const double w = widths[i] * width();
        textAt(QRectF(x + mm(kCellPaddingMm), y, w - mm(2 * kCellPaddingMm), h), cells[i], f,
               int(i == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        x += w;
    }
    y += h;
}

void PageLayout::table(const QStringList &head, const std::vector<QStringList> &rows,
                       const std::vector<double> &widths, const std::vector<bool> &emphasise)
{
    const double h = lineHeight(small) + mm(2 * kCellPaddingMm);
    need(2 * h);
    row(head, widths, small, true);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (y + h > bottom) {
            newPage();
            row(head, widths, small, true);
        }
        QFont f = small;
        f.setBold(i < emphasise.size() && emphasise[i]);
        row(rows[i], widths, f, false);
    }
}

void PageLayout::box(double height, const std::function<void(QPainter &, const QRectF &)> &draw)
{
    need(height);
    if (painter) {
        painter->save();
        draw(*painter, QRectF(left, y, width(), height));
        painter->restore();
    }
    y += height;
}

} // namespace verification
