// write-config in steps: the file read once and checked, the transmitter's
// configuration read before, checked against its range, the write bracket,
// the read-back, the report. Each step ends the run with its own words when
// it fails; what reached the transmitter is always said.
#include "ConfigShared.h"
#include "WriteJournal.h"

#include "ConfigurationExchange.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cstring>

namespace cli {

namespace {

// Prints the findings; true when any of them stops the write.
bool reportFindings(const LoadedFile &f, const std::vector<Finding> &findings, const Options &options, Sink &sink)
{
    bool refused = false;
    for (const Finding &finding : findings) {
        const bool blocks = !finding.forceable || !options.force;
        refused = refused || blocks;
        const std::string where = finding.line ? f.path + ":" + std::to_string(finding.line) + ": " : "";
        if (blocks)
            sink.err(where + finding.text);
        else
            sink.note("warning: " + where + finding.text + (finding.line ? "" : "; range check skipped (--force)"));
    }
    return refused;
}

// The one step that changes the transmitter: the window's write bracket.
WriteOutcome writeBracket(TFix64 &link, LoadedFile &f)
{
    WriteOutcome outcome;
    try {
        config::writeConfiguration(link, f.record, f.file.gravityText, f.file.modes, [&](uint32_t address) {
            (address == memmap::kSpecificGravity ? outcome.gravityAcknowledged : outcome.blockAcknowledged) = true;
        });
    } catch (const std::exception &) {
        outcome.failed = true;
    }
    return outcome;
}

} // namespace

PartialWrite examinePartialWrite(TFix64 &link, const Image &requested, const Image &before, const WriteOutcome &w,
                                 const Target &target, qint64 record)
{
    Image now;
    bool readBack = true;
    try {
        readTransmitter(link, now, nullptr);
    } catch (const std::exception &) {
        readBack = false;
    }
    std::string text = "Error writing configuration\n";
    if (readBack) {
        std::string written, kept, neither;
        for (const Field &field : fields()) {
            if (sameBytes(requested, before, field))
                continue; // the file left it as it was
            const std::string name = field.name();
            if (sameBytes(now, requested, field))
                written += "  " + name + "\n";
            else if (sameBytes(now, before, field))
                kept += "  " + name + "\n";
            else
                neither += "  " + name + ": " + fieldText(now, field) + "\n";
        }
        text += "read back from the transmitter, of the fields the file changes it now holds:\n";
        if (!written.empty())
            text += "the new value of:\n" + written;
        if (!kept.empty())
            text += "its old value of:\n" + kept;
        if (!neither.empty())
            text += "neither of:\n" + neither;
    } else {
        text += "the transmitter does not answer; by what it acknowledged:\n";
        text += w.gravityAcknowledged ? "  specific gravity: written\n"
                                      : "  specific gravity: not acknowledged (it may or may not have been taken)\n";
        text += w.blockAcknowledged   ? "  output block: written\n"
                : w.gravityAcknowledged ? "  outputs 1 to 3 (values and modes): not acknowledged (they may or may "
                                          "not have been taken)\n"
                                        : "  outputs 1 to 3 (values and modes): not written\n";
    }
    if (record) {
        // the journal holds the exact bytes, also those no file can hold
        text += "to restore the configuration it held before:\n  qz5801-cli " + selection(target) +
                " restore --record " + std::to_string(record) + "\n";
    } else {
        const std::string backup = saveBackup(before, target);
        if (backup.empty())
            text += "the configuration it held before could not be saved to a file\n";
        else
            text += "the configuration it held before is saved in " + backup + "; to restore it:\n  qz5801-cli " +
                    selection(target) + " write-config --force " + backup + "\n";
    }
    return {readBack ? std::optional<Image>(now) : std::nullopt, text};
}

std::string signalLine(int signal, bool written)
{
    return std::string("interrupted by ") + signalName(signal) +
           (written ? "; the configuration was written whole" : "; nothing was written");
}

std::string heldDuringWrite(const std::string &detail, int heldAtReadBack)
{
    const int signal = heldSignal();
    if (!signal)
        return detail;
    return (detail.empty() ? "" : detail + "; ") + signalName(signal) +
           (heldAtReadBack == 0 ? " came during the read-back, which ended first"
                                : " came during the write, which ended first");
}

int runWriteConfig(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    // --dry-run answers like diff(1): anything but "would change" or not is trouble
    const int trouble = options.dryRun ? ExitTrouble : ExitFailure;
    const auto refused = [&] {
        sink.err("Nothing was written");
        return trouble;
    };

    // 1. the file, read once and checked on its own; nothing sent yet
    std::optional<LoadedFile> f =
        options.preloaded ? std::optional<LoadedFile>(*options.preloaded) : loadFile(options.operands[0], sink);
    if (!f)
        return trouble;
    WriteJournal journal(options, target, "write-config", f->path, f->sha256);
    // the first finding that stops the write, for the journal
    const auto firstBlocking = [&](const std::vector<Finding> &list) {
        for (const Finding &finding : list)
            if (!finding.forceable || !options.force)
                return finding.line ? f->path + ":" + std::to_string(finding.line) + ": " + finding.text
                                    : f->path + ": " + finding.text;
        return std::string();
    };
    std::vector<Finding> findings = f->findings;
    bool blocked = false;
    for (const Finding &finding : findings)
        blocked = blocked || !finding.forceable || !options.force;
    if (blocked) {
        reportFindings(*f, findings, options, sink);
        journal.refused(firstBlocking(findings), sink);
        return refused();
    }
    // The journal opens meanwhile (startJournal); without it nothing is
    // written, which begin() says before the first write frame.

    // 2. what the transmitter holds now, and its range
    if (const int signal = heldSignal()) {
        sink.err(signalLine(signal, false));
        journal.interrupted(signal, sink);
        return 128 + signal;
    }
    Image before;
    float range = 0;
    try {
        readTransmitter(link, before, &range);
    } catch (const std::exception &) {
        sink.err("Error reading configuration");
        journal.refused("Error reading configuration (at " + lastTransaction(link) + ")", sink);
        return refused();
    }

    // 3. the switching values against this transmitter's range, as the window checks them
    const std::vector<Finding> outOfRange = rangeFindings(*f, range);
    findings.insert(findings.end(), outOfRange.begin(), outOfRange.end());
    if (reportFindings(*f, findings, options, sink)) {
        journal.refused(firstBlocking(findings), sink);
        return refused();
    }

    int different = 0;
    QJsonArray differing;
    for (const Field &field : fields())
        if (!sameBytes(f->image, before, field)) {
            ++different;
            differing.append(QString::fromStdString(field.name()));
        }
    sink.differing = differing;
    if (options.dryRun) {
        showDiff(*f, before, options, sink);
        if (!options.json)
            sink.note("nothing written (--dry-run)");
        return different ? ExitFailure : ExitOk;
    }

    // 4. the journal's record of the before-state, committed before the first write frame
    if (!journal.begin(link, before, f->image, sink))
        return journal.stopped(sink);

    // 5. the write bracket; a signal now waits until the read-back is done
    if (const int signal = heldSignal()) {
        sink.err(signalLine(signal, false));
        journal.interrupted(signal, sink);
        return 128 + signal;
    }
    const WriteOutcome w = writeBracket(link, *f);
    if (w.failed) {
        const std::string transaction = lastTransaction(link);
        const PartialWrite partial = examinePartialWrite(link, f->image, before, w, target, journal.id());
        journal.failed(transaction, partial.now ? &*partial.now : nullptr, sink, heldDuringWrite({}));
        sink.err(partial.report);
        return journal.exitCode(heldSignal() ? 128 + heldSignal() : ExitFailure);
    }

    // 6. the read-back
    QJsonArray wrong;
    if (options.verify) {
        const int heldAtReadBack = heldSignal();
        Image after;
        bool readBack = true;
        try {
            readTransmitter(link, after, nullptr);
        } catch (const std::exception &) {
            readBack = false;
        }
        if (!readBack) {
            journal.written(nullptr, sink, heldDuringWrite("not read back", heldAtReadBack));
            sink.err("Written, but the configuration could not be read back: Error reading configuration");
            return journal.exitCode(heldSignal() ? 128 + heldSignal() : ExitFailure);
        }
        std::string mismatches;
        for (const Field &field : fields()) {
            if (sameBytes(f->image, after, field))
                continue;
            wrong.append(QString::fromStdString(field.name()));
            mismatches += field.name() + ": wrote " + fieldText(f->image, field) + ", reads " +
                          fieldText(after, field) + "\n";
        }
        // the record first: printing may fail (a closed pipe), the record must not
        if (!wrong.isEmpty()) {
            journal.verifyFailed(after, sink, heldDuringWrite({}, heldAtReadBack));
            sink.err(mismatches + "Verification failed: the transmitter holds another configuration than was written");
        } else {
            journal.written(&after, sink, heldDuringWrite({}, heldAtReadBack));
        }
    } else {
        journal.written(nullptr, sink, heldDuringWrite("not read back (--no-verify)"));
    }

    // 7. the report
    if (options.json) {
        QJsonArray changed;
        for (const Field &field : fields())
            if (!sameBytes(f->image, before, field))
                changed.append(QJsonObject{{"name", QString::fromStdString(field.name())},
                                           {"before", fieldJson(before, field)},
                                           {"written", fieldJson(f->image, field)}});
        sink.json(QJsonObject{{"written", true},
                              {"verified", options.verify && wrong.isEmpty()},
                              {"changed", changed},
                              {"verify_failed", wrong}});
    } else if (wrong.isEmpty() && journal.exitCode(ExitOk) != ExitOk) {
        sink.out("Configuration written; its journal record is not completed\n");
    } else if (wrong.isEmpty() && !options.quiet) {
        sink.out("Configuration successfully written\n");
    }
    if (const int signal = heldSignal()) {
        sink.err(signalLine(signal, true));
        return 128 + signal;
    }
    return journal.exitCode(wrong.isEmpty() ? ExitOk : ExitFailure);
}

} // namespace cli
