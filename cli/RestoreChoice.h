// Which journal record restore writes back: only one of this transmitter,
// told by its serial number and its USB location, and never past a newer
// record whose outcome is unknown.
#pragma once

#include "Cli.h"

#include "JournalEntry.h"

namespace journal {
class Journal;
}

namespace cli {

struct RestoreChoice {
    std::optional<journal::Entry> record;
    int code = ExitOk; // otherwise the exit code, with the reason in `problem`
    std::string problem;
};

// The transmitter of a record, as history and messages name it: "12345 at 1-2",
// "12345 (USB location unknown)".
std::string transmitterName(const std::optional<int> &serial, const QString &location);

// `shared`: another attached transmitter holds the same serial number.
RestoreChoice chooseRecord(journal::Journal &book, const Options &options, uint16_t serial,
                           const std::string &location, bool shared);

// Whether another attached transmitter answers with this serial number; the
// link leads to `target` again afterwards.
bool serialShared(TFix64 &link, const Target &target, uint16_t serial);

// The serial number, tried again when a reply is lost.
std::optional<uint16_t> readSerialRetried(TFix64 &link, uint32_t instance);

} // namespace cli
