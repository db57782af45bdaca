// Journals what the main window writes to the transmitter: its configuration
// writes and zero corrections. It only listens, sends no frame and opens no
// box; records are written on a thread of its own so a slow or absent
// database never holds up the window, and a failure shows as a note in the
// status bar.
#pragma once

#include "JournalEntry.h"
#include "JournalSpool.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QThread;

class QLabel;
class TMainF;

class TWindowJournal : public QObject {
    Q_OBJECT
public:
    // The journal of QZ5801_JOURNAL, or the default file.
    explicit TWindowJournal(TMainF &window);
    // Another journal (tests).
    TWindowJournal(TMainF &window, const journal::Address &address);
    // Waits at most `exitWaitMs` for the records still on the journal's
    // thread; those it did not see written are kept in the spool.
    ~TWindowJournal() override;

    // True once an exit left the journal's thread waiting in the database:
    // the program then ends without running its static destructors under it.
    static bool threadLeftRunning();

    // Until every record handed over so far is written or has failed (tests).
    void waitForRecords();
    // A record another part of the window makes (a verification run), with
    // its own serial number and times where set. `done` runs on the window's
    // thread with the problem, empty when the record was written.
    void addRecord(journal::Entry entry, std::function<void(const QString &problem)> done = {});

    QLabel *note = nullptr; // at the right of the status bar; empty while all is well
    int exitWaitMs = 3000;
    // Records the journal could not take, written at the next start.
    JournalSpool spool{defaultSpoolPath()};

    struct Pending;

signals:
    // A record was handed to the journal's thread (for the MQTT events).
    void recordMade(const journal::Entry &entry);

private:
    void attach(const std::optional<journal::Address> &address, const QString &problem);
    void configurationWriteEnded(bool written);
    void zeroOffsetWriteEnded(float storedOffset, float sentOffset, bool written);
    void submit(journal::Entry entry, std::function<void(const QString &problem)> done = {});
    QObject *writer();
    void recorded(const QString &problem);
    void writeSpool();
    // The note in the language shown now.
    void showNote();

    TMainF &w;
    std::optional<int> serial;
    QThread *thread = nullptr; // left running, not deleted, when it outlasts the exit's wait
    QObject *worker = nullptr; // lives on `thread`; made with the first record
    std::shared_ptr<Pending> pending;
    quint64 lastNumber = 0;
    static bool threadLeft;
    std::optional<journal::Address> address;
    QString addressProblem;
    QString lastProblem; // of the last record; empty: journaled
};
