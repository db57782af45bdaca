// Lays text, tables and a plot down A4 pages from top to bottom, starting a
// new page where the next piece does not fit. Run once without a painter to
// count the pages, then with one to draw them ("Page x of y").
#pragma once

#include <QFont>
#include <QPaintDevice>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QPainter;
class QPdfWriter;

namespace verification {

class PageLayout {
public:
    // painter null: only measures. header/footer draw the page's own lines.
    PageLayout(QPdfWriter &writer, QPainter *painter);

    std::function<void(PageLayout &)> header;
    std::function<void(PageLayout &, int page)> footer;

    double mm(double millimetres) const { return millimetres * dpi / 25.4; }
    double width() const { return right - left; }
    int page() const { return pageNumber; }

    void begin();
    void finish();
    void newPage();
    // Keeps the next height on this page, else starts a new one.
    void need(double height);
    void space(double millimetres) { y += mm(millimetres); }

    // Wrapped text across the width (or from an indent); returns its height.
    void text(const QString &text, const QFont &font, Qt::Alignment align = Qt::AlignLeft, double indent = 0);
    // Label and value in two columns.
    void field(const QString &label, const QString &value);
    // A table whose header row repeats on each page it runs onto; widths in
    // fractions of the page width.
    void table(const QStringList &head, const std::vector<QStringList> &rows, const std::vector<double> &widths,
               const std::vector<bool> &emphasise = {});
    // Draws into a box of the given height at the current position.
    void box(double height, const std::function<void(QPainter &, const QRectF &)> &draw);

    // For header and footer: text at a fixed place on the page.
    void textAt(const QRectF &rect, const QString &text, const QFont &font, int flags);
    QRectF pageRect() const { return QRectF(left, top, right - left, bottom - top); }

    QFont body;
    QFont bold;
    QFont small;
    QFont title;

private:
    double lineHeight(const QFont &font) const;
    void row(const QStringList &cells, const std::vector<double> &widths, const QFont &font, bool shaded);

    QPdfWriter &writer;
    QPainter *painter;
    double dpi;
    double left = 0, right = 0, top = 0, bottom = 0;
    double y = 0;
    int pageNumber = 0;
};

} // namespace verification
