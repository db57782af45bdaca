// Configuration files: any bytes either are refused or give a configuration
// that, written as a file and read again, stays what it was; under either
// decimal separator of the system.
#include "ConfigurationFile.h"
#include "FuzzSupport.h"
#include "NumberText.h"

#include <cstring>

namespace {

std::string describe(const config::ConfigurationFile &f)
{
    return shown(config::configurationFileBytes(f));
}

bool same(const config::ConfigurationFile &a, const config::ConfigurationFile &b)
{
    return a.isPressure == b.isPressure && a.gravityText == b.gravityText && a.modes == b.modes &&
           std::memcmp(a.values.data(), b.values.data(), sizeof a.values) == 0;
}

void check(const QByteArray &bytes)
{
    const auto file = config::parseConfigurationFile(bytes);
    if (!file)
        return;
    for (int mode : file->modes)
        FUZZ_CHECK(mode == kNoMode || (mode >= 0 && mode <= 4),
                   "mode " + std::to_string(mode) + " taken from \"" + shown(bytes) + "\"");
    const QByteArray written = config::configurationFileBytes(*file);
    const auto again = config::parseConfigurationFile(written);
    FUZZ_CHECK(again.has_value(), "the file written from \"" + shown(bytes) + "\" is refused: \"" + shown(written) + "\"");
    // Six decimals may round a value once; from then on the file must stay as it is.
    const auto third = config::parseConfigurationFile(config::configurationFileBytes(*again));
    FUZZ_CHECK(third.has_value() && same(*again, *third),
               "a file read and written twice changes: \"" + describe(*again) + "\" then \"" +
                   (third ? describe(*third) : std::string("refused")) + "\"");
    FUZZ_CHECK(again->gravityText == file->gravityText && again->modes == file->modes &&
                   again->isPressure == file->isPressure,
               "gravity, modes or kind change on the way through a file: \"" + describe(*file) + "\" then \"" +
                   describe(*again) + "\"");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (QChar separator : {QChar(u'.'), QChar(u',')}) {
        setDecimalSeparatorForTesting(separator);
        check(bytes);
    }
    setDecimalSeparatorForTesting(QChar());
    return 0;
}
