// What the batch mode tells about a run: one JSON Lines record per document for
// --report, the line on standard error for a failure, the progress line on a
// terminal, and the summary at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "BatchWorker.h"

namespace orvane::server {

// A JSON string literal, quotes included. Bytes that are not UTF-8 (a file name
// may hold any) become U+FFFD, so every record stays valid JSON.
std::string jsonString(std::string_view text);

// {"input":...,"output":...,"status":...,"error":...,"ms":...,"bytes_in":...,
//  "bytes_out":...,"warnings":[...]}; output and error are null when there is none.
std::string reportRecord(const std::string& input, const std::string& output, const WorkResult& result);

struct Tally {
    std::size_t total = 0;  // documents in this run
    std::size_t converted = 0;
    std::size_t failed = 0;
    std::size_t skipped = 0;
    std::size_t done() const { return converted + failed + skipped; }
};

// "1 min 5 s", "12 s", "2 h 3 min".
std::string describeSeconds(double seconds);

// "1234/10000 done, 3 failed, 45.2 documents/s, 3 min 20 s left", cut to `width` columns.
std::string progressLine(const Tally& tally, double elapsedSeconds, std::size_t width);

// "9990 converted, 10 failed, 0 skipped of 10000 documents in 1 min 23 s (120.3 documents/s)."
std::string summaryLine(const Tally& tally, double elapsedSeconds, bool interrupted);

}  // namespace orvane::server
