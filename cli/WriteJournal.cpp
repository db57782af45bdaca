#include "WriteJournal.h"

#include "Journal.h"
#include "MemoryMap.h"
#include "PublishShared.h"

#include <QFileInfo>

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

std::unique_ptr<journal::Journal> openJournalOf(const Options &options, const std::string &prefix)
{
    QString problem;
    const std::optional<journal::Address> address = journal::chooseAddress(
        options.journalAddress ? QString::fromLocal8Bit(options.journalAddress->c_str()) : QString(), &problem);
    if (!address)
        throw journal::JournalError(prefix + problem.toStdString());
    return std::make_unique<journal::Journal>(*address);
}

void WriteJournal::describe(journal::Entry &e) const
{
    journal::stampEntry(e, QStringLiteral("qz5801-cli"), QStringLiteral(QZ_VERSION));
    e.operation = QLatin1String(operation);
    if (target.serial)
        e.serial = *target.serial;
    e.location = QString::fromStdString(target.location);
    if (!file.empty()) {
        e.fileName = QFileInfo(QString::fromLocal8Bit(file.c_str())).absoluteFilePath();
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
    if (options.noJournal || options.dryRun || book)
        return true;
    try {
        book = openJournalOf(options, "Cannot use the journal: ");
        return true;
    } catch (const journal::JournalError &e) {
        sink.err(e.what());
        sink.fail("Nothing was written: every write is journaled (--no-journal writes without a record)");
        return false;
    }
}

bool WriteJournal::begin(TFix64 &link, const std::vector<uint8_t> &before, const std::vector<uint8_t> &requestedImage,
                         Sink &sink, std::optional<qint64> restoredFrom)
{
    if (options.noJournal)
        return true;
    if (!open(sink))
        return false;
    if (!target.serial) {
        // On the pipes the read before left open: one transaction, without a
        // fresh bracket's drains (which would cost more than the journal).
        uint8_t bytes[memmap::kSerialNumberSize];
        try {
            link.readMemory(memmap::kSerialNumber, bytes, sizeof bytes);
            target.serial = uint16_t(bytes[0] | bytes[1] << 8);
        } catch (const std::exception &) {
        }
    }
    journal::Entry e;
    describe(e);
    e.before = journal::configurationContent(before);
    e.requested = journal::configurationContent(requestedImage);
    e.restoredFrom = restoredFrom;
    requested = requestedImage;
    try {
        recordId = book->begin(e);
        return true;
    } catch (const journal::JournalError &error) {
        sink.err(error.what());
        sink.fail("Nothing was written: every write is journaled (--no-journal writes without a record)");
        return false;
    }
}

void WriteJournal::complete(int result, const std::vector<uint8_t> *after, const std::string &detail, Sink &sink)
{
    if (!book || !recordId)
        return;
    try {
        book->complete(recordId, journal::Result(result),
                          after ? journal::configurationContent(*after) : journal::MemoryContent{},
                          QString::fromStdString(detail));
        if (const std::optional<journal::Entry> entry = book->record(recordId))
            publishJournalEvent(options, *entry, sink);
    } catch (const journal::JournalError &e) {
        // The transmitter has it already; the record stays "not finished".
        sink.err(std::string("warning: ") + e.what() + " (record " + std::to_string(recordId) +
                 " stays not finished)");
    }
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
    try {
        if (!book)
            book = openJournalOf(options, {});
        journal::Entry e;
        describe(e);
        e.result = journal::Result(result);
        e.detail = QString::fromLocal8Bit(why.c_str());
        book->add(e);
        publishJournalEvent(options, e, sink);
    } catch (const journal::JournalError &e) {
        sink.err(std::string("warning: this attempt is not journaled: ") + e.what());
    }
}

} // namespace cli
