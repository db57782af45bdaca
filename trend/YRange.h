// The Y axis' range: automatic, or fixed by two fields in the unit the
// window shows. The fixed range is kept in Pa, so a change of the unit
// keeps the same pressure range and only shows it in the new unit.
#pragma once

#include "TrendExport.h"

#include "RangeNumber.h"
#include "TrendView.h"

#include <QWidget>

#include <optional>
#include <utility>

class QCheckBox;
class QLabel;
class QLineEdit;
class QValueAxis;

class QZ_TREND_EXPORT TYRange : public QWidget {
    Q_OBJECT
public:
    // axis: the Y axis, whose shown range the fields start from.
    TYRange(TrendHost &host, const QValueAxis &axis, QWidget *parent = nullptr);

    void retranslate();
    // Lower and upper end in Pa; none while automatic.
    std::optional<std::pair<double, double>> fixedPascal() const { return fixed; }
    // Before each redraw: a unit changed in the window shows the fields in it.
    void followUnit();

    QLabel *caption = nullptr;
    QCheckBox *automaticCheck = nullptr;
    QLabel *fromCaption = nullptr;
    QLineEdit *fromEdit = nullptr;
    QLabel *toCaption = nullptr;
    QLineEdit *toEdit = nullptr;
    QLabel *errorLabel = nullptr; // under the fields: what is wrong with them, if anything

signals:
    // The range to draw changed.
    void changed();

private:
    void automaticToggled(bool automatic);
    void readFields();
    void showFields();
    enum class Error { None, NotANumber, Order, TooLarge };
    void markError(QLineEdit *edit, Error error);

    TrendHost &host;
    const QValueAxis &axis;
    std::optional<std::pair<double, double>> fixed;
    TrendDisplay shownIn; // the unit the fields show
    QString notANumber;
    QString fromBelowTo;
    QString tooLarge;
    Error fromError = Error::None;
    Error toError = Error::None;
};
