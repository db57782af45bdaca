#include "WindowJournal.h"

#include "JournalStore.h"

#include "ConfigurationExchange.h"
#include "Fix64usb.h"
#include "Lang.h"
#include "Main.h"
#include "MemoryMap.h"
#include "NumberText.h"

#include <QLabel>
#include <QStatusBar>

#include <cstring>
#include <memory>

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
};

} // namespace

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
}

TWindowJournal::~TWindowJournal()
{
    if (!worker)
        return;
    // The records still queued are written first; the connection closes on its own thread.
    QMetaObject::invokeMethod(
        worker,
        [writer = static_cast<Writer *>(worker), t = &thread] {
            writer->book.reset();
            t->quit();
        },
        Qt::QueuedConnection);
    thread.wait();
}

// The thread starts with the first record: most sessions write nothing, and
// an idle thread still holds a stack and a memory arena of its own.
QObject *TWindowJournal::writer()
{
    if (!worker) {
        worker = new Writer;
        worker->moveToThread(&thread);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        thread.setObjectName(QStringLiteral("journal"));
        thread.start();
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

void TWindowJournal::submit(journal::Entry e)
{
    journal::stampEntry(e, QStringLiteral("qz5801"), QStringLiteral(QZ_VERSION));
    e.serial = serial;
    if (theLink)
        e.location = QString::fromStdString(theLink->deviceLocation(theLink->instanceBase));
    e.begun = e.finished = QDateTime::currentDateTimeUtc();
    if (!address) {
        recorded(QStringLiteral("%1: %2").arg(QLatin1String(journal::kJournalVariable), addressProblem));
        return;
    }
    auto *writer = static_cast<Writer *>(this->writer());
    const journal::Address where = *address;
    QMetaObject::invokeMethod(
        writer,
        [this, writer, where, e]() mutable {
            QString problem;
            if (!writer->book) {
                if (const JournalStoreFactory open = journalStoreFactory(problem))
                    writer->book.reset(open(where, problem));
            }
            if (writer->book && !writer->book->add(e, problem))
                writer->book.reset();
            QMetaObject::invokeMethod(this, [this, problem] { recorded(problem); }, Qt::QueuedConnection);
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
