#include "WriteJournal.h"

#include "ConfigShared.h"

#include "Journal.h"
#include "SharedJournal.h"
#include "MemoryMap.h"
#include "PublishShared.h"

#include <QDir>
#include <QFile>

#ifndef QZ_VERSION
#define QZ_VERSION "unknown"
#endif

namespace cli {

std::string lastTransaction(const TFix64 &link)
{
    const uint8_t *r = link.request;
    const uint32_t address = r[7] | r[8] << 8 | r[9] << 16 | uint32_t(r[10]) << 24;
    if (r[3] == 7 || r[3] == 8)
        return std::string(r[3] == 7 ? "read " : "write ") + std::to_string(address) + "/" + std::to_string(r[4]);
    return "command " + std::to_string(r[3]);
}

std::unique_ptr<journal::Journal> openJournalOf(const Options &options, const std::string &prefix, bool readOnly)
{
    QString problem;
    const std::optional<journal::Address> address = journal::chooseAddress(
        options.journalAddress ? QString::fromLocal8Bit(options.journalAddress->c_str()) : QString(), &problem);
    if (!address)
        throw journal::JournalError(prefix + problem.toStdString());
    journal::OpenOptions open;
    open.readOnly = readOnly;
    open.waitMs = journal::waitMsFromEnvironment();
    return std::make_unique<journal::Journal>(*address, open);
}

namespace {

// The file's name from the root, in its own bytes.
std::string absolutePath(const std::string &file)
{
    if (!file.empty() && file.front() == '/')
        return file;
    const QByteArray here = QFile::encodeName(QDir::currentPath());
    return here.toStdString() + (here.endsWith('/') ? "" : "/") + (file.rfind("./", 0) == 0 ? file.substr(2) : file);
}

} // namespace

void WriteJournal::describe(journal::Entry &e) const
{
    journal::stampEntry(e, QStringLiteral("qz5801-cli"), QStringLiteral(QZ_VERSION));
    e.operation = QLatin1String(operation);
    if (target.serial)
        e.serial = *target.serial;
    e.location = QString::fromStdString(target.location);
    if (!file.empty()) {
        e.fileName = fileNameText(absolutePath(file));
        e.fileSha256 = QString::fromLatin1(fileSha256);
    }
}

WriteJournal::WriteJournal(const Options &options, const Target &target, const char *operation, std::string file,
                           QByteArray fileSha256)
    : options(options), target(target), operation(operation), file(std::move(file)), fileSha256(std::move(fileSha256))
{
}

WriteJournal::~WriteJournal() = default;

bool WriteJournal::open(Sink &sink)
{
    if (options.noJournal || options.dryRun || opened)
        return true;
    std::string error;
    switch (onJournal(options, {}, error, true, 0, Batch::Repeatable)) {
    case JournalCall::Done:
        opened = true;
        return true;
    case JournalCall::Interrupted:
        signal = heldSignal();
        return false;
    case JournalCall::Failed:
        break;
    }
    sink.err(error);
    sink.fail("Nothing was written: every write is journaled (--no-journal writes without a record)");
    return false;
}

int WriteJournal::stopped(Sink &sink) const
{
    if (!signal)
        return ExitFailure;
    sink.err(std::string("interrupted by ") + signalName(signal) +
             " while waiting for the journal; nothing was written");
    return 128 + signal;
}

int WriteJournal::exitCode(int code) const { return unrecorded && code < 128 ? int(ExitUnrecorded) : code; }

bool WriteJournal::begin(TFix64 &link, const std::vector<uint8_t> &before, const std::vector<uint8_t> &requestedImage,
                         Sink &sink, std::optional<qint64> restoredFrom)
{
    if (options.noJournal)
        return true;
    // On the pipes the read before left open: one transaction, without a
    // fresh bracket's drains (which would cost more than the journal); a lost
    // reply is tried again on fresh pipes.
    for (int attempt = 0; attempt < 3 && !target.serial; ++attempt) {
        uint8_t bytes[memmap::kSerialNumberSize];
        try {
            if (attempt > 0)
                resetPipes(link);
            link.readMemory(memmap::kSerialNumber, bytes, sizeof bytes);
            target.serial = uint16_t(bytes[0] | bytes[1] << 8);
        } catch (const std::exception &) {
        }
    }
    if (!target.serial) {
        refused("the serial number could not be read (at " + lastTransaction(link) + ")", sink);
        sink.fail("Nothing was written: the transmitter's serial number could not be read, and its record must "
                  "name it");
        return false;
    }
    // The transmitter is read before the journal is waited for, which is
    // still opening in the meantime.
    if (!open(sink))
        return false;
    // owned by the call: it may outlive this frame when a signal ends the wait
    auto e = std::make_shared<journal::Entry>();
    describe(*e);
    e->before = journal::configurationContent(before);
    e->requested = journal::configurationContent(requestedImage);
    e->restoredFrom = restoredFrom;
    requested = requestedImage;
    std::string error;
    switch (onJournal(options, [e](journal::Journal &book) { book.begin(*e); }, error, true, 0, Batch::Once)) {
    case JournalCall::Done:
        recordId = e->id;
        return true;
    case JournalCall::Interrupted:
        signal = heldSignal();
        return false;
    case JournalCall::Failed:
        break;
    }
    sink.err(error);
    sink.fail("Nothing was written: every write is journaled (--no-journal writes without a record)");
    return false;
}

bool WriteJournal::complete(int result, const std::vector<uint8_t> *after, const std::string &detail, Sink &sink)
{
    if (!recordId)
        return true;
    const qint64 id = recordId;
    const journal::MemoryContent afterContent = after ? journal::configurationContent(*after) : journal::MemoryContent{};
    const QString detailText = QString::fromStdString(detail);
    auto finished = std::make_shared<std::optional<journal::Entry>>();
    const bool event = publishesEvents(options);
    std::string error;
    if (onJournal(options,
                  [id, result, afterContent, detailText, finished, event](journal::Journal &book) {
                      book.complete(id, journal::Result(result), afterContent, detailText);
                      // the event tells what the journal now holds
                      try {
                          if (event)
                              *finished = book.record(id);
                      } catch (const journal::JournalError &) {
                      }
                  },
                  error, false, 0, Batch::Repeatable) == JournalCall::Done) {
        if (*finished)
            publishJournalEvent(options, **finished, sink);
        return true;
    }
    // The transmitter has it already: said plainly, and in the exit code.
    unrecorded = true;
    sink.err(error);
    sink.err("The journal could not record how this write ended (" +
             journal::resultName(journal::Result(result)).toStdString() + "): record " + std::to_string(id) +
             " stays \"not finished\"");
    return false;
}

void WriteJournal::failed(const std::string &transaction, const std::vector<uint8_t> *after, Sink &sink,
                          const std::string &detail)
{
    complete(int(journal::Result::Failed), after, "failed at " + transaction + (detail.empty() ? "" : "; " + detail),
             sink);
}

void WriteJournal::written(const std::vector<uint8_t> *after, Sink &sink, const std::string &detail)
{
    complete(int(journal::Result::Written), after, detail, sink);
}

void WriteJournal::verifyFailed(const std::vector<uint8_t> &after, Sink &sink, const std::string &detail)
{
    const QStringList fields =
        journal::configurationContent(requested).differingFields(journal::configurationContent(after));
    const std::string which = fields.join(QStringLiteral(", ")).toStdString();
    complete(int(journal::Result::VerifyFailed), &after, detail.empty() ? which : which + "; " + detail, sink);
}

void WriteJournal::refused(const std::string &why, Sink &sink) { addUnsent(int(journal::Result::Refused), why, sink); }

void WriteJournal::interrupted(int signal, Sink &sink)
{
    const std::string why = std::string("by ") + signalName(signal) + " before the first write frame; nothing was sent";
    if (recordId)
        complete(int(journal::Result::Interrupted), nullptr, why, sink);
    else
        addUnsent(int(journal::Result::Interrupted), why, sink);
}

void WriteJournal::addUnsent(int result, const std::string &why, Sink &sink)
{
    if (options.noJournal || options.dryRun)
        return;
    auto e = std::make_shared<journal::Entry>();
    describe(*e);
    e->result = journal::Result(result);
    e->detail = QString::fromLocal8Bit(why.c_str());
    std::string error;
    // after a signal, a journal that does not answer at once is not waited for
    const int limitMs = result == int(journal::Result::Interrupted) ? 800 : 0;
    if (onJournal(options, [e](journal::Journal &book) { book.add(*e); }, error, false, limitMs) != JournalCall::Done)
        sink.err("warning: this attempt is not journaled: " + error);
    else
        publishJournalEvent(options, *e, sink);
}

} // namespace cli
