#include "SharedJournal.h"
#include "WriteJournal.h"

#include "Journal.h"

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
    std::function<void()> work;
    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;
    bool abandoned = false; // its caller gave up waiting before it started
};

class JournalThread {
public:
    void post(const std::shared_ptr<Call> &call)
    {
        std::lock_guard lock(mutex);
        if (!worker.joinable())
            worker = std::thread([this] { serve(); });
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

    void markStuck()
    {
        std::lock_guard lock(mutex);
        stuck = true;
    }

    std::unique_ptr<journal::Journal> book; // only on the worker
    std::string openFailure;                // only on the worker: startJournal's, for the next call

private:
    void serve()
    {
        for (;;) {
            std::shared_ptr<Call> call;
            {
                std::unique_lock lock(mutex);
                queueChanged.wait(lock, [&] { return stopping || !queue.empty(); });
                if (queue.empty())
                    break;
                call = queue.front();
                queue.pop_front();
                busy = true;
            }
            bool run = false;
            {
                std::lock_guard lock(call->mutex);
                run = !call->abandoned;
            }
            if (run)
                call->work();
            {
                std::lock_guard lock(mutex);
                busy = false;
            }
            std::lock_guard lock(call->mutex);
            call->done = true;
            call->doneChanged.notify_all();
        }
        book.reset(); // the connection closes on the thread that made it
    }

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
                      std::string &error, bool interruptible, int limitMs)
{
    JournalThread &thread = journalThread();
    auto call = std::make_shared<Call>();
    auto failure = std::make_shared<std::string>();
    call->work = [&thread, &options, work, failure] {
        try {
            if (!thread.book && !thread.openFailure.empty())
                throw journal::JournalError(std::exchange(thread.openFailure, {}));
            if (!thread.book)
                thread.book = openJournalOf(options, "Cannot use the journal: ");
            work(*thread.book);
        } catch (const std::exception &e) {
            *failure = e.what();
        }
    };
    thread.post(call);
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
    if (failure->empty())
        return JournalCall::Done;
    error = *failure;
    return JournalCall::Failed;
}

void startJournal(const Options &options)
{
    JournalThread &thread = journalThread();
    auto call = std::make_shared<Call>();
    call->work = [&thread, &options] {
        try {
            if (!thread.book)
                thread.book = openJournalOf(options, "Cannot use the journal: ");
        } catch (const std::exception &e) {
            // said by the call that waits for the journal, not tried twice
            thread.openFailure = e.what();
        }
    };
    thread.post(call);
}

int finishJournal(int code)
{
    if (journalThread().stop())
        return code;
    // a call still hangs in the database driver: leave it there
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
}

} // namespace cli
