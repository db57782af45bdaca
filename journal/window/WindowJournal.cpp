#include "WindowJournal.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "JournalStore.h"

#include "ConfigurationExchange.h"
#include "Fix64usb.h"
#include "Lang.h"
#include "Main.h"
#include "MemoryMap.h"
#include "NumberText.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QMutex>
#include <QStatusBar>
#include <QThread>

#include <cstring>
#include <map>
#include <memory>
#include <set>

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace {

// "command 2", "write 67/27": the request the link sent last.
QString lastTransaction(const TFix64 &link)
{
    const uint8_t *r = link.request;
    const uint32_t address = r[7] | r[8] << 8 | r[9] << 16 | uint32_t(r[10]) << 24;
    if (r[3] == 7 || r[3] == 8)
        return QStringLiteral("%1 %2/%3").arg(r[3] == 7 ? "read" : "write").arg(address).arg(r[4]);
    return QStringLiteral("command %1").arg(r[3]);
}

// Owns the journal's connection on the worker thread; opened at the first
// record and again after a failure.
class Writer : public QObject {
public:
    std::unique_ptr<JournalStore> book;

    bool add(const journal::Address &where, journal::Entry &e, QString &problem)
    {
        if (!book) {
            if (const JournalStoreFactory open = journalStoreFactory(problem))
                book.reset(open(where, problem));
        }
        if (book && book->add(e, problem))
            return true;
        book.reset();
        return false;
    }

    // The spool's records into the journal, oldest first, each taken out once written.
    // `failure`: the journal's own reason when it did not take a record.
    QString writeSpool(const journal::Address &where, JournalSpool &spool, QString *journalFailure = nullptr)
    {
        QString problem;
        const std::vector<QByteArray> lines = spool.read(problem);
        std::vector<QByteArray> written;
        for (const QByteArray &line : lines) {
            std::optional<journal::Entry> e = spoolEntry(line);
            QString failure;
            if (!e || !add(where, *e, failure)) {
                problem = QStringLiteral("%1 record(s) kept in %2 wait for the journal: %3")
                              .arg(lines.size() - written.size())
                              .arg(spool.path(), failure);
                if (journalFailure)
                    *journalFailure = failure;
                break;
            }
            written.push_back(line);
        }
        QString removing;
        if (!written.empty() && !spool.remove(written, removing) && problem.isEmpty())
            problem = removing;
        return problem;
    }
};

} // namespace

// The records handed to the journal's thread, shared with it so that the
// window's exit can keep those it did not see written, and the thread, should
// it finish one later, can take it out of the spool again.
struct TWindowJournal::Pending {
    QMutex lock;
    std::map<quint64, journal::Entry> entries;
    std::set<quint64> spooled;
    QObject *receiver = nullptr; // null once the window's journal is gone
};

TWindowJournal::TWindowJournal(TMainF &window) : QObject(&window), w(window)
{
    QString problem;
    const std::optional<journal::Address> a = journal::chooseAddress(QString(), &problem);
    attach(a, problem);
}

TWindowJournal::TWindowJournal(TMainF &window, const journal::Address &address) : QObject(&window), w(window)
{
    attach(address, QString());
}

void TWindowJournal::attach(const std::optional<journal::Address> &a, const QString &problem)
{
    setObjectName(QStringLiteral("windowJournal"));
    address = a;
    addressProblem = problem;
    note = new QLabel(w.statusbar);
    note->setObjectName(QStringLiteral("journalNote"));
    note->hide();
    w.statusbar->addPermanentWidget(note, 0);
    connect(&w, &TMainF::translated, this, &TWindowJournal::showNote);

    connect(&w, &TMainF::serialNumberRead, this, [this](uint16_t s) { serial = s; });
    connect(&w, &TMainF::configurationWriteEnded, this, &TWindowJournal::configurationWriteEnded);
    connect(&w, &TMainF::zeroOffsetWriteEnded, this, &TWindowJournal::zeroOffsetWriteEnded);

    pending = std::make_shared<Pending>();
    pending->receiver = this;
    // Only a stat here: the database code is loaded when there is something to write.
    if (address && spool.exists())
        writeSpool();
}

TWindowJournal::~TWindowJournal()
{
    {
        QMutexLocker lock(&pending->lock);
        pending->receiver = nullptr;
    }
    if (!worker)
        return;
    // The records still queued are written first; the connection closes on its own thread.
    QMetaObject::invokeMethod(
        worker,
        [writer = static_cast<Writer *>(worker), t = thread] {
            writer->book.reset();
            t->quit();
        },
        Qt::QueuedConnection);
    if (thread->wait(QDeadlineTimer(exitWaitMs))) {
        delete thread;
        return;
    }
    // A journal that does not answer does not hold the window open: what is
    // still on its way is kept for the next start, and the thread is left to
    // end with the process.
    QMutexLocker lock(&pending->lock);
    std::vector<journal::Entry> keep;
    for (const auto &[number, entry] : pending->entries) {
        if (pending->spooled.insert(number).second)
            keep.push_back(entry);
    }
    QString problem;
    spool.add(keep, problem);
    if (!problem.isEmpty())
        qWarning("%s", qUtf8Printable(problem));
    threadLeft = true;
#if defined(__SANITIZE_ADDRESS__)
    // left to end with the process on purpose, not lost
    __lsan_ignore_object(thread);
    __lsan_ignore_object(worker);
#endif
}

bool TWindowJournal::threadLeft = false;

bool TWindowJournal::threadLeftRunning()
{
    return threadLeft;
}

// The thread starts with the first record: most sessions write nothing, and
// an idle thread still holds a stack and a memory arena of its own.
QObject *TWindowJournal::writer()
{
    if (!worker) {
        thread = new QThread;
        worker = new Writer;
        worker->moveToThread(thread);
        connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        thread->setObjectName(QStringLiteral("journal"));
        thread->start();
    }
    return worker;
}

void TWindowJournal::waitForRecords()
{
    if (worker)
        QMetaObject::invokeMethod(worker, [] {}, Qt::BlockingQueuedConnection);
    QCoreApplication::sendPostedEvents(this);
}

void TWindowJournal::configurationWriteEnded(bool written)
{
    journal::Entry e;
    e.operation = QStringLiteral("window write");
    // What the write sent: the gravity as Ro's text converts, and the block from the record.
    ConfigurationRecord sent = w;
    std::array<int, 3> modes{};
    const std::array<QComboBox *, 3> boxes{w.comboBoxConfiguration1, w.comboBoxConfiguration2,
                                           w.comboBoxConfiguration3};
    for (std::size_t i = 0; i < boxes.size(); ++i)
        modes[i] = boxes[i]->currentIndex();
    config::assembleOutputBlock(sent, modes);
    const std::optional<float> gravity = strictToFloat(w.Ro->text());
    if (gravity)
        e.requested.put(memmap::kSpecificGravity, &*gravity, memmap::kFloatSize);
    e.requested.take(sent.memoryImage, memmap::kOutputBlock, memmap::kOutputBlockSize);
    e.result = written ? journal::Result::Written : journal::Result::Failed;
    if (!written) {
        if (!theLink)
            e.detail = QStringLiteral("no transmitter link");
        else if (!gravity)
            e.detail = QStringLiteral("the specific gravity \"%1\" is not a number; failed before writing")
                           .arg(w.Ro->text().left(100));
        else
            e.detail = QStringLiteral("failed at ") + lastTransaction(*theLink);
    }
    submit(std::move(e));
}

void TWindowJournal::zeroOffsetWriteEnded(float storedOffset, float sentOffset, bool written)
{
    journal::Entry e;
    e.operation = QStringLiteral("zero correction");
    e.before.put(memmap::kZeroOffset, &storedOffset, memmap::kFloatSize);
    e.requested.put(memmap::kZeroOffset, &sentOffset, memmap::kFloatSize);
    e.result = written ? journal::Result::Written : journal::Result::Failed;
    if (!written && theLink)
        e.detail = QStringLiteral("failed at ") + lastTransaction(*theLink);
    submit(std::move(e));
}

void TWindowJournal::addRecord(journal::Entry entry, std::function<void(const QString &problem)> done)
{
    submit(std::move(entry), std::move(done));
}

void TWindowJournal::submit(journal::Entry e, std::function<void(const QString &problem)> done)
{
    journal::stampEntry(e, QStringLiteral("qz5801"), QStringLiteral(QZ_VERSION));
    if (!e.serial)
        e.serial = serial;
    if (theLink && e.location.isEmpty())
        e.location = QString::fromStdString(theLink->deviceLocation(theLink->instanceBase));
    if (!e.begun.isValid())
        e.begun = e.finished = QDateTime::currentDateTimeUtc();
    emit recordMade(e);
    if (!address) {
        QString problem = QStringLiteral("%1: %2").arg(QLatin1String(journal::kJournalVariable), addressProblem);
        // a record whose maker waits for the outcome (a verification) is offered again by it
        if (!done) {
            QString spooling;
            if (spool.add({e}, spooling) && spooling.isEmpty())
                problem += QStringLiteral(" (kept in %1 for the next start)").arg(spool.path());
            else
                problem += QStringLiteral("; ") + spooling;
        }
        recorded(problem);
        if (done)
            done(problem);
        return;
    }
    auto *writer = static_cast<Writer *>(this->writer());
    const quint64 number = ++lastNumber;
    {
        QMutexLocker lock(&pending->lock);
        pending->entries.emplace(number, e);
    }
    QMetaObject::invokeMethod(
        writer,
        [writer, where = *address, spool = spool, state = pending, number, e, done]() mutable {
            const QByteArray line = spoolLine(e);
            // Those kept from before go first, so the journal keeps their order;
            // a journal that just failed them is not tried again.
            QString failure;
            const QString earlier = spool.exists() ? writer->writeSpool(where, spool, &failure) : QString();
            QString problem = failure;
            const bool written = failure.isEmpty() && writer->add(where, e, problem);
            {
                QMutexLocker lock(&state->lock);
                QString spooling;
                if (state->spooled.count(number)) {
                    // Kept at the window's exit, then written after all.
                    if (written)
                        spool.remove({line}, spooling);
                } else if (!written && !done) {
                    if (spool.add({e}, spooling) && spooling.isEmpty())
                        problem += QStringLiteral(" (kept in %1 for the next start)").arg(spool.path());
                }
                if (!spooling.isEmpty())
                    problem += QStringLiteral("; ") + spooling;
                state->entries.erase(number);
                state->spooled.erase(number);
            }
            if (problem.isEmpty())
                problem = earlier;
            QMutexLocker lock(&state->lock);
            if (state->receiver)
                QMetaObject::invokeMethod(
                    state->receiver, [receiver = static_cast<TWindowJournal *>(state->receiver), problem, done] {
                        receiver->recorded(problem);
                        if (done)
                            done(problem);
                    }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void TWindowJournal::writeSpool()
{
    auto *writer = static_cast<Writer *>(this->writer());
    QMetaObject::invokeMethod(
        writer,
        [writer, where = *address, spool = spool, state = pending]() mutable {
            const QString problem = writer->writeSpool(where, spool);
            QMutexLocker lock(&state->lock);
            if (state->receiver)
                QMetaObject::invokeMethod(
                    state->receiver, [receiver = static_cast<TWindowJournal *>(state->receiver), problem] {
                        receiver->recorded(problem);
                    }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void TWindowJournal::recorded(const QString &problem)
{
    lastProblem = problem;
    showNote();
}

void TWindowJournal::showNote()
{
    if (lastProblem.isEmpty()) {
        note->clear();
        note->setToolTip(QString());
        note->setAccessibleName(QString());
        note->hide();
        return;
    }
    // The reason as far as the bar has room, read whole by a screen reader and in the tooltip.
    const QString whole = translateWithColon(QStringLiteral("Not journaled")) + lastProblem;
    note->setText(note->fontMetrics().elidedText(whole, Qt::ElideRight, 260));
    note->setToolTip(lastProblem);
    note->setAccessibleName(whole);
    note->show();
}
