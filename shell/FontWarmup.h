// Fontconfig reads its configuration and font caches the first time a text is
// measured: a third of the window's start-up, on one core. Started at the top
// of main, that runs on the other core while Qt connects to the display; the
// window waits for it before it measures its first text.
#pragma once

#include <thread>

class FontWarmup {
public:
    FontWarmup();
    ~FontWarmup() { finish(); }
    FontWarmup(const FontWarmup &) = delete;
    FontWarmup &operator=(const FontWarmup &) = delete;

    // Returns once fontconfig is ready (at once where there is none).
    void finish();

private:
    std::thread worker;
};
