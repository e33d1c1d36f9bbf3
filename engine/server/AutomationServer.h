// orvane-word --automation: answers the automation protocol on stdin/stdout for
// the client that started it, and on a socket in the per-user registry for
// clients that look for a running instance.
//
// Lifetime: the process ends after Quit, when stdin reaches its end (the client
// released it or died), or on SIGTERM/SIGINT/SIGHUP, removing its registry entry
// each time, so no engine outlives the client that started it. Opening and saving
// run on one worker thread, so the process keeps answering - and notices its
// client going away - while a large or hostile document is being converted.
#pragma once

#include <string>

namespace orvane::server {

struct ServerOptions {
    std::string registryFolder;  // empty: the user's own
    bool registry = true;        // false: serve stdin/stdout only
};

// Returns the process's exit status.
int runAutomationServer(const ServerOptions& options);

}  // namespace orvane::server
