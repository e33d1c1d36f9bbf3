// The shared corpus of real documents, when one is at hand. ORVANE_CORPUS names
// its folder; without it the tests look for ../shared/corpus beside the source
// tree. A folder that holds no documents of a test's kind is no corpus for it:
// the test skips, so an empty or unrelated folder of that name fails nothing.
#pragma once

#include <cstdlib>
#include <filesystem>

namespace orvane::testing {

inline std::filesystem::path corpusFolder() {
    if (const char* named = std::getenv("ORVANE_CORPUS"); named && *named) return named;
    return ORVANE_CORPUS_DIR;
}

}  // namespace orvane::testing
