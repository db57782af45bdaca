#include "WindowPublisher.h"

#include "PublishChannel.h"
#include "PublishDialog.h"

#include "BrokerAddress.h"
#include "Lang.h"
#include "LiveValue.h"
#include "Main.h"
#include "Payloads.h"
#include "WindowJournal.h"

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

TWindowPublisher::TWindowPublisher(TMainF &window, TWindowJournal *journal, QString settingsPath)
    : QObject(&window), w(window), path(std::move(settingsPath))
{
    setObjectName(QStringLiteral("windowPublisher"));
    settings = readMqttSettings(path);
    menuItem = new QAction(&w);
    menuItem->setObjectName(QStringLiteral("menuPublishToMqtt"));
    w.menuSettings->addAction(menuItem);
    connect(menuItem, &QAction::triggered, this, &TWindowPublisher::openDialog);
    status = new QLabel(w.statusbar);
    status->setObjectName(QStringLiteral("mqttStatus"));
    status->hide();
    w.statusbar->addPermanentWidget(status, 0);

    connect(&w, &TMainF::translated, this, &TWindowPublisher::retranslate);
    connect(&w, &TMainF::serialNumberRead, this, [this](uint16_t s) {
        if (serial == s)
            return;
        serial = s;
        restart();
    });
    connect(&w, &TMainF::liveValuePolled, this, &TWindowPublisher::liveValuePolled);
    if (journal)
        connect(journal, &TWindowJournal::recordMade, this, &TWindowPublisher::recordMade);
    retranslate();
    showConnection();
}

TWindowPublisher::~TWindowPublisher() = default;

void TWindowPublisher::retranslate()
{
    menuItem->setText(translateWithEllipsis(QStringLiteral("Publish to MQTT")));
    showConnection();
}

void TWindowPublisher::openDialog()
{
    MqttSettings chosen = settings;
    if (!runPublishDialog(&w, chosen))
        return;
    const bool changed = chosen.enabled != settings.enabled || chosen.broker != settings.broker ||
                         chosen.prefix != settings.prefix || chosen.user != settings.user;
    if (chosen.user != settings.user)
        password.reset();
    settings = chosen;
    writeMqttSettings(path, settings);
    if (changed)
        restart();
}

void TWindowPublisher::restart()
{
    channel.reset(); // "offline" for the transmitter published so far
    problem.clear();
    if (settings.enabled && serial) {
        if (!password) {
            if (qEnvironmentVariableIsSet(mqtt::kPasswordVariable)) {
                password = qEnvironmentVariable(mqtt::kPasswordVariable);
            } else if (!settings.user.isEmpty()) {
                bool ok = false;
                const QString typed = QInputDialog::getText(&w, translate(QStringLiteral("Publish to MQTT")),
                                                            translateWithColon(QStringLiteral("Password")),
                                                            QLineEdit::Password, QString(), &ok);
                if (ok)
                    password = typed;
            } else {
                password = QString();
            }
        }
        if (password) {
            if (const PublishChannelFactory open = publishChannelFactory(problem)) {
                ChannelSettings s{settings.broker.toStdString(), settings.user.toStdString(),
                                  password->toStdString(), settings.prefix.toStdString(), *serial};
                channel.reset(open(
                    s,
                    [this](bool) {
                        QMetaObject::invokeMethod(this, &TWindowPublisher::showConnection, Qt::QueuedConnection);
                    },
                    problem));
            }
        }
    }
    showConnection();
}

void TWindowPublisher::showConnection()
{
    if (!settings.enabled) {
        status->hide();
        return;
    }
    const bool up = channel && channel->connected();
    QString text = translate(up ? QStringLiteral("MQTT: connected") : QStringLiteral("MQTT: not connected"));
    QString tip = problem;
    if (channel && channel->eventsDropped())
        tip = translateFormat(QStringLiteral("Events not published: %i"), int(channel->eventsDropped()));
    if (!serial)
        tip = translate(QStringLiteral("Publishing starts when Device Info has read the serial number"));
    status->setText(text);
    status->setToolTip(tip);
    status->show();
}

void TWindowPublisher::liveValuePolled(int outcome, float pascal)
{
    if (!channel || outcome != display::Poll::Value)
        return;
    // the lamps as the poll has just set them
    const std::array<bool, 3> outputs{w.AHMLed1->value() != 0, w.AHMLed2->value() != 0, w.AHMLed3->value() != 0};
    channel->publishValue(mqtt::valuePayload(QDateTime::currentDateTime(), pascal, outputs));
    if (status->text().isEmpty() || channel->connected() != (status->property("up").toBool())) {
        status->setProperty("up", channel->connected());
        showConnection();
    }
}

void TWindowPublisher::recordMade(const journal::Entry &entry)
{
    if (!channel || !serial)
        return;
    journal::Entry e = entry;
    if (!e.serial)
        e.serial = int(*serial);
    channel->publishEvent(mqtt::topicOf(settings.prefix.toStdString(), unsigned(*e.serial), "event"),
                          mqtt::eventPayload(e));
}
