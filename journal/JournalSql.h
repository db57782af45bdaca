// What the journal's files share about its table: columns, result codes,
// times as text. Private to journal/.
#pragma once

#include "JournalEntry.h"

#include <QSqlQuery>
#include <QVariant>

namespace journal::sql {

inline constexpr const char *kColumns =
    "id, begun_utc, finished_utc, station, os_user, program, version, process_id, operation, serial, usb_location, "
    "file_name, file_sha256, before_memory, requested_memory, after_memory, result, detail, restored_from";

QString resultCode(Result r);
QString timeText(const QDateTime &t);
Entry entryFromRow(const QSqlQuery &q);

} // namespace journal::sql
