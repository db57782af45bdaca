#include "PublishChannel.h"

#include "Lang.h"

#include <QDir>
#include <QLibrary>

namespace {

PublishChannelFactory linkedFactory = nullptr;
PublishChannelFactory loadedFactory = nullptr;

} // namespace

void setLinkedPublishChannelFactory(PublishChannelFactory factory) { linkedFactory = factory; }

PublishChannelFactory publishChannelFactory(QString &problem)
{
    if (linkedFactory)
        return linkedFactory;
    if (loadedFactory)
        return loadedFactory;
    // Kept loaded for the rest of the run, held by a static so leak checkers see it held.
    static QLibrary *library = nullptr;
    if (!library)
        library = new QLibrary(
            QDir::fromNativeSeparators(programFolderPath(QString()) + QString::fromLatin1(kPublishChannelLibraryName)));
    loadedFactory = reinterpret_cast<PublishChannelFactory>(library->resolve(kPublishChannelFactoryName));
    if (!loadedFactory)
        problem = library->errorString();
    return loadedFactory;
}
