// `orvane-word batch ...`: the batch mode's command line, read into BatchSettings.
#pragma once

#include <string>
#include <vector>

#include "BatchRun.h"

namespace orvane::server {

extern const char kBatchUsage[];

struct BatchCommand {
    BatchSettings settings;
    bool help = false;
    std::string error;  // a usage mistake, for "orvane-word: <error>"
};

// The arguments after "batch". Reads --files-from lists (standard input for "-").
// `defaultMemoryLimitMb` is the engine's own default for --memory-limit-mb.
BatchCommand parseBatchCommand(const std::vector<std::string>& arguments, unsigned long defaultMemoryLimitMb);

// Splits a --files-from list: one path a line, or NUL-separated; empty entries are left out.
std::vector<std::string> splitFileList(const std::string& text, bool nulSeparated);

// The processors this process may run on (its affinity, as a batch system sets it).
unsigned availableProcessors();

}  // namespace orvane::server
