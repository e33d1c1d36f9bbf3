// A batch worker: an orvane-word process of its own that converts the documents
// its coordinator hands it, one at a time, so that a document that crashes,
// hangs or runs away with memory takes down only this process.
//
// It speaks lines over its stdin and stdout (strings percent-encoded as in the
// automation protocol, fields separated by TAB):
//   coordinator -> worker   C <input> <output> <skip-existing 0|1>
//   worker -> coordinator   R <status> <ms> <bytes in> <bytes out> <error> [<warning> ...]
// with status "converted", "failed" or "skipped", one answer per order in the
// order they came. The coordinator may send the next order before the answer to
// the last: the worker converts it while the last is synced to disk. It ends at the end of
// its stdin, once everything is answered; after running out of memory it answers and ends, so the coordinator
// starts a fresh one; it ignores SIGINT (Ctrl+C is the coordinator's to handle)
// and removes its temporary file on SIGTERM or SIGHUP, and when its coordinator
// dies it gets SIGTERM.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::server {

struct WorkOrder {
    std::string input;
    std::string output;
    bool skipExisting = false;
};

struct WorkResult {
    std::string status;  // "converted", "failed", "skipped"
    std::uint64_t milliseconds = 0;
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    std::string error;  // for "failed": a sentence for the user
    std::vector<std::string> warnings;
};

std::string formatWorkOrder(const WorkOrder& order);  // without the newline
std::optional<WorkOrder> parseWorkOrder(std::string_view line);
std::string formatWorkResult(const WorkResult& result);
std::optional<WorkResult> parseWorkResult(std::string_view line);

struct PendingSave;

// Converts one document; `retire` is set when the process should end afterwards.
// With `deferred`, a document written to its temporary is left there for the
// caller to commit (commitRtfTemporary) instead of being put in place at once.
WorkResult convertOne(const WorkOrder& order, bool& retire, PendingSave* deferred = nullptr);

// The worker's life: `orvane-word --batch-worker <coordinator pid>`. Returns the exit status.
int runBatchWorker(pid_t coordinator);

}  // namespace orvane::server
