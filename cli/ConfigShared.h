// What read-config, diff and write-config share: the fields of the
// configuration in memory order, a configuration file read once and checked,
// the transmitter's side read in one bracket, the exact file of an image.
#pragma once

#include "Cli.h"

#include "ConfigurationFile.h"
#include "ConfigurationRecord.h"
#include "MemoryMap.h"

#include <QByteArray>
#include <QJsonValue>

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The memory the configuration touches: the output block, the range and the gravity.
using Image = std::vector<uint8_t>;
inline constexpr std::size_t kImageSpan = memmap::kSpecificGravity + memmap::kFloatSize;

struct Field {
    enum Kind { Gravity, Pressure, Mode };
    Kind kind;
    uint32_t address;
    int output;   // 1 to 3, 0 for the gravity
    bool higher;  // a pressure field's side
    int fileLine; // where the configuration file keeps it
    std::string name() const;
    uint32_t size() const { return kind == Mode ? 1 : 4; }
};

// In memory order: the gravity, then lower, higher and mode of each output.
const std::vector<Field> &fields();

float floatIn(const Image &image, uint32_t address);
bool sameBytes(const Image &a, const Image &b, const Field &f);
// The field as the transmitter keeps it, in Pa where it is a pressure.
std::string fieldText(const Image &image, const Field &f);
QJsonValue fieldJson(const Image &image, const Field &f);

// A finding about what would be written. Unreadable text and a lower value
// above its higher value are never forceable.
struct Finding {
    int line;
    std::string text;
    bool forceable;
};

// A configuration file as read once: the same bytes give the lines shown in
// messages, the record written and the image checked and compared.
struct LoadedFile {
    std::string path;
    std::vector<QByteArray> lines; // lines[1] is line 1, as the loader sees them
    config::ConfigurationFile file;
    ConfigurationRecord record; // the six values and the block as the write sends them
    Image image = Image(kImageSpan, 0);
    std::vector<Finding> findings; // the file alone
    QByteArray sha256;             // of the bytes read, in hex
};

enum class FileRead { Read, Missing, NotRegular, Failed };
// At most `limit` bytes of the file at `path`, named by its bytes as given.
FileRead readWholeFile(const std::string &path, qint64 limit, QByteArray &bytes);
// A file name's bytes as text: UTF-8 as it is, any other byte as \xNN.
QString fileNameText(const std::string &path);

// Nothing, with the reason on stderr (FILE:LINE where a line is at fault).
std::optional<LoadedFile> loadFile(const std::string &path, Sink &sink);

// The switching values against the transmitter's range, by the window's own
// entry check; a range that is no usable number is one finding of its own.
std::vector<Finding> rangeFindings(const LoadedFile &f, float range);

// The gravity and the output block in one read bracket; the range too when asked.
void readTransmitter(TFix64 &link, Image &image, float *range);

// Field by field, the file against the transmitter; the number of fields that differ.
int showDiff(const LoadedFile &f, const Image &device, const Options &options, Sink &sink);

// A configuration file that writes the image's gravity and output block back
// byte for byte, in the window's format: "%f" where it reads back exactly,
// more decimals where it does not. What the format cannot hold (no number, a
// mode byte above 4) goes to lost, one text per field.
QByteArray exactFileBytes(const Image &image, std::vector<std::string> &lost);

// What a write bracket's frames were acknowledged, and whether it failed.
struct WriteOutcome {
    bool gravityAcknowledged = false;
    bool blockAcknowledged = false;
    bool failed = false;
};

// After a failed bracket: what the transmitter holds now (read back when it
// answers), and the report of it, field by field or told from what it
// acknowledged, with the way back: `restore --record N` of the journal's
// record, or without one a backup file.
struct PartialWrite {
    std::optional<Image> now;
    std::string report;
};
PartialWrite examinePartialWrite(TFix64 &link, const Image &requested, const Image &before, const WriteOutcome &w,
                                 const Target &target, qint64 record);
// "interrupted by SIGINT; ..." for the end of a write.
std::string signalLine(int signal, bool written);
// The detail, with "SIGINT came during the write, which ended first" added
// when a signal was held.
// when a signal was held; "during the read-back" when `heldAtReadBack`, the
// signal held as the read-back began, was none.
std::string heldDuringWrite(const std::string &detail, int heldAtReadBack = -1);

// A file for the configuration the transmitter held before a write, beside
// nothing the operator owns, under a name no other transmitter or run takes
// and never over another file; its path, or empty when it could not be saved.
std::string saveBackup(const Image &before, const Target &target);
// How to select this transmitter again on a command line.
std::string selection(const Target &target);

} // namespace cli
