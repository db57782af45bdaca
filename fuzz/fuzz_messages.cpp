// The language folder: "messages.ini", the chosen language's UTF-16 message
// file and the master file, all three from the fuzzer, read the way the
// window reads them, then looked up and formatted through.
//
// Input (FuzzedDataProvider): the chosen language, the catalogue, the
// message file "lang1.txt", a format text; the rest is the master file.
#include "FuzzSupport.h"
#include "Lang.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

const QString &folder()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/qz5801-fuzz-messages-XXXXXX"));
    static const QString path = QDir(dir.path()).canonicalPath() + u'/';
    return path;
}

void put(const QString &name, const std::string &bytes)
{
    QFile file(folder() + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fuzzFailure(__FILE__, __LINE__, "cannot write the fuzz folder " + folder().toStdString());
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// A language file is a name in the language folder, nothing else: the
// message table reads it, and its ".todo" log is deleted and appended to.
bool staysInFolder(const QString &path)
{
    if (path.isEmpty())
        return true;
    if (!path.startsWith(folder()))
        return false;
    // A sub-folder part is allowed; no part may step out or name the folder itself.
    const QString name = path.mid(folder().size());
    if (name.isEmpty() || name.contains(QChar(0)))
        return false;
    const QStringList parts = name.split(QRegularExpression(QStringLiteral("[/\\\\]")));
    for (const QString &part : parts)
        if (part == QStringLiteral(".."))
            return false;
    return !parts.last().isEmpty() && parts.last() != QStringLiteral(".");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int language = in.ConsumeIntegralInRange(0, 3);
    const std::string catalogue = in.ConsumeRandomLengthString(4096);
    const std::string messages = in.ConsumeRandomLengthString(8192);
    const std::string format = in.ConsumeRandomLengthString(256);
    const int number = in.ConsumeIntegral<int>();
    const std::string master = in.ConsumeRemainingBytesAsString();

    // A fresh folder each time: no log or file of an earlier input lingers.
    for (const QString &name : QDir(folder()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(folder() + name);
    put(QStringLiteral("messages.ini"), catalogue);
    put(QStringLiteral("lang1.txt"), messages);
    put(QStringLiteral("messages_uk.txt"), master);

    loadLanguageCatalogueFrom(folder());
    FUZZ_CHECK(languageCount >= 0 && languageCount <= kLanguageTableSize,
               "language count " + std::to_string(languageCount));
    for (int i = 0; i < languageCount; ++i)
        FUZZ_CHECK(staysInFolder(languageFiles[i]),
                   "language file \"" + shown(languageFiles[i]) + "\" lies outside the folder, from \"" +
                       shown(QByteArray::fromStdString(catalogue)) + "\"");
    (void)currentCharset();

    currentLanguage = language;
    loadMessageTable();
    FUZZ_CHECK(messageCount >= 0 && messageCount <= kMessageTableSize,
               "message count " + std::to_string(messageCount));

    const QString formatText = QString::fromUtf8(format.data(), static_cast<qsizetype>(format.size()));
    (void)translateFormat(formatText, number);
    (void)translateWithColon(formatText);
    // An entry whose text is empty shows an empty caption on purpose, so an
    // empty result is no finding; the lookup must only survive the files.
    (void)translate(formatText);
    currentLanguage = 0;
    return 0;
}
