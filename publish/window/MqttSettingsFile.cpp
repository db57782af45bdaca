#include "MqttSettingsFile.h"

#include "Settings.h"

#include <QFile>
#include <QSaveFile>

namespace {

const QByteArray kSection = "MQTT";
constexpr qsizetype kMaxFile = 64 * 1024;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxFile)
        return {};
    return f.read(kMaxFile);
}

} // namespace

QString mqttSettingsPath() { return settingsFilePath(QStringLiteral("qz5801-mqtt.ini")); }

MqttSettings readMqttSettings(const QString &path)
{
    MqttSettings s;
    const QByteArray bytes = fileBytes(path);
    const auto text = [&](const char *key) {
        const std::optional<QByteArray> v = iniValue(bytes, kSection, key);
        return v ? QString::fromUtf8(v->trimmed()) : QString();
    };
    s.enabled = text("Enabled") == QLatin1String("1");
    s.broker = text("Broker");
    if (const QString prefix = text("Prefix"); !prefix.isEmpty())
        s.prefix = prefix;
    s.user = text("User");
    return s;
}

bool writeMqttSettings(const QString &path, const MqttSettings &s)
{
    if (path.isEmpty())
        return false;
    const QByteArray bytes = setIniValues(fileBytes(path), kSection,
                                          {{"Enabled", s.enabled ? "1" : "0"},
                                           {"Broker", s.broker.toUtf8()},
                                           {"Prefix", s.prefix.toUtf8()},
                                           {"User", s.user.toUtf8()}});
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}
