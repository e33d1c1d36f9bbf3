#include "TestFaults.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace orvane::server::testfaults {

namespace {

bool g_enabled = false;
std::atomic<bool> g_hangInNextSave{false};

constexpr std::string_view kMarker = "ORVANE-TEST-FAULT ";

[[noreturn]] void hangForever() {
    for (;;) pause();
}

}  // namespace

void configure() {
    const char* value = std::getenv("ORVANE_WORD_TEST_FAULTS");
    g_enabled = value && std::strcmp(value, "1") == 0;
}

void onInput(std::string_view bytes) {
    if (!g_enabled || !bytes.starts_with(kMarker)) return;
    const std::string_view word = bytes.substr(kMarker.size(), bytes.find_first_of(" \r\n", kMarker.size()) - kMarker.size());
    if (word == "crash") {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    } else if (word == "hang") {
        hangForever();
    } else if (word == "memory") {
        // Touched, so that it costs memory and not only address space.
        std::vector<std::vector<char>> hoard;
        for (;;) hoard.emplace_back(64u << 20, 'x');
    } else if (word == "hang-in-save") {
        g_hangInNextSave = true;
    }
}

void whileSaving() {
    if (g_enabled && g_hangInNextSave.exchange(false)) hangForever();
}

}  // namespace orvane::server::testfaults
