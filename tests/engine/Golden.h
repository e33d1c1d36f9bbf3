// Golden files: compare output with an expected file under tests/engine/golden,
// or rewrite the expected file when ORVANE_UPDATE_GOLDEN=1 is set.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orvane::testing {

inline std::filesystem::path goldenPath(const std::string& relative) {
    return std::filesystem::path(ORVANE_TEST_DATA_DIR) / "golden" / relative;
}

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool updatingGolden() {
    const char* v = std::getenv("ORVANE_UPDATE_GOLDEN");
    return v && std::string(v) == "1";
}

// Checks `actual` against the golden file, naming the first differing line.
inline void expectGolden(const std::string& relative, const std::string& actual) {
    const auto path = goldenPath(relative);
    if (updatingGolden()) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << path << " is missing; run with ORVANE_UPDATE_GOLDEN=1";
    const std::string expected = readFile(path);
    if (expected == actual) return;
    std::istringstream e(expected), a(actual);
    std::string el, al;
    int line = 1;
    while (true) {
        const bool he = static_cast<bool>(std::getline(e, el));
        const bool ha = static_cast<bool>(std::getline(a, al));
        if (!he && !ha) break;
        if (el != al || he != ha) {
            ADD_FAILURE() << path << " differs at line " << line << "\n expected: " << (he ? el : "<end>")
                          << "\n   actual: " << (ha ? al : "<end>")
                          << "\n(run with ORVANE_UPDATE_GOLDEN=1 to accept the new output)";
            return;
        }
        ++line;
    }
    ADD_FAILURE() << path << " differs (line endings?)";
}

}  // namespace orvane::testing
