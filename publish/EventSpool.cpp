#include "EventSpool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace mqtt {

namespace {

constexpr qint64 kMaxFileBytes = 8 * 1024 * 1024;
constexpr qsizetype kMaxLine = 256 * 1024;
constexpr int kLockWaitMs = 5000;

std::vector<Event> readEvents(const QString &path)
{
    std::vector<Event> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = f.read(kMaxFileBytes);
    for (const QByteArray &line : all.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0 || line.size() > kMaxLine)
            continue; // a torn or foreign line: not an event
        out.push_back(Event{line.left(tab).toStdString(), line.mid(tab + 1)});
    }
    return out;
}

bool writeEvents(const QString &path, const std::vector<Event> &events, std::string &problem)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        problem = f.errorString().toStdString();
        return false;
    }
    for (const Event &e : events)
        f.write(QByteArray::fromStdString(e.topic) + '\t' + e.payload + '\n');
    if (!f.commit()) {
        problem = f.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace

QString EventSpool::defaultPath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("qz5801/mqtt-events.queue"));
}

EventSpool::EventSpool(QString p) : path(std::move(p)) {}

bool EventSpool::add(const std::vector<Event> &more, std::size_t &dropped, std::string &problem)
{
    dropped = 0;
    if (more.empty())
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        problem = "cannot create the folder of " + path.toStdString();
        return false;
    }
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs)) {
        problem = "another process holds " + path.toStdString() + ".lock";
        return false;
    }
    std::vector<Event> all = readEvents(path);
    for (const Event &e : more) {
        // a payload with a line break would split its line; compact JSON has none
        if (e.payload.contains('\n') || e.topic.find_first_of("\t\n") != std::string::npos)
            continue;
        all.push_back(e);
    }
    if (all.size() > kSpoolLimit) {
        dropped = all.size() - kSpoolLimit;
        all.erase(all.begin(), all.begin() + std::ptrdiff_t(dropped));
    }
    if (!writeEvents(path, all, problem)) {
        problem = "cannot write " + path.toStdString() + ": " + problem;
        dropped = 0;
        return false;
    }
    return true;
}

std::vector<Event> EventSpool::take()
{
    if (!QFileInfo::exists(path))
        return {};
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return {};
    std::vector<Event> events = readEvents(path);
    std::string problem;
    if (!events.empty() && !writeEvents(path, {}, problem))
        return {}; // left in the file rather than sent twice
    return events;
}

} // namespace mqtt
