#include "PublishDialog.h"

#include "BrokerAddress.h"
#include "Dialogs.h"
#include "Lang.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// An empty text when the settings can be used.
QString problemOf(const MqttSettings &s)
{
    if (!s.enabled && s.broker.isEmpty())
        return {};
    std::string problem;
    const auto a = mqtt::parseBrokerAddress(s.broker.toStdString(), problem);
    if (!a)
        return translate(QStringLiteral("The broker address is not valid")) + QStringLiteral(": ") +
               QString::fromStdString(problem);
    if (a->password)
        return translate(QStringLiteral("Leave the password out of the broker address"));
    if (const std::string p = mqtt::prefixProblem(s.prefix.toStdString()); !p.empty())
        return translate(QStringLiteral("The topic prefix is not valid")) + QStringLiteral(": ") +
               QString::fromStdString(p);
    return {};
}

} // namespace

bool runPublishDialog(QWidget *parent, MqttSettings &settings)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("publishDialog"));
    dialog.setWindowTitle(translate(QStringLiteral("Publish to MQTT")));
    auto *form = new QFormLayout(&dialog);
    auto *enabled = new QCheckBox(translate(QStringLiteral("Publish to MQTT")), &dialog);
    enabled->setObjectName(QStringLiteral("enabled"));
    enabled->setChecked(settings.enabled);
    auto *broker = new QLineEdit(settings.broker, &dialog);
    broker->setObjectName(QStringLiteral("broker"));
    broker->setPlaceholderText(QStringLiteral("mqtt://host:1883"));
    auto *prefix = new QLineEdit(settings.prefix, &dialog);
    prefix->setObjectName(QStringLiteral("prefix"));
    auto *user = new QLineEdit(settings.user, &dialog);
    user->setObjectName(QStringLiteral("user"));
    auto *problem = new QLabel(&dialog);
    problem->setObjectName(QStringLiteral("problem"));
    problem->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(translate(QStringLiteral("Cancel")));
    form->addRow(enabled);
    form->addRow(translateWithColon(QStringLiteral("Broker")), broker);
    form->addRow(translateWithColon(QStringLiteral("Topic prefix")), prefix);
    form->addRow(translateWithColon(QStringLiteral("User")), user);
    form->addRow(problem);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        MqttSettings chosen{enabled->isChecked(), broker->text().trimmed(), prefix->text().trimmed(),
                            user->text().trimmed()};
        const QString why = problemOf(chosen);
        if (!why.isEmpty()) {
            problem->setText(why); // the dialog stays open with what was typed
            return;
        }
        settings = chosen;
        dialog.accept();
    });
    return execModal(dialog) == QDialog::Accepted;
}
