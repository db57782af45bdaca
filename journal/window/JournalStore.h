// Where the window's journal writes its records: the database code (Qt Sql)
// lives in a library of its own that the window loads with its first record,
// so a session that writes nothing never loads it. The boundary passes
// failures as texts, not exceptions.
#pragma once

#include "JournalEntry.h"

#include <QString>

class JournalStore {
public:
    virtual ~JournalStore() = default;
    // False, with the reason, when the record could not be written.
    virtual bool add(journal::Entry &entry, QString &problem) = 0;
};

// Opens the journal at the address; null, with the reason, when it cannot.
using JournalStoreFactory = JournalStore *(*)(const journal::Address &address, QString &problem);

// The library's file name as the build makes it (libqz5801journal.so,
// qz5801journal.dll), looked up as it is: no guessing of the platform's prefix.
extern const char *const kJournalStoreLibraryFile;
inline constexpr const char *kJournalStoreFactoryName = "qz5801OpenJournalStore";

// The factory: the linked one (tests), else from the library beside the
// executable, loaded once and kept; null, with the reason, when it is missing.
JournalStoreFactory journalStoreFactory(QString &problem);
// From the library in that folder (ending in '/'); kept loaded when found.
JournalStoreFactory loadJournalStore(const QString &folder, QString &problem);
void setLinkedJournalStoreFactory(JournalStoreFactory factory);
