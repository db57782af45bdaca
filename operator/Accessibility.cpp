#include "Accessibility.h"

#include "Lang.h"
#include "Main.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

QString lampStateText(int output, bool on)
{
    return translateFormat(on ? QStringLiteral("Output %i: on") : QStringLiteral("Output %i: off"), output);
}

void nameMainWindowControls(TMainF &w)
{
    const std::array<QLineEdit *, 3> lower{w.V1_P1, w.V2_P1, w.V3_P1};
    const std::array<QLineEdit *, 3> higher{w.V1_P2, w.V2_P2, w.V3_P2};
    const std::array<QComboBox *, 3> modes{w.comboBoxConfiguration1, w.comboBoxConfiguration2,
                                           w.comboBoxConfiguration3};
    for (int i = 0; i < 3; ++i) {
        const auto o = static_cast<std::size_t>(i);
        lower[o]->setAccessibleName(translateFormat(QStringLiteral("Output %i lower value"), i + 1));
        higher[o]->setAccessibleName(translateFormat(QStringLiteral("Output %i higher value"), i + 1));
        // A combo box reads out its selected item as its name; what it is goes in the description.
        modes[o]->setAccessibleName(translateFormat(QStringLiteral("Output %i configuration"), i + 1));
        modes[o]->setAccessibleDescription(modes[o]->accessibleName());
    }
    w.Rozsah->setAccessibleName(translate(QStringLiteral("Nominal range")));
    w.Ro->setAccessibleName(translate(QStringLiteral("Specific gravity")) + QStringLiteral(" [kg/m^3]"));
    w.Hvezdicka->setAccessibleName(translate(QStringLiteral("Poll in progress")));
    w.StatusBar1->setAccessibleDescription(translate(QStringLiteral("Status")));
    nameLamps(w);
    nameLiveValue(w);
}

void nameLamps(TMainF &w)
{
    const std::array<QProgressBar *, 3> lamps{w.AHMLed1, w.AHMLed2, w.AHMLed3};
    for (int i = 0; i < 3; ++i) {
        QProgressBar *lamp = lamps[static_cast<std::size_t>(i)];
        lamp->setAccessibleName(lampStateText(i + 1, lamp->value() > lamp->minimum()));
    }
}

void nameLiveValue(TMainF &w)
{
    w.Aktualni->setAccessibleName(translateWithColon(QStringLiteral("Actual value")) + w.Aktualni->text());
}
