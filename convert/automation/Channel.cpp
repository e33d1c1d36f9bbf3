#include "Channel.h"

#include "protocol/Leftovers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

extern char** environ;

namespace orvane::automation::detail {

namespace {

using namespace std::chrono_literals;

// How long an engine gets to exit on its own once its connection is closed.
constexpr auto kExitGrace = 2s;
// How long an engine told to stop (SIGTERM) gets to remove the temporary of a
// save in progress and its registry entry before it is killed.
constexpr auto kStopGrace = 1s;
// A running instance answers its greeting at once, even while it converts (its
// main thread never converts): one that does not is not waited for.
constexpr auto kRunningInstanceGreeting = 500ms;
// Replies stay short; the longest is a description with a path in it.
constexpr std::size_t kMaxReplyBytes = protocol::kMaxLineBytes;

std::string quoted(std::string_view text) {
    std::string shown(text.substr(0, 60));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return "'" + shown + (text.size() > 60 ? "...'" : "'");
}

std::string describeWaitStatus(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = strsignal(signal);
        return "The document engine stopped unexpectedly (signal " + std::to_string(signal) +
               (name ? std::string(", ") + name : std::string()) + ")";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return "The document engine stopped unexpectedly (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    return "The document engine ended without answering";
}

int millisecondsUntil(Channel::Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Channel::Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60 * 60 * 1000));
}

}  // namespace

std::string describeDuration(std::chrono::milliseconds duration) {
    const long long ms = duration.count();
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
    char text[32];
    std::snprintf(text, sizeof text, "%.1f seconds", static_cast<double>(ms) / 1000.0);
    return text;
}

// The file a SaveAs request names, by name or first in place; empty for any other request.
std::string saveTargetOf(const protocol::Request& request) {
    if (!protocol::equalsIgnoreCase(request.member, "SaveAs") && !protocol::equalsIgnoreCase(request.member, "SaveAs2"))
        return {};
    for (std::size_t i = 0; i < request.arguments.size(); ++i) {
        const protocol::Argument& argument = request.arguments[i];
        const bool fileName = argument.name.empty() ? i == 0 : protocol::equalsIgnoreCase(argument.name, "FileName");
        if (const auto* text = std::get_if<std::string>(&argument.value); fileName && text) return *text;
    }
    return {};
}

Channel::Channel(int fd, pid_t pid, bool ownsProcess, const ClientOptions& options, std::string enginePath)
    : m_fd(fd),
      m_pid(pid),
      m_ownsProcess(ownsProcess),
      m_callTimeout(options.callTimeout),
      m_startTimeout(options.startTimeout),
      m_enginePath(std::move(enginePath)),
      m_registryDir(options.registryDir) {}

Channel::~Channel() { endProcess(kExitGrace); }

std::shared_ptr<Channel> Channel::start(const std::string& enginePath, const ClientOptions& options) {
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        throw AutomationError("Cannot start the document engine " + enginePath + ": " + std::strerror(errno));
    int childEnd = ends[1];
    if (childEnd < 3) {
        // Our own stdin or stdout was closed, so the socket took its number; move it
        // aside, or the dup2 onto 0 and 1 below would trample it.
        childEnd = fcntl(ends[1], F_DUPFD_CLOEXEC, 3);
        ::close(ends[1]);
    }

    std::vector<std::string> arguments = {enginePath, "--automation"};
    if (!options.registryDir.empty()) arguments.insert(arguments.end(), {"--registry", options.registryDir});
    if (options.memoryLimitMb != 0)
        arguments.insert(arguments.end(), {"--memory-limit-mb", std::to_string(options.memoryLimitMb)});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    // The engine gets the socket as stdin and stdout, our stderr, and nothing else:
    // any descriptor of ours it kept would keep a connection open after we closed it.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, childEnd, 0);
    posix_spawn_file_actions_adddup2(&actions, childEnd, 1);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    // Signal dispositions and the mask of the calling thread are ours, not the engine's.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int error = childEnd < 0 ? errno
                                   : posix_spawn(&pid, enginePath.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (childEnd >= 0) ::close(childEnd);
    if (error != 0) {
        ::close(ends[0]);
        throw AutomationError("Cannot start the document engine " + enginePath + ": " + std::strerror(error));
    }

    std::shared_ptr<Channel> channel(new Channel(ends[0], pid, true, options, enginePath));
    channel->checkGreeting(Clock::now() + options.startTimeout);
    return channel;
}

std::shared_ptr<Channel> Channel::connect(const std::string& socketPath, const ClientOptions& options) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) return nullptr;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return nullptr;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // Refused: the socket file outlived its instance. (EAGAIN: one that is busy accepting.)
        if (errno == ECONNREFUSED) ::unlink(socketPath.c_str());
        ::close(fd);
        return nullptr;
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != getuid()) {
        ::close(fd);
        return nullptr;
    }
    std::shared_ptr<Channel> channel(new Channel(fd, peer.pid, false, options, {}));
    try {
        channel->checkGreeting(Clock::now() + std::min<std::chrono::milliseconds>(options.startTimeout,
                                                                                  kRunningInstanceGreeting));
    } catch (const AutomationError&) {
        return nullptr;
    }
    return channel;
}

void Channel::checkGreeting(Clock::time_point deadline) {
    std::lock_guard lock(m_mutex);
    const std::string line = readLine(deadline, true);
    const auto version = protocol::parseGreeting(line);
    if (!version) fail("The document engine " + m_enginePath + " did not greet as expected: it said " + quoted(line));
    if (*version != protocol::kVersion)
        fail("The document engine speaks version " + std::to_string(*version) +
             " of the automation protocol; this program needs version " + std::to_string(protocol::kVersion));
}

protocol::WireValue Channel::request(const protocol::Request& request) {
    std::lock_guard lock(m_mutex);
    if (!m_ended.empty()) throw AutomationError(m_ended);
    const Clock::time_point deadline = Clock::now() + m_callTimeout;
    // Should the engine die or be stopped during a save, its temporary is ours to remove.
    m_savingTo = m_ownsProcess ? saveTargetOf(request) : std::string();
    sendLine(protocol::formatRequest(request) + "\n", deadline);
    const std::string line = readLine(deadline, false);
    m_savingTo.clear();
    auto reply = protocol::parseReply(line);
    if (!reply.value) fail("The document engine sent a reply this program does not understand (" + reply.error + ")");
    if (!reply.value->ok) throw AutomationError(reply.value->error);
    return std::move(reply.value->value);
}

void Channel::release(std::int32_t handle) noexcept {
    try {
        std::lock_guard lock(m_mutex);
        if (!m_ended.empty()) return;
        // Releasing is instant for a working engine; one that cannot do it in a few
        // seconds is stuck, and waiting the whole call timeout in a destructor helps nobody.
        const Clock::time_point deadline = Clock::now() + std::min<std::chrono::milliseconds>(m_callTimeout, 10s);
        sendLine(protocol::formatRequest({protocol::Verb::Release, handle, {}, {}}) + "\n", deadline);
        readLine(deadline, false);
    } catch (...) {
        // The connection is over; ending it already freed everything on the engine's side.
    }
}

void Channel::quitAnswered() noexcept {
    std::lock_guard lock(m_mutex);
    endProcess(kExitGrace);
    m_ended = m_ownsProcess ? "The document engine has quit" : "The running instance has quit";
}

bool Channel::connected() const {
    std::lock_guard lock(m_mutex);
    return m_ended.empty();
}

void Channel::sendLine(const std::string& line, Clock::time_point deadline) {
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t n = ::send(m_fd, rest.data(), rest.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            rest.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) failClosed();
        pollfd pfd{m_fd, POLLOUT, 0};
        const int ready = poll(&pfd, 1, millisecondsUntil(deadline));
        if (ready == 0) failTimeout(false);
    }
}

std::string Channel::readLine(Clock::time_point deadline, bool starting) {
    for (;;) {
        if (const std::size_t newline = m_input.find('\n'); newline != std::string::npos) {
            std::string line = m_input.substr(0, newline);
            m_input.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (m_input.size() > kMaxReplyBytes) fail("The document engine sent a reply longer than this program accepts");
        pollfd pfd{m_fd, POLLIN, 0};
        const int ready = poll(&pfd, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) failTimeout(starting);
        char buffer[16 * 1024];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            m_input.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            failClosed();
        }
    }
}

void Channel::fail(const std::string& message) {
    endProcess(0ms);
    m_ended = message;
    throw AutomationError(message);
}

void Channel::failClosed() {
    if (!m_ownsProcess) {
        endProcess(0ms);
        m_ended = "The running instance of Word.Application closed the connection";
        throw AutomationError(m_ended);
    }
    // The engine closed its end: normally because it is exiting. Give it a moment to finish dying.
    ::close(m_fd);
    m_fd = -1;
    if (exitedBefore(Clock::now() + kExitGrace)) {
        collect();
        m_ended = m_statusKnown ? describeWaitStatus(m_waitStatus) : "The document engine stopped unexpectedly";
        throw AutomationError(m_ended);
    }
    fail("The document engine closed its connection without answering and was stopped");
}

void Channel::failTimeout(bool starting) {
    if (!m_ownsProcess) {
        const auto waited = starting ? std::min<std::chrono::milliseconds>(m_startTimeout, kRunningInstanceGreeting)
                                     : m_callTimeout;
        fail("The running instance did not answer within " + describeDuration(waited));
    }
    if (starting)
        fail("The document engine did not start within " + describeDuration(m_startTimeout) + " and was stopped");
    fail("The document engine did not answer within " + describeDuration(m_callTimeout) + " and was stopped");
}

void Channel::endProcess(std::chrono::milliseconds grace) noexcept {
    if (m_fd >= 0) {
        ::close(m_fd);  // the engine sees the end of its stdin and exits
        m_fd = -1;
    }
    if (!m_ownsProcess || m_reaped) return;
    if (!exitedBefore(Clock::now() + grace)) {
        // Still our unreaped child, so the pid cannot name anyone else. SIGTERM
        // first: the engine removes the temporary of a save in progress and its
        // registry entry, which SIGKILL would leave behind.
        ::kill(m_pid, SIGTERM);
        if (!exitedBefore(Clock::now() + kStopGrace)) {
            ::kill(m_pid, SIGKILL);  // stopped (SIGSTOP) or stuck: it cannot clean up itself
            siginfo_t info{};
            while (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
            }
        }
    }
    collect();
}

bool Channel::exitedBefore(Clock::time_point deadline) noexcept {
    if (m_reaped) return true;
    long sleepNs = 500'000;
    for (;;) {
        // WNOWAIT: it stays a zombie, so its pid is still its own while collect() tidies up.
        siginfo_t info{};
        const int result = ::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if (result == 0 && info.si_pid == m_pid) return true;
        if (result < 0 && errno == ECHILD) {
            // The program ignores SIGCHLD, so the system reaped it for us; its pid
            // may already name another process, so nothing is tidied in its name.
            m_reaped = true;
            m_statusKnown = false;
            return true;
        }
        if (Clock::now() >= deadline) return false;
        const timespec pause{0, sleepNs};
        nanosleep(&pause, nullptr);
        sleepNs = std::min(sleepNs * 2, 20'000'000L);
    }
}

void Channel::collect() noexcept {
    if (m_reaped) return;
    // What a killed engine could not remove: its registry entry, and the
    // temporary of the save it was in, named after its pid beside the target.
    protocol::removeRegistryEntryOf(m_pid, m_registryDir);
    if (!m_savingTo.empty()) protocol::removeTemporariesOf(m_pid, protocol::temporaryFolderFor(m_savingTo));
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(m_pid, &status, 0);
    } while (result < 0 && errno == EINTR);
    m_reaped = true;
    m_statusKnown = result == m_pid;
    m_waitStatus = status;
}

}  // namespace orvane::automation::detail
