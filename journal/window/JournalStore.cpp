#include "JournalStore.h"

#include "Lang.h"

#include <QDir>
#include <QLibrary>
#include <QMutex>

#include <vector>

const char *const kJournalStoreLibraryFile = QZ_JOURNAL_STORE_FILE;

namespace {

QMutex loading;
JournalStoreFactory linkedFactory = nullptr;
JournalStoreFactory loadedFactory = nullptr;

} // namespace

void setLinkedJournalStoreFactory(JournalStoreFactory factory)
{
    QMutexLocker lock(&loading);
    linkedFactory = factory;
}

JournalStoreFactory loadJournalStore(const QString &folder, QString &problem)
{
    auto *library = new QLibrary(QDir::fromNativeSeparators(folder + QString::fromLatin1(kJournalStoreLibraryFile)));
    const auto factory = reinterpret_cast<JournalStoreFactory>(library->resolve(kJournalStoreFactoryName));
    if (!factory) {
        problem = library->errorString();
        library->unload();
        delete library;
        return nullptr;
    }
    // Kept loaded for the rest of the run, held by a static so leak checkers see it held.
    static auto *const loaded = new std::vector<QLibrary *>;
    loaded->push_back(library);
    return factory;
}

JournalStoreFactory journalStoreFactory(QString &problem)
{
    QMutexLocker lock(&loading);
    if (linkedFactory)
        return linkedFactory;
    if (!loadedFactory)
        loadedFactory = loadJournalStore(programFolderPath(QString()), problem);
    return loadedFactory;
}
