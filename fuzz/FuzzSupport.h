// What every fuzz target shares: a check that stops the run with a message.
// A failed check is a finding, like a sanitizer report.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

[[noreturn]] inline void fuzzFailure(const char *file, int line, const std::string &what)
{
    std::fprintf(stderr, "\n== fuzz finding at %s:%d: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition, what)                                                                                \
    do {                                                                                                           \
        if (!(condition))                                                                                          \
            fuzzFailure(__FILE__, __LINE__, std::string(what));                                                    \
    } while (0)

// Bytes as a readable C string for a failure message.
inline std::string shown(const QByteArray &bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        }
    }
    return out;
}
inline std::string shown(const QString &text) { return shown(text.toUtf8()); }
