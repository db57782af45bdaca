#include "RangeNumber.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

std::optional<double> readRangeNumber(const QString &text, QChar localeSeparator)
{
    QString plain = text.trimmed();
    plain.replace(localeSeparator, u'.');
    static const QRegularExpression shape(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    if (!shape.match(plain).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}
