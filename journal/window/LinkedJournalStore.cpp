// Compiled into every program that links qz5801_journal_store (an interface
// source of it): the window's journal takes the linked factory and loads no file.
#include "JournalStore.h"

extern "C" JournalStore *qz5801OpenJournalStore(const journal::Address &address, QString &problem);

namespace {

const bool linked = [] {
    setLinkedJournalStoreFactory(&qz5801OpenJournalStore);
    return true;
}();

} // namespace
