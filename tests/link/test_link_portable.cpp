// The link against the simulated transmitter without Qt, so that the same
// program runs on Linux and, cross-built, as a Windows program under Wine.
// Which library it finds is the caller's doing (LD_LIBRARY_PATH, or the DLL
// put beside the .exe); each test suite expects one situation, chosen with
// doctest's -ts=<suite>:
//   with-library   the full simulator
//   no-library     no library at all
//   missing-entry  a library that lacks _MPUSBReadInt
//   memory-file    the full simulator, QZSIM_MEMORY naming a file it may replace
// QZ_FRAMES_EXPECTED names the frames file to compare with; QZ_FRAMES_OUT, if
// set, receives the frames this run saw, in the same format.
#define DOCTEST_CONFIG_IMPLEMENT
#include "doctest.h"

#include "Fix64usb.h"
#include "LibraryLoader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// The simulator's control functions, from the library the link loaded.
template <typename Fn> Fn control(const char *name)
{
    void *library = qzlink::openUsbLibrary(); // the module already loaded, counted once more
    REQUIRE(library != nullptr);
    void *p = qzlink::findSymbol(library, name);
    REQUIRE_MESSAGE(p != nullptr, name);
    return reinterpret_cast<Fn>(p);
}

std::string hex(const void *data, uint32_t length)
{
    static const char digits[] = "0123456789abcdef";
    const auto *b = static_cast<const uint8_t *>(data);
    std::string s;
    for (uint32_t i = 0; i < length; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

// Every frame that crosses the library boundary: the link's pointers to the
// library's write and read are replaced by these, which pass the call on.
namespace wire {
MPUSBWriteFn libraryWrite = nullptr;
MPUSBReadFn libraryRead = nullptr;
std::vector<std::string> frames;

uint32_t MPUSB_CALL write(void *handle, const void *data, uint32_t length, uint32_t *transferred, uint32_t timeoutMs)
{
    frames.push_back("> " + hex(data, length));
    return libraryWrite(handle, data, length, transferred, timeoutMs);
}

uint32_t MPUSB_CALL read(void *handle, void *data, uint32_t length, uint32_t *transferred, uint32_t timeoutMs)
{
    const uint32_t ok = libraryRead(handle, data, length, transferred, timeoutMs);
    if (ok)
        frames.push_back("< " + hex(data, length));
    return ok;
}

void attach(TFix64 &link)
{
    libraryWrite = std::exchange(link._MPUSBWrite, &write);
    libraryRead = std::exchange(link._MPUSBRead, &read);
    frames.clear();
}

void section(const char *name) { frames.push_back(std::string("## ") + name); }
} // namespace wire

// The transcript file without its comment lines.
std::vector<std::string> readFrames(const char *path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    REQUIRE_MESSAGE(in.good(), "cannot read ", path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
        else if (line.rfind("## ", 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

// What the start-up connection does before its caught part, then commands 2 and 4.
void connect(TFix64 &link)
{
    link.openPipes(0);
    CHECK(link.deviceCount() == 1);
    link.setSlaveAddress(kAnySlave);
    link.timeoutMs = 250;
    link.bytesRead = 0;
    link.sendCommand2();
    link.sendCommand4();
}

// The configuration read: 8 bytes at 890, the block at 67, each field of it on its own.
void readConfiguration(TFix64 &link, uint8_t *image)
{
    inBracket(link, [&] {
        link.readMemory(890, image + 890, 8);
        link.readMemory(67, image + 67, 27);
        uint32_t address = 67;
        for (int output = 0; output < 3; ++output) {
            for (int value = 0; value < 2; ++value, address += 4)
                link.readMemory(address, image + address, 4);
            link.readMemory(address, image + address, 1);
            address += 1;
        }
    });
}

// The configuration write: the gravity at 894, then the output block at 67.
void writeConfiguration(TFix64 &link, float gravity, const float (&values)[6], const uint8_t (&modes)[3])
{
    inBracket(link, [&] {
        link.writeMemory(894, &gravity, 4);
        uint8_t block[27];
        for (int output = 0; output < 3; ++output) {
            std::memcpy(block + 9 * output, &values[2 * output], 4);
            std::memcpy(block + 9 * output + 4, &values[2 * output + 1], 4);
            block[9 * output + 8] = modes[output];
        }
        link.writeMemory(67, block, 27);
    });
}

float floatAt(const uint8_t *image, uint32_t address)
{
    float v;
    std::memcpy(&v, image + address, 4);
    return v;
}

std::vector<uint8_t> fileBytes(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST_SUITE("with-library")
{
    TEST_CASE("the library is found by its bare name and all nine entry points are bound")
    {
        TFix64 link;
        REQUIRE(link.loadLibrary());
        CHECK(bool(link._MPUSBGetStringDescriptor));
#if defined(_WIN32)
        CHECK(std::string(qzlink::usbLibraryFileName()) == "mpusbapi.dll");
        // The module that answers is the DLL beside the program, not one
        // found in the working folder or on PATH.
        HMODULE module = nullptr;
        REQUIRE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(link._MPUSBOpen), &module));
        char dll[MAX_PATH] = {};
        char exe[MAX_PATH] = {};
        REQUIRE(GetModuleFileNameA(module, dll, MAX_PATH) > 0);
        REQUIRE(GetModuleFileNameA(nullptr, exe, MAX_PATH) > 0);
        std::string expected(exe);
        expected = expected.substr(0, expected.find_last_of("\\/") + 1) + "mpusbapi.dll";
        CHECK(_stricmp(dll, expected.c_str()) == 0);
        MESSAGE("mpusbapi.dll loaded from ", dll);
#endif
    }

    TEST_CASE("a connection, a read and a write bracket send and receive the recorded frames")
    {
        TFix64 link;
        REQUIRE(link.loadLibrary());
        control<void (*)(void)>("qzsim_reset")();
        setPauseFunction([](unsigned) {});
        wire::attach(link);

        wire::section("connection");
        connect(link);
        wire::section("read");
        std::vector<uint8_t> image(65536);
        readConfiguration(link, image.data());
        CHECK(floatAt(image.data(), 890) == 100000.0f);
        CHECK(floatAt(image.data(), 894) == 1000.0f);
        CHECK(image[75] == 1);

        wire::section("write");
        const float values[6] = {1000, 2000, -500.25f, 4000, 5000, 5000};
        writeConfiguration(link, 998.5f, values, {1, 0xFF, 4});
        auto memory = control<uint8_t *(*)(void)>("qzsim_memory")();
        CHECK(floatAt(memory, 894) == 998.5f);
        CHECK(floatAt(memory, 76) == -500.25f);
        CHECK(memory[84] == 0xFF);

        wire::section("read again");
        readConfiguration(link, image.data());
        CHECK(floatAt(image.data(), 894) == 998.5f);
        CHECK(std::memcmp(image.data() + 67, memory + 67, 27) == 0);
        setPauseFunction({});

        if (const char *out = std::getenv("QZ_FRAMES_OUT")) {
            std::ofstream file(out, std::ios::binary);
            for (const std::string &line : wire::frames)
                file << line << '\n';
            CHECK(file.good());
        }
        const char *expectedPath = std::getenv("QZ_FRAMES_EXPECTED");
        REQUIRE_MESSAGE(expectedPath != nullptr, "QZ_FRAMES_EXPECTED names the frames to compare with");
        const std::vector<std::string> expected = readFrames(expectedPath);
        // The first line that differs, rather than two pages of hex.
        for (std::size_t i = 0; i < expected.size() && i < wire::frames.size(); ++i) {
            INFO("frame line ", i + 1);
            REQUIRE(wire::frames[i] == expected[i]);
        }
        CHECK(wire::frames.size() == expected.size());
    }
}

TEST_SUITE("memory-file")
{
    TEST_CASE("every configuration write replaces the memory file, not only the first")
    {
        const char *path = std::getenv("QZSIM_MEMORY");
        REQUIRE_MESSAGE(path != nullptr, "QZSIM_MEMORY names the simulator's memory file");
        std::remove(path);
        TFix64 link;
        REQUIRE(link.loadLibrary());
        setPauseFunction([](unsigned) {});
        connect(link);
        const float values[6] = {1000, 2000, 3000, 4000, 5000, 6000};
        for (float gravity : {998.5f, 997.25f, 996.0f}) {
            writeConfiguration(link, gravity, values, {1, 2, 3});
            const std::vector<uint8_t> saved = fileBytes(path);
            REQUIRE(saved.size() == 65536);
            CHECK(floatAt(saved.data(), 894) == gravity);
            CHECK(floatAt(saved.data(), 76) == 3000.0f);
            CHECK(!std::ifstream(std::string(path) + ".tmp").good());
        }
        setPauseFunction({});
        std::remove(path);
    }
}

TEST_SUITE("no-library")
{
    TEST_CASE("a missing library raises the exact text and leaves a link that cannot transact")
    {
        TFix64 link;
        try {
            link.loadLibrary();
            FAIL("loaded a library that is not there");
        } catch (const TLinkError &e) {
            CHECK(std::string(e.what()) == "Cannot find usb serial library mpusbapi.dll");
        }
        CHECK(!link.libraryLoaded());
        CHECK(!link.openPipes(0));
        link.closePipes(0);
        // a count of 0: the start-up then says "The device is not connected"
        CHECK(link.deviceCount() == 0);
        CHECK_THROWS_WITH_AS(link.sendCommand2(), "Device not reply", TLinkError);
    }
}

TEST_SUITE("missing-entry")
{
    TEST_CASE("a library without one entry point is never called")
    {
        TFix64 link;
        CHECK(!link.loadLibrary());
        CHECK(link.libraryLoaded());
        CHECK(bool(link._MPUSBRead));
        CHECK_FALSE(bool(link._MPUSBReadInt)); // the one that is missing
        CHECK_FALSE(bool(link._MPUSBWrite));   // binding stopped there
        CHECK_FALSE(bool(link._MPUSBGetStringDescriptor));
        control<void (*)(void)>("qzsim_reset")();
        link.setSlaveAddress(kAnySlave);
        link.timeoutMs = 250;
        CHECK(!link.openPipes(0));
        // a count of 0: the start-up then says "The device is not connected"
        CHECK(link.deviceCount() == 0);
        link.closePipes(0);
        CHECK_THROWS_WITH_AS(link.sendCommand2(), "Device not reply", TLinkError);
        CHECK(std::string(control<const char *(*)(void)>("qzsim_call_log")()).empty());
    }
}

// Exactly one known suite, so a misspelt name cannot pass by running nothing.
int main(int argc, char **argv)
{
    int suites = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("-ts=", 0) == 0) {
            const std::string suite = arg.substr(4);
            if (suite != "with-library" && suite != "no-library" && suite != "missing-entry" &&
                suite != "memory-file") {
                std::fprintf(stderr, "unknown suite %s\n", suite.c_str());
                return 2;
            }
            ++suites;
        }
    }
    if (suites != 1) {
        std::fprintf(stderr, "usage: %s -ts=with-library|no-library|missing-entry [doctest options]\n", argv[0]);
        return 2;
    }
    doctest::Context context(argc, argv);
    return context.run();
}
