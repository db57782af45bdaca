// The library the window loads with its first record: the journal's database
// code behind the narrow boundary of JournalStore.h.
#include "Journal.h"
#include "JournalStore.h"

#include <memory>

namespace {

// QZ5801_JOURNAL_TIMEOUT bounds the window's waits as it does the tool's.
journal::OpenOptions journalOptions()
{
    journal::OpenOptions options;
    options.waitMs = journal::waitMsFromEnvironment();
    return options;
}

class SqlJournalStore final : public JournalStore {
public:
    explicit SqlJournalStore(const journal::Address &address) : book(address, journalOptions()) {}

    bool add(journal::Entry &entry, QString &problem) override
    {
        try {
            book.add(entry);
            return true;
        } catch (const journal::JournalError &error) {
            problem = QString::fromUtf8(error.what());
        } catch (const std::exception &error) {
            problem = QString::fromUtf8(error.what());
        }
        return false;
    }

private:
    journal::Journal book;
};

} // namespace

extern "C" Q_DECL_EXPORT JournalStore *qz5801OpenJournalStore(const journal::Address &address, QString &problem)
{
    try {
        return new SqlJournalStore(address);
    } catch (const journal::JournalError &error) {
        problem = QString::fromUtf8(error.what());
    } catch (const std::exception &error) {
        problem = QString::fromUtf8(error.what());
    }
    return nullptr;
}
