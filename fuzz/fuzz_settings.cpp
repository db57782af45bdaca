// The settings file: whatever "qz5801.ini" holds, the four choices written
// into it must be what the next start reads, and the other sections' lines
// must survive the write.
//
// Input (FuzzedDataProvider): the four choices, then the file's bytes.
#include "FuzzSupport.h"
#include "Settings.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <SimpleIni.h>

#include <map>

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

bool operator==(const UserSettings &a, const UserSettings &b)
{
    return a.language == b.language && a.isPressure == b.isPressure && a.unitOfLength == b.unitOfLength &&
           a.unitOfPressure == b.unitOfPressure;
}

// Every key outside "Options" with its value, as the reader sees the file.
std::map<std::string, std::string> otherKeys(const QByteArray &bytes)
{
    CSimpleIniA ini(false, true, false);
    std::map<std::string, std::string> keys;
    if (ini.LoadData(bytes.constData(), std::size_t(bytes.size())) < 0)
        return keys;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto &section : sections) {
        if (QByteArray(section.pItem).toLower() == "options")
            continue;
        CSimpleIniA::TNamesDepend names;
        ini.GetAllKeys(section.pItem, names);
        for (const auto &name : names)
            keys[std::string(section.pItem) + "]" + name.pItem] = ini.GetValue(section.pItem, name.pItem, "");
    }
    return keys;
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
    const std::string contents = in.ConsumeRemainingBytesAsString();
    const QByteArray before = QByteArray::fromStdString(contents);

    // The line-preserving writer on its own: the values it sets must be the ones read back.
    {
        QFile file(path());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzzFailure(__FILE__, __LINE__, "cannot write " + path().toStdString());
        file.write(before);
    }
    (void)readUserSettings(path());
    if (!writeUserSettings(path(), chosen))
        return 0; // refused: the file must be as it was
    const UserSettings read = readUserSettings(path());
    FUZZ_CHECK(read == chosen, "wrote " + describe(chosen) + ", read " + describe(read) + " from a file that was \"" +
                                   shown(before) + "\"");

    QFile written(path());
    written.open(QIODevice::ReadOnly);
    const QByteArray once = written.readAll();
    written.close();
    FUZZ_CHECK(otherKeys(once) == otherKeys(before),
               "keys of other sections change when the choices are written into \"" + shown(before) + "\"");

    // A second start writing the same choices changes nothing.
    FUZZ_CHECK(writeUserSettings(path(), chosen), "a file the tool wrote itself is refused the next time");
    QFile again(path());
    again.open(QIODevice::ReadOnly);
    FUZZ_CHECK(again.readAll() == once, "writing the same choices twice changes the file \"" + shown(once) + "\"");
    return 0;
}
