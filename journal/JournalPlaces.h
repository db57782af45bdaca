// The journal's default place and its missing drivers, told in the words of
// the platform the program runs on. defaultJournalPath() is the file itself.
#pragma once

#ifdef _WIN32
// QStandardPaths' GenericDataLocation there: the user's local application data.
#define QZ_JOURNAL_VARIABLE_SHOWN "%QZ5801_JOURNAL%"
#define QZ_JOURNAL_DEFAULT_SHOWN "%LOCALAPPDATA%\\qz5801\\journal.sqlite"
#define QZ_JOURNAL_SQLITE_DRIVER_HINT "sqldrivers\\qsqlite.dll beside the program"
#define QZ_JOURNAL_PSQL_DRIVER_HINT "sqldrivers\\qsqlpsql.dll with PostgreSQL's libpq.dll beside the program"
#else
#define QZ_JOURNAL_VARIABLE_SHOWN "$QZ5801_JOURNAL"
#define QZ_JOURNAL_DEFAULT_SHOWN "$XDG_DATA_HOME/qz5801/journal.sqlite"
#define QZ_JOURNAL_SQLITE_DRIVER_HINT "Debian: libqt6sql6-sqlite"
#define QZ_JOURNAL_PSQL_DRIVER_HINT "Debian: libqt6sql6-psql"
#endif
