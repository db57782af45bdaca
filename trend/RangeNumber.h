// A number typed for an axis' range. Free of widgets, so it is tested on its own.
#pragma once

#include <QChar>
#include <QString>

#include <optional>

// Blanks around, an optional sign, the locale's separator or a point, an
// optional exponent; nothing when the text is not that or not a finite number.
std::optional<double> readRangeNumber(const QString &text, QChar localeSeparator);
