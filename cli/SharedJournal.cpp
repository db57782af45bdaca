#include "SharedJournal.h"
#include "WriteJournal.h"

#include "Journal.h"
#include "ProcessEnd.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <unistd.h>

namespace cli {

namespace {

struct Call {
    std::function<void(journal::Journal &)> work; // none: only wait for the journal to be open
    Batch batch = Batch::Alone;
    bool starting = false; // startJournal's: its failure is said by the next call
    std::string failure; // the worker's, before done
    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;
    bool abandoned = false; // its caller gave up waiting before it started
};

class JournalThread {
public:
    void post(const Options &options, const std::shared_ptr<Call> &call)
    {
        std::lock_guard lock(mutex);
        if (!worker.joinable()) {
            of = &options;
            worker = std::thread([this] { serve(); });
        }
        queue.push_back(call);
        queueChanged.notify_one();
    }

    // False when a call is still running (it never came back).
    bool stop()
    {
        {
            std::lock_guard lock(mutex);
            if (!worker.joinable())
                return true;
            if (busy || !queue.empty() || stuck)
                return false;
            stopping = true;
            queueChanged.notify_one();
        }
        worker.join();
        return true;
    }

    bool idle()
    {
        std::lock_guard lock(mutex);
        return !worker.joinable() || !(busy || !queue.empty() || stuck);
    }

    void markStuck()
    {
        std::lock_guard lock(mutex);
        stuck = true;
    }

private:
    void serve()
    {
        for (;;) {
            std::vector<std::shared_ptr<Call>> calls;
            {
                std::unique_lock lock(mutex);
                queueChanged.wait(lock, [&] { return stopping || !queue.empty(); });
                if (queue.empty())
                    break;
                // The records of several transmitters that came while the
                // last commit ran go in one transaction together.
                do {
                    calls.push_back(queue.front());
                    queue.pop_front();
                } while (calls.front()->batch != Batch::Alone && !queue.empty() &&
                         queue.front()->batch != Batch::Alone);
                busy = true;
            }
            std::vector<std::shared_ptr<Call>> run;
            for (const auto &call : calls) {
                std::lock_guard lock(call->mutex);
                if (!call->abandoned)
                    run.push_back(call);
            }
            execute(run);
            {
                std::lock_guard lock(mutex);
                busy = false;
            }
            for (const auto &call : calls) {
                std::lock_guard lock(call->mutex);
                call->done = true;
                call->doneChanged.notify_all();
            }
        }
        book.reset(); // the connection closes on the thread that made it
    }

    // The journal, opened by the first call; false with the reason on the call.
    bool open(Call &call)
    {
        if (book)
            return true;
        try {
            if (!openFailure.empty() && !call.starting)
                throw journal::JournalError(std::exchange(openFailure, {}));
            book = openJournalOf(*of, "Cannot use the journal: ");
            return true;
        } catch (const std::exception &e) {
            // startJournal's failure is said by the call that waits, not tried twice
            (call.starting ? openFailure : call.failure) = e.what();
            return false;
        }
    }

    void runAlone(Call &call)
    {
        if (!open(call) || !call.work)
            return;
        try {
            call.work(*book);
        } catch (const std::exception &e) {
            call.failure = e.what();
        }
    }

    void execute(const std::vector<std::shared_ptr<Call>> &calls)
    {
        if (calls.size() == 1)
            runAlone(*calls.front());
        if (calls.size() < 2)
            return;
        if (!open(*calls.front())) {
            for (const auto &call : calls)
                call->failure = calls.front()->failure;
            return;
        }
        std::vector<Call *> writing; // the others only waited for the journal
        for (const auto &call : calls)
            if (call->work)
                writing.push_back(call.get());
        if (writing.size() < 2) {
            for (Call *call : writing)
                runAlone(*call);
            return;
        }
        bool committing = false;
        try {
            book->together(
                [&] {
                    for (Call *call : writing)
                        call->work(*book);
                },
                committing);
        } catch (const std::exception &e) {
            // Each alone again, as if they had not met: a failed statement
            // rolled them all back. After a failed COMMIT they may be there,
            // so no record is begun twice; completing one twice is harmless.
            for (Call *call : writing) {
                if (committing && call->batch == Batch::Once)
                    call->failure = e.what();
                else
                    runAlone(*call);
            }
        }
    }

    const Options *of = nullptr;
    std::unique_ptr<journal::Journal> book; // only on the worker
    std::string openFailure;                // only on the worker: startJournal's, for the next call
    std::mutex mutex;
    std::condition_variable queueChanged;
    std::deque<std::shared_ptr<Call>> queue;
    std::thread worker;
    bool busy = false;
    bool stopping = false;
    bool stuck = false;
};

JournalThread &journalThread()
{
    // never destroyed: a call that never came back may still use it at exit
    static JournalThread *thread = new JournalThread;
    return *thread;
}

} // namespace

JournalCall onJournal(const Options &options, const std::function<void(journal::Journal &)> &work,
                      std::string &error, bool interruptible, int limitMs, Batch batch)
{
    JournalThread &thread = journalThread();
    auto call = std::make_shared<Call>();
    call->work = work;
    call->batch = batch;
    thread.post(options, call);
    // The journal's own limits end a statement first; this bounds a server
    // that stopped answering altogether.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(limitMs > 0 ? limitMs : journal::waitMsFromEnvironment() * 3 + 5000);
    // After a signal, a call that comes back soon still counts, so its record
    // can say "interrupted"; one that does not is given up well within a second.
    std::optional<std::chrono::steady_clock::time_point> signalled;
    std::unique_lock lock(call->mutex);
    while (!call->done) {
        const auto now = std::chrono::steady_clock::now();
        if (interruptible && heldSignal() && !signalled)
            signalled = now;
        if (signalled && now - *signalled > std::chrono::milliseconds(400)) {
            call->abandoned = true;
            return JournalCall::Interrupted;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            call->abandoned = true;
            thread.markStuck();
            error = "Cannot use the journal: it did not answer in time";
            return JournalCall::Failed;
        }
        call->doneChanged.wait_for(lock, std::chrono::milliseconds(50));
    }
    if (call->failure.empty())
        return JournalCall::Done;
    error = call->failure;
    return JournalCall::Failed;
}

void startJournal(const Options &options)
{
    auto call = std::make_shared<Call>();
    call->starting = true;
    journalThread().post(options, call);
}

int finishJournal(int code)
{
    // a call still hangs in the database driver: leave it there
    if (!journalThread().idle())
        endProcessNow(code);
    // every record is committed by now
    if (endsWithoutLibraryExitCode())
        endProcessNow(code);
    journalThread().stop();
    return code;
}

} // namespace cli
