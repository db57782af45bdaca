// Journals what the main window writes to the transmitter: its configuration
// writes and zero corrections. It only listens, sends no frame and opens no
// box; records are written on a thread of its own so a slow or absent
// database never holds up the window, and a failure shows as a note in the
// status bar.
#pragma once

#include "JournalEntry.h"

#include <QObject>
#include <QThread>

#include <optional>

class QLabel;
class TMainF;

class TWindowJournal : public QObject {
    Q_OBJECT
public:
    // The journal of QZ5801_JOURNAL, or the default file.
    explicit TWindowJournal(TMainF &window);
    // Another journal (tests).
    TWindowJournal(TMainF &window, const journal::Address &address);
    ~TWindowJournal() override;

    // Until every record handed over so far is written or has failed (tests).
    void waitForRecords();

    QLabel *note = nullptr; // at the right of the status bar; empty while all is well

private:
    void attach(const std::optional<journal::Address> &address, const QString &problem);
    void configurationWriteEnded(bool written);
    void zeroOffsetWriteEnded(float storedOffset, float sentOffset, bool written);
    void submit(journal::Entry entry);
    QObject *writer();
    void recorded(const QString &problem);
    // The note in the language shown now.
    void showNote();

    TMainF &w;
    std::optional<int> serial;
    QThread thread;
    QObject *worker = nullptr; // lives on `thread`; made with the first record
    std::optional<journal::Address> address;
    QString addressProblem;
    QString lastProblem; // of the last record; empty: journaled
};
