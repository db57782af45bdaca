#include "Payloads.h"

#include "JournalEntry.h"
#include "LiveValue.h"
#include "NumberText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace mqtt {

QByteArray valuePayload(const QDateTime &time, float valuePa, const std::array<bool, 3> &outputs)
{
    // Written by hand so value_pa carries exactly the shortest text, not a double's digits.
    QByteArray json = "{\"time\":\"";
    // the offset always written (local time alone prints none): "+01:00", or "Z" at UTC
    json += time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
    json += "\",\"value_pa\":";
    json += std::isfinite(valuePa) ? QByteArray::fromStdString(shortestFloatText(valuePa)) : QByteArray("null");
    json += ",\"outputs\":[";
    for (std::size_t i = 0; i < outputs.size(); ++i)
        json += (i ? "," : "") + QByteArray(outputs[i] ? "true" : "false");
    json += "]}";
    return json;
}

QByteArray eventPayload(const journal::Entry &e)
{
    const auto text = [](const QString &s) { return s.isEmpty() ? QJsonValue() : QJsonValue(s); };
    const auto time = [](const QDateTime &t) {
        return t.isValid() ? QJsonValue(t.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
    };
    QJsonObject o{{"record", e.id > 0 ? QJsonValue(e.id) : QJsonValue()},
                  {"operation", e.operation},
                  {"result", journal::resultName(e.result)},
                  {"detail", text(e.detail)},
                  {"serial", e.serial ? QJsonValue(*e.serial) : QJsonValue()},
                  {"location", text(e.location)},
                  {"begun", time(e.begun)},
                  {"finished", time(e.finished)},
                  {"station", e.station},
                  {"user", e.user},
                  {"program", e.program},
                  {"version", e.version},
                  {"file", text(e.fileName)},
                  {"file_sha256", text(e.fileSha256)},
                  {"changes", QJsonArray::fromStringList(e.before.changesTo(e.requested))}};
    if (e.restoredFrom)
        o.insert("restored_from", *e.restoredFrom);
    // A verification names its certificate and the hash of its data; the data
    // itself stays in the journal.
    if (e.attachment) {
        o.insert("kind", e.attachment->kind);
        o.insert("certificate", text(e.attachment->certificate));
        o.insert("data_sha256", text(e.attachment->dataSha256));
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

const std::array<bool, 3> &OutputLamps::follow(float value, const std::array<float, 3> &lower,
                                               const std::array<float, 3> &higher, const std::array<int, 3> &modes)
{
    for (std::size_t o = 0; o < shown.size(); ++o)
        if (display::decideOutputState(value, lower[o], higher[o], modes[o], state))
            shown[o] = state;
    return shown;
}

} // namespace mqtt
