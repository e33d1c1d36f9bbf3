// orvane-word batch: the coordinator. It makes the plan (BatchPlan.h), keeps
// --jobs worker processes (BatchWorker.h) busy one document each, and writes
// the report in input order, whatever the order in which documents finish.
//
// A worker that crashes, or is stopped for going past --timeout, costs only its
// document: its temporary file is removed (it is named after the worker's pid,
// see protocol/Leftovers.h), the document is reported failed and a fresh worker
// takes over. Ctrl+C (SIGINT, SIGTERM, SIGHUP) stops handing out work, gives
// running documents a few seconds, then stops their workers the same way, and
// writes the report of what was done; a second one stops them at once.
#pragma once

#include <string>

#include "BatchPlan.h"

namespace orvane::server {

struct BatchSettings {
    PlanOptions plan;
    unsigned jobs = 1;
    double timeoutSeconds = 300;   // per document; 0: none
    unsigned long memoryLimitMb = 0;  // for each worker; 0: none of its own
    bool quiet = false;            // no progress, no failure lines, no summary
    std::string reportPath;        // empty: none
    bool skipExisting = false;
};

// Exit status: 0 every document converted (or skipped), 1 some failed, 2 the run
// could not start (the output folder or the report cannot be made), 130 interrupted.
int runBatch(const BatchSettings& settings);

}  // namespace orvane::server
