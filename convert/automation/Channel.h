// One connection to a document engine: a socket pair to a process we started,
// or a Unix-domain socket to a registered instance. It does the request/reply
// exchange with deadlines, and for a process of ours it owns the process: on
// every way out the process is ended and reaped.
//
// Why sockets even towards our own child: with send(MSG_NOSIGNAL) a vanished
// engine is an EPIPE to report, never a SIGPIPE that would end the desktop
// program; no process-wide signal disposition has to be changed for it. The
// engine reads its stdin and writes its stdout as it would with pipes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "Automation.h"
#include "protocol/Protocol.h"

namespace orvane::automation::detail {

class Channel {
public:
    using Clock = std::chrono::steady_clock;

    // Starts the engine and checks its greeting; throws AutomationError.
    static std::shared_ptr<Channel> start(const std::string& enginePath, const ClientOptions& options);
    // Connects to a registered instance and checks its greeting. nullptr when nobody
    // answers there; an entry with no listener behind it is removed.
    static std::shared_ptr<Channel> connect(const std::string& socketPath, const ClientOptions& options);

    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Throws AutomationError with the engine's description, or with what happened to the engine.
    protocol::WireValue request(const protocol::Request& request);
    // Never throws: used from destructors.
    void release(std::int32_t handle) noexcept;
    // After the engine answered Quit: waits for it to end.
    void quitAnswered() noexcept;

    bool connected() const;
    pid_t processId() const { return m_pid; }

private:
    Channel(int fd, pid_t pid, bool ownsProcess, const ClientOptions& options, std::string enginePath);

    void sendLine(const std::string& line, Clock::time_point deadline);
    std::string readLine(Clock::time_point deadline, bool starting);
    void checkGreeting(Clock::time_point deadline);
    // Ends the connection (and our process) and throws the message.
    [[noreturn]] void fail(const std::string& message);
    // The connection closed under us: what became of the engine.
    [[noreturn]] void failClosed();
    [[noreturn]] void failTimeout(bool starting);
    // Closes our end; a process of ours gets `grace` to exit, then SIGTERM and a
    // second to clean up, then SIGKILL. Always reaps, through collect().
    void endProcess(std::chrono::milliseconds grace) noexcept;
    // Waits until the child exited (not reaping it) or the deadline passed.
    bool exitedBefore(Clock::time_point deadline) noexcept;
    // For a child that exited: removes what it left behind, then reaps it.
    void collect() noexcept;

    mutable std::mutex m_mutex;
    int m_fd = -1;
    pid_t m_pid = -1;           // the engine's process id, kept for processId()
    bool m_ownsProcess = false; // started by us: ours to end and reap
    bool m_reaped = false;
    int m_waitStatus = 0;       // valid once reaped
    bool m_statusKnown = false;
    std::string m_ended;        // once set, why every further request fails
    std::string m_input;
    std::chrono::milliseconds m_callTimeout;
    std::chrono::milliseconds m_startTimeout;
    std::string m_enginePath;
    std::string m_registryDir;  // where our engine registered; empty: the user's own registry
    std::string m_savingTo;     // the target of the SaveAs in progress, if any
};

// "300 seconds", "1 second", "0.5 seconds".
std::string describeDuration(std::chrono::milliseconds duration);

}  // namespace orvane::automation::detail
