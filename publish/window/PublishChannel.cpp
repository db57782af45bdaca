#include "PublishChannel.h"

#include "Lang.h"

#include <QDir>
#include <QLibrary>

#include <vector>

namespace {

PublishChannelFactory linkedFactory = nullptr;
PublishChannelFactory loadedFactory = nullptr;

} // namespace

void setLinkedPublishChannelFactory(PublishChannelFactory factory) { linkedFactory = factory; }

PublishChannelFactory publishChannelFactory(QString &problem)
{
    if (linkedFactory)
        return linkedFactory;
    if (!loadedFactory)
        loadedFactory = loadPublishChannel(programFolderPath(QString()), problem);
    return loadedFactory;
}

PublishChannelFactory loadPublishChannel(const QString &folder, QString &problem)
{
    auto *library =
        new QLibrary(QDir::fromNativeSeparators(folder + QString::fromLatin1(kPublishChannelLibraryName)));
    const auto factory = reinterpret_cast<PublishChannelFactory>(library->resolve(kPublishChannelFactoryName));
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
