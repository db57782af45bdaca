#include "RestoreChoice.h"

#include "Journal.h"

namespace cli {

namespace {

enum class Whose { Ours, Other, Unclear };

Whose whose(const journal::Entry &e, uint16_t serial, const std::string &location, bool shared)
{
    if (!e.serial || *e.serial != serial)
        return Whose::Other;
    if (!e.location.isEmpty() && !location.empty())
        return e.location.toStdString() == location ? Whose::Ours : Whose::Other;
    // one location unknown: the serial number alone tells only when nobody else holds it
    return shared ? Whose::Unclear : Whose::Ours;
}

std::string candidateLine(const journal::Entry &e)
{
    return "  restore --record " + std::to_string(e.id) + "  " +
           e.begun.toString(Qt::ISODateWithMs).toStdString() + "  " + e.operation.toStdString() + "  " +
           transmitterName(e.serial, e.location) + "  " + journal::resultName(e.result).toStdString();
}

} // namespace

std::string transmitterName(const std::optional<int> &serial, const QString &location)
{
    const std::string s = serial ? std::to_string(*serial) : std::string("(serial number unknown)");
    return s + (location.isEmpty() ? std::string(" (USB location unknown)") : " at " + location.toStdString());
}

RestoreChoice chooseRecord(journal::Journal &book, const Options &options, uint16_t serial,
                           const std::string &location, bool shared)
{
    const QString here = QString::fromStdString(location);
    const std::string thisOne = transmitterName(int(serial), here);
    RestoreChoice choice;
    if (options.recordId) {
        choice.record = book.record(qint64(*options.recordId));
        if (!choice.record) {
            choice.code = ExitFailure;
            choice.problem = "The journal has no record " + std::to_string(*options.recordId);
        } else if (whose(*choice.record, serial, location, shared) == Whose::Other) {
            choice.code = ExitFailure;
            choice.problem = "record " + std::to_string(choice.record->id) + " is of transmitter " +
                             transmitterName(choice.record->serial, choice.record->location) +
                             ", not of this one (" + thisOne + "); nothing was written";
            choice.record.reset();
        }
        // one whose location is unknown is taken when asked for by number: the
        // candidates' list below sends the user here
        return choice;
    }
    std::vector<journal::Entry> unclear;
    for (journal::Entry &e : book.writesOf(serial)) {
        const Whose w = whose(e, serial, location, shared);
        if (w == Whose::Other)
            continue;
        if (w == Whose::Unclear) {
            unclear.push_back(e);
            continue;
        }
        if (e.result == journal::Result::Begun) {
            // its outcome is unknown: restoring past it could undo the wrong write
            choice.code = ExitFailure;
            choice.problem = "record " + std::to_string(e.id) + " of this transmitter (" + thisOne +
                             ") did not finish, so what it left is unknown; nothing was written. Choose "
                             "explicitly:\n" +
                             candidateLine(e);
            return choice;
        }
        if (e.result != journal::Result::Written)
            continue;
        if (!unclear.empty()) {
            unclear.push_back(e);
            break;
        }
        choice.record = std::move(e);
        return choice;
    }
    if (!unclear.empty()) {
        choice.code = ExitUsage;
        choice.problem = "Several attached transmitters have serial number " + std::to_string(serial) +
                         ", and the journal's latest records of it do not tell which one they are of; "
                         "nothing was written. Choose one:";
        for (const journal::Entry &e : unclear)
            choice.problem += "\n" + candidateLine(e);
        return choice;
    }
    choice.code = ExitFailure;
    choice.problem = "The journal has no written configuration of transmitter " + thisOne;
    return choice;
}

bool serialShared(TFix64 &link, const Target &target, uint16_t serial)
{
    bool shared = false;
    const uint32_t count = link.deviceCount();
    for (uint32_t i = 0; i < count && !shared; ++i) {
        if (i == target.instance || link.deviceAccess(i) == DeviceAccess::Denied)
            continue;
        const std::optional<uint16_t> other = readSerial(link, i);
        shared = other && *other == serial;
    }
    connectTo(link, target.instance);
    return shared;
}

std::optional<uint16_t> readSerialRetried(TFix64 &link, uint32_t instance)
{
    std::optional<uint16_t> serial;
    for (int attempt = 0; attempt < 3 && !serial; ++attempt)
        serial = readSerial(link, instance);
    return serial;
}

} // namespace cli
