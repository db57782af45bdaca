// history and restore: reading the write journal, and writing back the
// configuration a transmitter had before a journaled write.
#include "ConfigShared.h"
#include "RestoreChoice.h"
#include "WriteJournal.h"

#include "Journal.h"
#include "MemoryMap.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstring>

namespace cli {

namespace {

// A date, or a date and time; local time unless a zone is given.
QDateTime parseSince(const std::string &text)
{
    const QString t = QString::fromStdString(text);
    // (QDate would take the date of a date and time too)
    if (const QDate day = QDate::fromString(t, Qt::ISODate); day.isValid() && t.size() == 10)
        return day.startOfDay();
    QDateTime time = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(t, Qt::ISODate);
    if (!time.isValid() || time.timeSpec() != Qt::LocalTime)
        return time;
    // a local time the clock shows twice (summer time ending) means its first
    // instant, so nothing of that hour is left out
    for (const int shift : {3600, 1800, 7200}) {
        const QDateTime earlier = time.addSecs(-shift);
        if (earlier.date() == time.date() && earlier.time() == time.time())
            return earlier;
    }
    return time;
}

// The journal of --journal, QZ5801_JOURNAL or the default; false with the reason on the sink.
bool openJournal(const Options &options, std::unique_ptr<journal::Journal> &out, Sink &sink, bool readOnly)
{
    try {
        out = openJournalOf(options, "Cannot use the journal: ", readOnly);
        return true;
    } catch (const journal::JournalError &e) {
        sink.fail(e.what());
        return false;
    }
}

QJsonValue memoryJson(const journal::MemoryContent &c)
{
    if (c.empty())
        return QJsonValue();
    return QJsonObject{{"memory", c.toText()}, {"fields", QJsonArray::fromStringList(c.describe())}};
}

QString timeText(const QDateTime &t) { return t.isValid() ? t.toString(Qt::ISODateWithMs) : QString(); }

QJsonObject entryJson(const journal::Entry &e)
{
    const auto textOrNull = [](const QString &s) { return s.isEmpty() ? QJsonValue() : QJsonValue(s); };
    return QJsonObject{{"id", double(e.id)},
                       {"time", timeText(e.begun)},
                       {"finished", textOrNull(timeText(e.finished))},
                       {"station", e.station},
                       {"user", e.user},
                       {"program", e.program},
                       {"version", e.version},
                       {"process", double(e.processId)},
                       {"operation", e.operation},
                       {"serial", e.serial ? QJsonValue(*e.serial) : QJsonValue()},
                       {"location", textOrNull(e.location)},
                       {"file", textOrNull(e.fileName)},
                       {"file_sha256", textOrNull(e.fileSha256)},
                       {"before", memoryJson(e.before)},
                       {"requested", memoryJson(e.requested)},
                       {"after", memoryJson(e.after)},
                       {"result", journal::resultName(e.result)},
                       {"detail", textOrNull(e.detail)},
                       {"restored_from", e.restoredFrom ? QJsonValue(double(*e.restoredFrom)) : QJsonValue()},
                       {"certificate", e.attachment ? textOrNull(e.attachment->certificate) : QJsonValue()},
                       {"data_sha256", e.attachment ? textOrNull(e.attachment->dataSha256) : QJsonValue()}};
}

// A text from outside for a history line: what could end the line, start
// another or turn the text around (control characters, line and paragraph
// separators, bidirectional marks and overrides) shown as \xNN or \uNNNN.
QString escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const QChar::Category c = ch.category();
        if (c == QChar::Other_Control || c == QChar::Other_Format || c == QChar::Separator_Line ||
            c == QChar::Separator_Paragraph || c == QChar::Other_Surrogate)
            out += ch.unicode() < 0x100 ? QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'))
                                        : QStringLiteral("\\u%1").arg(ch.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return out;
}

std::string entryText(const journal::Entry &e)
{
    QString s = QStringLiteral("#%1  %2  %3  serial %4%5  %6\n")
                    .arg(e.id)
                    .arg(timeText(e.begun), escaped(e.operation),
                         e.serial ? QString::number(*e.serial) : QStringLiteral("-"),
                         e.location.isEmpty() ? QStringLiteral(" (USB location unknown)")
                                              : QStringLiteral(" at ") + escaped(e.location),
                         journal::resultName(e.result));
    s += QStringLiteral("    %1@%2, %3 %4")
             .arg(escaped(e.user), escaped(e.station), escaped(e.program), escaped(e.version));
    if (e.finished.isValid())
        s += QStringLiteral(", finished %1").arg(timeText(e.finished));
    s += QLatin1Char('\n');
    if (!e.fileName.isEmpty())
        s += QStringLiteral("    file %1 (sha256 %2)\n").arg(escaped(e.fileName), escaped(e.fileSha256));
    if (e.restoredFrom)
        s += QStringLiteral("    restores the configuration before record #%1\n").arg(*e.restoredFrom);
    // the whole memory is in --json; here what the write changed
    if (!e.before.empty() && !e.requested.empty()) {
        const QStringList changes = e.before.changesTo(e.requested);
        s += QStringLiteral("    changes: %1\n")
                 .arg(changes.isEmpty() ? QStringLiteral("none") : changes.join(QStringLiteral(", ")));
    } else if (!e.requested.empty()) {
        s += QStringLiteral("    sent: %1\n").arg(e.requested.describe().join(QStringLiteral(", ")));
    }
    if (!e.after.empty() && !e.requested.empty() && e.after != e.requested)
        s += QStringLiteral("    read back: %1\n").arg(e.requested.changesTo(e.after).join(QStringLiteral(", ")));
    if (!e.detail.isEmpty())
        s += QStringLiteral("    %1\n").arg(escaped(e.detail));
    if (e.attachment)
        s += QStringLiteral("    certificate %1, data sha256 %2 (qz5801-cli certificate --record %3 FILE.pdf)\n")
                 .arg(escaped(e.attachment->certificate), e.attachment->dataSha256)
                 .arg(e.id);
    return s.toLocal8Bit().toStdString();
}

} // namespace

std::string sinceProblem(const std::string &text)
{
    if (parseSince(text).isValid())
        return {};
    return "--since: \"" + text + "\" is not a time (2026-12-10, 2026-12-10T08:30 local time, or with Z or +01:00)";
}

int runHistory(const Options &options)
{
    Sink sink(false);
    std::unique_ptr<journal::Journal> book;
    if (!openJournal(options, book, sink, true))
        return ExitFailure;
    journal::Filter filter;
    if (options.serial)
        filter.serial = int(*options.serial);
    if (!options.since.empty())
        filter.since = parseSince(options.since);
    try {
        std::vector<journal::Entry> entries = book->history(filter);
        // a verification run names its certificate and data
        for (journal::Entry &e : entries)
            if (e.operation == QLatin1String("verification"))
                e.attachment = book->attachment(e.id);
        if (options.json) {
            QJsonArray list;
            for (const journal::Entry &e : entries)
                list.append(entryJson(e));
            std::printf("%s", QJsonDocument(list).toJson(QJsonDocument::Indented).constData());
        } else {
            for (const journal::Entry &e : entries)
                std::printf("%s", entryText(e).c_str());
        }
    } catch (const journal::JournalError &e) {
        return sink.fail(e.what());
    }
    std::fflush(stdout);
    return ExitOk;
}

int runRestore(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    const std::optional<uint16_t> serial = target.serial ? target.serial : readSerialRetried(link, target.instance);
    if (!serial)
        return sink.fail("Device not reply: the serial number could not be read; nothing was written");
    const bool shared = serialShared(link, target, *serial);
    std::optional<journal::Entry> record;
    {
        // the look-up only reads: nothing is made or changed in what it opens
        std::unique_ptr<journal::Journal> book;
        if (!openJournal(options, book, sink, true))
            return ExitFailure;
        try {
            RestoreChoice choice = chooseRecord(*book, options, *serial, target.location, shared);
            if (!choice.record) {
                sink.err(choice.problem);
                return choice.code;
            }
            record = std::move(choice.record);
        } catch (const journal::JournalError &e) {
            return sink.fail(e.what());
        }
    }
    const std::string name = "record " + std::to_string(record->id);
    if (!record->before.has(memmap::kSpecificGravity, memmap::kFloatSize) ||
        !record->before.has(memmap::kOutputBlock, memmap::kOutputBlockSize))
        return sink.fail(name + " holds no configuration from before its write; nothing was written");

    Image wanted(kImageSpan, 0);
    for (const auto &[address, bytes] : record->before.regions)
        if (address + std::size_t(bytes.size()) <= wanted.size())
            std::memcpy(wanted.data() + address, bytes.constData(), std::size_t(bytes.size()));

    Target known = target;
    known.serial = serial;
    WriteJournal entry(options, known, "restore");
    if (!entry.open(sink))
        return entry.stopped(sink);
    if (const int signal = heldSignal()) {
        sink.err(signalLine(signal, false));
        entry.interrupted(signal, sink);
        return 128 + signal;
    }
    Image before;
    try {
        readTransmitter(link, before, nullptr);
    } catch (const std::exception &) {
        sink.err("Error reading configuration");
        entry.refused("Error reading configuration (at " + lastTransaction(link) + ")", sink);
        return sink.fail("Nothing was written");
    }
    if (!entry.begin(link, before, wanted, sink, record->id))
        return entry.stopped(sink);
    if (const int signal = heldSignal()) {
        sink.err(signalLine(signal, false));
        entry.interrupted(signal, sink);
        return 128 + signal;
    }

    // The bytes as they were, not a text made from them, in the frames and
    // order of a configuration write.
    WriteOutcome w;
    try {
        inBracket(link, [&] {
            link.writeMemory(memmap::kSpecificGravity, wanted.data() + memmap::kSpecificGravity, memmap::kFloatSize);
            w.gravityAcknowledged = true;
            link.writeMemory(memmap::kOutputBlock, wanted.data() + memmap::kOutputBlock, memmap::kOutputBlockSize);
            w.blockAcknowledged = true;
        });
    } catch (const std::exception &) {
        w.failed = true;
    }
    if (w.failed) {
        const std::string transaction = lastTransaction(link);
        const PartialWrite partial = examinePartialWrite(link, wanted, before, w, known, entry.id());
        entry.failed(transaction, partial.now ? &*partial.now : nullptr, sink, heldDuringWrite({}));
        sink.err(partial.report);
        return entry.exitCode(heldSignal() ? 128 + heldSignal() : ExitFailure);
    }

    const int heldAtReadBack = heldSignal();
    Image after;
    try {
        readTransmitter(link, after, nullptr);
    } catch (const std::exception &) {
        entry.written(nullptr, sink, heldDuringWrite("not read back", heldAtReadBack));
        sink.err("Written, but the configuration could not be read back: Error reading configuration");
        return entry.exitCode(heldSignal() ? 128 + heldSignal() : ExitFailure);
    }
    QJsonArray wrong;
    std::string mismatches;
    for (const Field &field : fields()) {
        if (sameBytes(wanted, after, field))
            continue;
        wrong.append(QString::fromStdString(field.name()));
        mismatches +=
            field.name() + ": wrote " + fieldText(wanted, field) + ", reads " + fieldText(after, field) + "\n";
    }
    // the record first: printing may fail (a closed pipe), the record must not
    if (!wrong.isEmpty()) {
        entry.verifyFailed(after, sink, heldDuringWrite({}, heldAtReadBack));
        sink.err(mismatches + "Verification failed: the transmitter holds another configuration than was written");
    } else {
        entry.written(&after, sink, heldDuringWrite({}, heldAtReadBack));
    }

    if (options.json) {
        QJsonArray changed;
        for (const Field &field : fields())
            if (!sameBytes(wanted, before, field))
                changed.append(QJsonObject{{"name", QString::fromStdString(field.name())},
                                           {"before", fieldJson(before, field)},
                                           {"written", fieldJson(wanted, field)}});
        sink.json(QJsonObject{{"written", true},
                              {"verified", wrong.isEmpty()},
                              {"restored_from", double(record->id)},
                              {"record", entry.id() ? QJsonValue(double(entry.id())) : QJsonValue()},
                              {"changed", changed},
                              {"verify_failed", wrong}});
    } else if (wrong.isEmpty() && entry.exitCode(ExitOk) != ExitOk) {
        sink.out("Configuration restored from " + name + "; its journal record is not completed\n");
    } else if (wrong.isEmpty() && !options.quiet) {
        sink.out("Configuration restored from " + name +
                 (entry.id() ? " (journal record " + std::to_string(entry.id()) + ")" : std::string()) + "\n");
    }
    if (const int signal = heldSignal()) {
        sink.err(signalLine(signal, true));
        return 128 + signal;
    }
    return entry.exitCode(wrong.isEmpty() ? ExitOk : ExitFailure);
}

} // namespace cli
