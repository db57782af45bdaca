// The settings file: whatever "qz5801.ini" holds, the four choices written
// into it are what the next start reads, every key outside "Options" reads
// as before, and writing the same choices again changes nothing. Once on the
// bytes, once through the file itself.
//
// Input (FuzzedDataProvider): the four choices, a section and a key to
// compare, then the file's bytes.
#include "FuzzSupport.h"
#include "Settings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QString &path()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/qz5801-fuzz-settings-XXXXXX"));
    static const QString file = dir.path() + QStringLiteral("/qz5801.ini");
    return file;
}

std::string describe(const UserSettings &s)
{
    return std::to_string(s.language) + "/" + std::to_string(s.isPressure) + "/" + std::to_string(s.unitOfLength) +
           "/" + std::to_string(s.unitOfPressure);
}

std::string describe(const std::optional<QByteArray> &v) { return v ? "\"" + shown(*v) + "\"" : "nothing"; }

QByteArray fileBytes()
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    UserSettings chosen;
    chosen.language = in.ConsumeIntegral<int>();
    chosen.isPressure = in.ConsumeBool();
    chosen.unitOfLength = in.ConsumeIntegral<int>();
    chosen.unitOfPressure = in.ConsumeIntegral<int>();
    const QByteArray section = QByteArray::fromStdString(in.ConsumeRandomLengthString(16));
    const QByteArray key = QByteArray::fromStdString(in.ConsumeRandomLengthString(16));
    // A save syncs the disk, a hundred times slower than the rest: one input in eight.
    const bool throughFile = in.ConsumeIntegralInRange(0, 7) == 0;
    const QByteArray before = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    const std::string context = " in \"" + shown(before) + "\"";

    (void)userSettingsFromBytes(before);
    const std::optional<QByteArray> after = userSettingsBytes(before, chosen);
    if (after) {
        const UserSettings read = userSettingsFromBytes(*after);
        FUZZ_CHECK(read == chosen, "wrote " + describe(chosen) + ", read " + describe(read) + context);
        if (section.trimmed().toLower() != "options") {
            const auto was = iniValue(before, section, key);
            const auto is = iniValue(*after, section, key);
            FUZZ_CHECK(was == is, "[" + shown(section) + "] " + shown(key) + " was " + describe(was) + ", is " +
                                      describe(is) + context);
        }
        FUZZ_CHECK(userSettingsBytes(*after, chosen) == after, "writing the same choices twice changes the file" + context);
    } else {
        // The four keys add far less than 4 KiB.
        FUZZ_CHECK(before.size() > kMaxSettingsFileSize - 4096, "a small file refused" + context);
    }

    // The same through the file, as the window reads and writes it.
    if (!throughFile)
        return 0;
    {
        QFile file(path());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzzFailure(__FILE__, __LINE__, "cannot write " + path().toStdString());
        file.write(before);
    }
    const bool written = writeUserSettings(path(), chosen);
    FUZZ_CHECK(written == after.has_value(), "the file and its bytes disagree on whether to write" + context);
    const QByteArray now = fileBytes();
    FUZZ_CHECK(now == (written ? *after : before), "the file holds other bytes than were written" + context);
    FUZZ_CHECK(!written || readUserSettings(path()) == chosen, "the file does not read back" + context);
    return 0;
}
