// Files named by the bytes the user gave: a name that is not text in the
// locale's encoding (a Latin-1 "Kühler.cfg" on a UTF-8 system) is opened as
// it is, and recorded and shown with its other bytes as \xNN.
#include "ConfigShared.h"

#include <QFile>
#include <QFileInfo>

#ifndef _WIN32
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

// The length of the UTF-8 sequence at `p`, or 0 when none starts there.
int utf8Length(const unsigned char *p, std::size_t left)
{
    const unsigned char c = p[0];
    int n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || std::size_t(n) > left || (n == 2 && c < 0xC2) || (n == 4 && c > 0xF4))
        return 0;
    for (int i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    // overlong forms, surrogates, beyond U+10FFFF
    if ((n == 3 && c == 0xE0 && p[1] < 0xA0) || (n == 3 && c == 0xED && p[1] >= 0xA0) ||
        (n == 4 && c == 0xF0 && p[1] < 0x90) || (n == 4 && c == 0xF4 && p[1] >= 0x90))
        return 0;
    return n;
}

} // namespace

QString fileNameText(const std::string &path)
{
    const auto *p = reinterpret_cast<const unsigned char *>(path.data());
    QByteArray text;
    for (std::size_t i = 0; i < path.size();) {
        if (const int n = utf8Length(p + i, path.size() - i)) {
            text.append(reinterpret_cast<const char *>(p + i), n);
            i += std::size_t(n);
        } else {
            text += "\\x" + QByteArray::number(p[i], 16).rightJustified(2, '0');
            ++i;
        }
    }
    return QString::fromUtf8(text);
}

FileRead readWholeFile(const std::string &path, qint64 limit, QByteArray &bytes)
{
#ifdef _WIN32
    const QString name = QString::fromLocal8Bit(path.c_str());
    const QFileInfo info(name);
    if (!info.exists())
        return FileRead::Missing;
    if (!info.isFile())
        return FileRead::NotRegular;
    QFile in(name);
    if (!in.open(QIODevice::ReadOnly) || in.isSequential())
        return FileRead::Failed;
    bytes = in.read(limit);
    return in.error() == QFileDevice::NoError ? FileRead::Read : FileRead::Failed;
#else
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Failed;
    if (!S_ISREG(st.st_mode))
        return FileRead::NotRegular;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FileRead::Failed;
    bytes.clear();
    char buffer[16384];
    bool ok = true;
    while (bytes.size() < limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            ok = false;
        if (n <= 0)
            break;
        bytes.append(buffer, qsizetype(n));
    }
    ::close(fd);
    bytes.truncate(qsizetype(std::min<qint64>(bytes.size(), limit)));
    return ok ? FileRead::Read : FileRead::Failed;
#endif
}

} // namespace cli
