#include "YRange.h"

#include "ValueTicks.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QtCharts/QValueAxis>

#include <cmath>

namespace {

bool sameUnit(const TrendDisplay &a, const TrendDisplay &b)
{
    return a.factor == b.factor && a.decimals == b.decimals && a.unitText == b.unitText;
}

} // namespace

TYRange::TYRange(TrendHost &trendHost, const QValueAxis &yAxis, QWidget *parent)
    : QWidget(parent), host(trendHost), axis(yAxis), shownIn(trendHost.display())
{
    caption = new QLabel(this);
    automaticCheck = new QCheckBox(this);
    automaticCheck->setObjectName(QStringLiteral("trendYAutomatic"));
    automaticCheck->setChecked(true);
    fromCaption = new QLabel(this);
    fromEdit = new QLineEdit(this);
    fromEdit->setObjectName(QStringLiteral("trendYFrom"));
    toCaption = new QLabel(this);
    toEdit = new QLineEdit(this);
    toEdit->setObjectName(QStringLiteral("trendYTo"));
    fromCaption->setBuddy(fromEdit);
    toCaption->setBuddy(toEdit);
    for (QLineEdit *edit : {fromEdit, toEdit}) {
        edit->setEnabled(false);
        edit->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-000000.0000")));
        connect(edit, &QLineEdit::editingFinished, this, &TYRange::readFields);
    }
    setStyleSheet(QStringLiteral("QLineEdit[invalid=\"true\"] { border: 2px solid #c00000; }"));
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout;
    rows->addLayout(row);
    errorLabel = new QLabel(this);
    errorLabel->setObjectName(QStringLiteral("trendYError"));
    errorLabel->setStyleSheet(QStringLiteral("color: #c00000;"));
    errorLabel->hide();
    rows->addWidget(errorLabel);
    row->addWidget(caption);
    row->addWidget(automaticCheck);
    row->addWidget(fromCaption);
    row->addWidget(fromEdit);
    row->addWidget(toCaption);
    row->addWidget(toEdit);
    connect(automaticCheck, &QCheckBox::toggled, this, &TYRange::automaticToggled);
    retranslate();
}

void TYRange::retranslate()
{
    caption->setText(host.translateWithColon(QStringLiteral("Y axis")).trimmed());
    automaticCheck->setText(host.translate(QStringLiteral("Automatic")));
    automaticCheck->setAccessibleName(host.translate(QStringLiteral("Y axis automatic")));
    fromCaption->setText(host.translate(QStringLiteral("From")));
    toCaption->setText(host.translate(QStringLiteral("To")));
    fromEdit->setAccessibleName(host.translate(QStringLiteral("Y axis from")));
    toEdit->setAccessibleName(host.translate(QStringLiteral("Y axis to")));
    notANumber = host.translate(QStringLiteral("Invalid real number"));
    fromBelowTo = host.translate(QStringLiteral("From must be less than To"));
    tooLarge = host.translate(QStringLiteral("Value too large"));
    // A shown error in the new language.
    markError(fromEdit, fromError);
    markError(toEdit, toError);
}

void TYRange::automaticToggled(bool automatic)
{
    fromEdit->setEnabled(!automatic);
    toEdit->setEnabled(!automatic);
    if (automatic) {
        fixed.reset();
        // Automatic shows no numbers of its own: none that no longer hold.
        fromEdit->clear();
        toEdit->clear();
        markError(fromEdit, Error::None);
        markError(toEdit, Error::None);
    } else {
        // Fixed where it stands now.
        shownIn = host.display();
        const double factor = shownIn.factor != 0 ? double(shownIn.factor) : 1.0;
        fixed = std::make_pair(axis.min() / factor, axis.max() / factor);
        showFields();
    }
    emit changed();
}

void TYRange::followUnit()
{
    const TrendDisplay now = host.display();
    if (sameUnit(now, shownIn))
        return;
    shownIn = now;
    if (fixed)
        showFields();
}

void TYRange::showFields()
{
    const double factor = shownIn.factor;
    const double low = fixed->first * factor;
    const double high = fixed->second * factor;
    const int decimals = std::clamp(shownIn.decimals, 0, 6);
    const QChar separator = QLocale::system().decimalPoint().isEmpty() ? QChar(u'.') : QLocale::system().decimalPoint().at(0);
    auto text = [&](double value, char format, int precision) {
        return withoutNegativeZero(QLocale::c().toString(value, format, precision).replace(u'.', separator));
    };
    QString from = text(low, 'f', decimals);
    QString to = text(high, 'f', decimals);
    // Rounded to the unit's decimals the two ends may meet: then all the digits they need.
    if (!(readRangeNumber(from, separator).value_or(0) < readRangeNumber(to, separator).value_or(0))) {
        from = text(low, 'g', 12);
        to = text(high, 'g', 12);
    }
    fromEdit->setText(from);
    toEdit->setText(to);
    markError(fromEdit, Error::None);
    markError(toEdit, Error::None);
}

void TYRange::readFields()
{
    if (!fixed)
        return;
    const QString point = QLocale::system().decimalPoint();
    const QChar separator = point.isEmpty() ? QChar(u'.') : point.at(0);
    const std::optional<double> from = readRangeNumber(fromEdit->text(), separator);
    const std::optional<double> to = readRangeNumber(toEdit->text(), separator);
    markError(fromEdit, from ? Error::None : Error::NotANumber);
    markError(toEdit, to ? Error::None : Error::NotANumber);
    if (!from || !to)
        return;
    if (!(*from < *to)) {
        markError(fromEdit, Error::Order);
        markError(toEdit, Error::Order);
        return;
    }
    const double factor = shownIn.factor;
    const std::pair<double, double> range(*from / factor, *to / factor);
    if (factor == 0 || !std::isfinite(range.first) || !std::isfinite(range.second) || !(range.first < range.second)) {
        markError(fromEdit, Error::NotANumber);
        markError(toEdit, Error::NotANumber);
        return;
    }
    // Beyond a thousand million nominal ranges the axis shows no usable numbers.
    const double nominal = std::isfinite(shownIn.nominalPascal) && shownIn.nominalPascal > 0
                               ? double(shownIn.nominalPascal) : 1e5;
    const double limit = 1e9 * nominal;
    const bool fromTooLarge = std::abs(range.first) > limit;
    const bool toTooLarge = std::abs(range.second) > limit;
    if (fromTooLarge || toTooLarge) {
        markError(fromEdit, fromTooLarge ? Error::TooLarge : Error::None);
        markError(toEdit, toTooLarge ? Error::TooLarge : Error::None);
        return;
    }
    if (range != *fixed) {
        fixed = range;
        emit changed();
    }
}

void TYRange::markError(QLineEdit *edit, Error kind)
{
    (edit == fromEdit ? fromError : toError) = kind;
    const auto text = [this](Error e) {
        return e == Error::NotANumber ? notANumber : e == Error::Order ? fromBelowTo : e == Error::TooLarge ? tooLarge : QString();
    };
    const QString error = text(kind);
    const bool invalid = kind != Error::None;
    edit->setToolTip(error);
    edit->setAccessibleDescription(error);
    // Said in the window too, for those who use no mouse.
    const Error shown = fromError != Error::None ? fromError : toError;
    const QString line = text(shown);
    errorLabel->setText(line);
    errorLabel->setVisible(!line.isEmpty());
    if (edit->property("invalid").toBool() == invalid)
        return;
    edit->setProperty("invalid", invalid);
    edit->style()->unpolish(edit);
    edit->style()->polish(edit);
}
