// Qt Test runs every test function under a watchdog thread. Its QThread is
// joined when qExec returns, but the thread's per-thread Qt data is released
// by a thread-exit destructor that may still be running when main returns;
// LeakSanitizer then reports it (about one run in ten under load). Holding the
// process's exit until that thread is gone removes the race.
#include <dirent.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

bool watchdogThreadAlive()
{
    DIR *tasks = opendir("/proc/self/task");
    if (!tasks)
        return false;
    bool alive = false;
    while (const dirent *e = readdir(tasks)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name == "QtTest Watchdog") {
            alive = true;
            break;
        }
    }
    closedir(tasks);
    return alive;
}

struct WaitForWatchdog {
    ~WaitForWatchdog()
    {
        // Bounded: a watchdog still busy after five seconds is not this race.
        for (int i = 0; i < 500 && watchdogThreadAlive(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
} waitForWatchdog;

} // namespace
