#include "TrendHost.h"

#include "Dialogs.h"
#include "Lang.h"
#include "Main.h"
#include "OperatorTools.h"
#include "Units.h"

#include <QCheckBox>
#include <QDir>
#include <QLibrary>

#include <vector>

QString TTrendHost::translate(const QString &key) const { return ::translate(key); }
QString TTrendHost::translateWithColon(const QString &key) const { return ::translateWithColon(key); }
QString TTrendHost::translateWithEllipsis(const QString &key) const { return ::translateWithEllipsis(key); }
QString TTrendHost::pluralForm(const QString &translatedForms, int number) const
{
    return ::pluralForm(translatedForms, number);
}

QString TTrendHost::languageShort() const
{
    // A language outside the catalogue shows English, and so do its dates.
    return currentLanguage > 0 && currentLanguage < languageCount ? languageShorts[std::size_t(currentLanguage)]
                                                                   : QString();
}

TrendDisplay TTrendHost::display() const
{
    return TrendDisplay{w.unitFactor, w.decimals, w.unitText, w.isPressure, w.nominalRange};
}

QString TTrendHost::shownNumber(float pascal) const { return display::shownNumber(pascal, w); }
float TTrendHost::limitValue(int index) const { return w.limitValue(index); }
const TrendHistory &TTrendHost::history() const { return tools.history; }
bool TTrendHost::liveValueOn() const { return w.checkActualValue->isChecked(); }
int64_t TTrendHost::now() const { return tools.clock().toMSecsSinceEpoch(); }

TrendRecording TTrendHost::recording() const
{
    const TRecorder &r = tools.recorder;
    return TrendRecording{r.active(), r.failed(), r.path(), r.linesWritten()};
}

bool TTrendHost::startRecording(const QString &path) { return tools.recorder.start(path); }
void TTrendHost::stopRecording() { tools.recorder.stop(); }

QString TTrendHost::chooseSaveFile(QWidget *parent, const QString &title, const QString &filter,
                                   const QString &suffix)
{
    return ::chooseSaveFile(parent, {title, filter, suffix});
}

void TTrendHost::showMessage(QWidget *parent, const QString &text, const QString &title)
{
    ::showMessage(parent, text, title);
}

const char *const kTrendLibraryFile = QZ_TREND_LIBRARY_FILE;

namespace {

TrendViewFactory linkedFactory = nullptr;

} // namespace

void setLinkedTrendViewFactory(TrendViewFactory factory) { linkedFactory = factory; }

TrendLibrary loadTrendLibrary(const QString &folder)
{
    if (linkedFactory)
        return {linkedFactory, {}};
    const QString base = (folder.isEmpty() ? programFolderPath(QString()) : folder)
                         + QString::fromLatin1(kTrendLibraryFile);
    // Kept loaded for the rest of the run: the trend window's code lives in it.
    auto *library = new QLibrary(QDir::fromNativeSeparators(base));
    auto factory = reinterpret_cast<TrendViewFactory>(library->resolve(kTrendViewFactoryName));
    if (!factory) {
        const QString error = library->errorString();
        library->unload();
        delete library;
        return {nullptr, error};
    }
    // Held by a static: the library stays loaded, and leak checkers see it held.
    static auto *const loaded = new std::vector<QLibrary *>;
    loaded->push_back(library);
    return {factory, {}};
}
