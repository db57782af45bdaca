#include "JournalEntry.h"

#include "Identity.h"

namespace journal {

QString resultName(Result r)
{
    switch (r) {
    case Result::Begun: return QStringLiteral("not finished");
    case Result::Written: return QStringLiteral("written");
    case Result::VerifyFailed: return QStringLiteral("verify failed");
    case Result::Failed: return QStringLiteral("failed");
    case Result::Refused: return QStringLiteral("refused");
    case Result::Interrupted: return QStringLiteral("interrupted");
    case Result::Passed: return QStringLiteral("passed");
    case Result::NotPassed: return QStringLiteral("not passed");
    }
    return {};
}

void stampEntry(Entry &entry, const QString &program, const QString &version)
{
    if (entry.station.isEmpty())
        entry.station = stationName();
    if (entry.user.isEmpty())
        entry.user = operatingSystemUser();
    if (entry.program.isEmpty())
        entry.program = program;
    if (entry.version.isEmpty())
        entry.version = version;
    if (!entry.processId)
        entry.processId = processId();
}

} // namespace journal
