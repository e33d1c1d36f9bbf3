#include "BatchRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <optional>

#include "BatchReport.h"
#include "BatchWorker.h"
#include "Files.h"
#include "protocol/Leftovers.h"

extern char** environ;

namespace orvane::server {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long running documents may go on after Ctrl+C before their workers are stopped.
constexpr auto kInterruptGrace = 5s;
// How long a worker told to stop (SIGTERM) gets to remove its temporary and end.
constexpr auto kStopGrace = 2s;
constexpr auto kProgressInterval = 200ms;

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_firstSignal = 0;

extern "C" void onCoordinatorSignal(int signal) {
    const int saved = errno;
    if (g_firstSignal == 0) g_firstSignal = signal;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

std::string ownExecutable() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "/proc/self/exe";
    return std::string(path, static_cast<std::size_t>(length));
}

std::string describeEnd(int status) {
    if (WIFSIGNALED(status)) {
        const int signal = WTERMSIG(status);
        const char* name = strsignal(signal);
        return "The document engine stopped unexpectedly while converting it (signal " + std::to_string(signal) +
               (name ? std::string(", ") + name : std::string()) + ").";
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return "The document engine stopped unexpectedly while converting it (exit status " +
               std::to_string(WEXITSTATUS(status)) + ").";
    return "The document engine ended without answering.";
}

std::string seconds(double value) {
    char text[32];
    if (value == std::floor(value)) std::snprintf(text, sizeof text, "%.0f", value);
    else std::snprintf(text, sizeof text, "%.1f", value);
    return std::string(text) + (value == 1 ? " second" : " seconds");
}

// Makes the output folder and those above it, with the usual permissions.
std::string makeOutputFolder(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? "" : folder + " is not a folder";
    const std::size_t slash = folder.find_last_not_of('/') == std::string::npos ? std::string::npos
                                                                                 : folder.rfind('/', folder.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0) {
        if (std::string error = makeOutputFolder(folder.substr(0, slash)); !error.empty()) return error;
    }
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return "Cannot make the output folder " + folder + ": " + std::strerror(errno);
    return {};
}

class Coordinator {
public:
    Coordinator(const BatchSettings& settings, Plan plan, int reportFd)
        : m_settings(settings), m_plan(std::move(plan)), m_reportFd(reportFd) {
        m_tally.total = m_plan.size();
        m_showProgress = !settings.quiet && isatty(2);
        m_executable = ownExecutable();
    }

    int run();

private:
    enum class StopReason { None, Timeout, Interrupted };
    struct Worker {
        pid_t pid = -1;
        int toWorker = -1;
        int fromWorker = -1;
        std::string input;
        // The documents handed to it, oldest first: the one it answers for next,
        // and those behind it, which it converts while the first are synced to disk.
        std::deque<std::size_t> inFlight;
        bool solo = false;                // on a document that must have the worker to itself
        Clock::time_point started;        // of the oldest, as far as this side knows
        Clock::time_point deadline;       // of the oldest document, or of the stop
        bool busy() const { return !inFlight.empty(); }
        StopReason stopping = StopReason::None;
        bool killed = false;
    };

    bool startWorker();
    void handOut(Worker& worker);
    void startClock(Worker& worker);
    void readFrom(Worker& worker);
    void workerEnded(std::list<Worker>::iterator worker);
    void stop(Worker& worker, StopReason reason);
    void checkDeadlines();
    void interrupt();
    void record(std::size_t index, WorkResult result);
    void flushReport();
    void drawProgress(bool force);
    void clearProgress();
    void say(const std::string& line);
    double elapsed() const { return std::chrono::duration<double>(Clock::now() - m_start).count(); }

    const BatchSettings& m_settings;
    Plan m_plan;
    int m_reportFd;
    std::string m_executable;
    std::list<Worker> m_workers;
    std::size_t m_nextToHandOut = 0;
    // Documents handed to a worker that ended before it could answer for them,
    // to be tried again each in a worker of its own, so that a crash is put down
    // to the document that caused it.
    std::deque<std::size_t> m_again;
    std::map<std::size_t, int> m_retries;
    std::size_t m_nextToReport = 0;
    std::map<std::size_t, WorkResult> m_finished;  // waiting for the documents before them
    Tally m_tally;
    bool m_interrupted = false;
    Clock::time_point m_interruptDeadline;
    bool m_showProgress = false;
    bool m_progressShown = false;
    Clock::time_point m_lastProgress;
    Clock::time_point m_start = Clock::now();
    bool m_reportFailed = false;
    unsigned m_startFailures = 0;
};

bool Coordinator::startWorker() {
    int down[2], up[2];
    if (pipe2(down, O_CLOEXEC) != 0) return false;
    if (pipe2(up, O_CLOEXEC) != 0) {
        ::close(down[0]);
        ::close(down[1]);
        return false;
    }
    std::vector<std::string> arguments = {m_executable, "--batch-worker", std::to_string(getpid())};
    if (m_settings.memoryLimitMb != 0)
        arguments.insert(arguments.begin() + 1, {"--memory-limit-mb", std::to_string(m_settings.memoryLimitMb)});
    else
        arguments.insert(arguments.begin() + 1, {"--memory-limit-mb", "0"});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, down[0], 0);
    posix_spawn_file_actions_adddup2(&actions, up[1], 1);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, m_executable.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(down[0]);
    ::close(up[1]);
    if (error != 0) {
        ::close(down[1]);
        ::close(up[0]);
        errno = error;
        return false;
    }
    Worker worker;
    worker.pid = pid;
    worker.toWorker = down[1];
    worker.fromWorker = up[0];
    m_workers.push_back(std::move(worker));
    return true;
}

void Coordinator::handOut(Worker& worker) {
    // A few at a time: the worker converts the next while the last ones are synced.
    constexpr std::size_t kDepth = 4;
    while (!m_interrupted && worker.toWorker >= 0 && !worker.solo && worker.inFlight.size() < kDepth) {
        std::size_t index = 0;
        if (!m_again.empty()) {
            if (worker.busy()) break;  // only to a worker that has nothing else
            index = m_again.front();
            m_again.pop_front();
            worker.solo = true;
        } else if (m_nextToHandOut < m_plan.size()) {
            index = m_nextToHandOut++;
        } else {
            break;
        }
        const PlannedDocument document = m_plan.document(index);
        if (!document.problem.empty()) {
            WorkResult result;
            result.status = "failed";
            result.error = document.problem;
            record(index, std::move(result));
            continue;
        }
        if (!worker.busy()) startClock(worker);
        worker.inFlight.push_back(index);
        // A worker that died before it could read this is noticed by its end of file.
        writeAll(worker.toWorker, formatWorkOrder({document.input, document.output, m_settings.skipExisting}) + "\n");
    }
    // Nothing left for it: the end of its input ends it once it has answered.
    const bool workLeft = !m_interrupted && (!m_again.empty() || m_nextToHandOut < m_plan.size());
    if (!worker.busy() && !workLeft && worker.toWorker >= 0) {
        ::close(worker.toWorker);
        worker.toWorker = -1;
    }
}

void Coordinator::startClock(Worker& worker) {
    worker.started = Clock::now();
    worker.deadline = m_settings.timeoutSeconds > 0
                          ? worker.started + std::chrono::duration_cast<Clock::duration>(
                                                 std::chrono::duration<double>(m_settings.timeoutSeconds))
                          : Clock::time_point::max();
}

void Coordinator::readFrom(Worker& worker) {
    char buffer[16 * 1024];
    const ssize_t n = ::read(worker.fromWorker, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        ::close(worker.fromWorker);
        worker.fromWorker = -1;  // ended: workerEnded() takes it from here
        return;
    }
    worker.input.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t newline; (newline = worker.input.find('\n')) != std::string::npos;) {
        const std::string line = worker.input.substr(0, newline);
        worker.input.erase(0, newline + 1);
        if (!worker.busy()) continue;
        const std::size_t index = worker.inFlight.front();
        worker.inFlight.pop_front();
        worker.solo = false;
        // The next one's time counts from here: until now the worker was on this one.
        if (worker.busy()) startClock(worker);
        else worker.deadline = Clock::time_point::max();
        auto result = parseWorkResult(line);
        if (!result) {
            WorkResult garbled;
            garbled.status = "failed";
            garbled.error = "The document engine gave an answer this program does not understand.";
            result = std::move(garbled);
        }
        record(index, std::move(*result));
        if (worker.stopping == StopReason::None) handOut(worker);
    }
}

void Coordinator::workerEnded(std::list<Worker>::iterator it) {
    Worker& worker = *it;
    if (worker.toWorker >= 0) ::close(worker.toWorker);
    // Its output is closed, so it is ending; wait for that without reaping, so
    // its pid stays its own while its leftovers are removed.
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(worker.pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    for (std::size_t index : worker.inFlight)
        protocol::removeTemporariesOf(worker.pid, protocol::temporaryFolderFor(m_plan.document(index).output));
    int status = 0;
    while (waitpid(worker.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (worker.busy()) {
        const std::size_t index = worker.inFlight.front();
        WorkResult result;
        result.status = "failed";
        result.milliseconds = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - worker.started).count());
        if (worker.stopping == StopReason::Timeout) {
            result.error = "Converting it took longer than " + seconds(m_settings.timeoutSeconds) + "; it was stopped.";
            record(index, std::move(result));
            worker.inFlight.pop_front();
        } else if (worker.stopping == StopReason::Interrupted) {
            result.error = "The run was interrupted before the document was done.";
            record(index, std::move(result));
            worker.inFlight.clear();  // the one behind it had not begun: it is not converted, as those never handed out
        } else if (worker.inFlight.size() == 1 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            // It died on its only document: that document is the cause.
            result.error = describeEnd(status);
            record(index, std::move(result));
            worker.inFlight.clear();
        }
        // What is left was not answered for: each is tried again in a worker of its
        // own (a worker that ran out of memory retires before it reads its next
        // order; one that died with two documents may have died of either).
        for (std::size_t again : worker.inFlight) {
            if (m_retries[again]++ < 2) {
                m_again.push_back(again);
                continue;
            }
            WorkResult failed;
            failed.status = "failed";
            failed.error = describeEnd(status);
            record(again, std::move(failed));
        }
        worker.inFlight.clear();
    }
    m_workers.erase(it);
}

void Coordinator::stop(Worker& worker, StopReason reason) {
    if (worker.stopping != StopReason::None) return;
    worker.stopping = reason;
    ::kill(worker.pid, SIGTERM);  // still our unreaped child: the pid names no one else
    worker.deadline = Clock::now() + kStopGrace;
}

void Coordinator::checkDeadlines() {
    const auto now = Clock::now();
    if (m_interrupted && now >= m_interruptDeadline)
        for (Worker& worker : m_workers)
            if (worker.busy()) stop(worker, StopReason::Interrupted);
    for (Worker& worker : m_workers) {
        if (now < worker.deadline) continue;
        if (worker.stopping == StopReason::None) {
            if (worker.busy()) stop(worker, StopReason::Timeout);
        } else if (!worker.killed) {
            // It did not end in its grace (stopped with SIGSTOP, or stuck): no more waiting.
            ::kill(worker.pid, SIGKILL);
            worker.killed = true;
            worker.deadline = Clock::time_point::max();
        }
    }
}

void Coordinator::interrupt() {
    const bool again = m_interrupted;
    m_interrupted = true;
    m_interruptDeadline = again ? Clock::now() : Clock::now() + kInterruptGrace;
    const bool busy = std::any_of(m_workers.begin(), m_workers.end(), [](const Worker& worker) { return worker.busy(); });
    if (!again && busy)
        say("orvane-word: interrupted; the documents in progress get 5 seconds to finish (Ctrl+C again stops them now).");
    // Workers end once they have answered for what they have.
    for (Worker& worker : m_workers)
        if (worker.toWorker >= 0) {
            ::close(worker.toWorker);
            worker.toWorker = -1;
        }
}

void Coordinator::record(std::size_t index, WorkResult result) {
    if (result.status == "converted") ++m_tally.converted;
    else if (result.status == "skipped") ++m_tally.skipped;
    else ++m_tally.failed;
    if (result.status == "failed" && !m_settings.quiet)
        say("orvane-word: " + m_plan.document(index).input + ": " + result.error);
    m_finished.emplace(index, std::move(result));
    // Records go out in input order: each waits for those before it.
    std::string lines;
    for (auto it = m_finished.begin(); it != m_finished.end() && it->first == m_nextToReport; it = m_finished.erase(it)) {
        const PlannedDocument document = m_plan.document(it->first);
        if (m_reportFd >= 0) lines += reportRecord(document.input, document.output, it->second) + "\n";
        ++m_nextToReport;
    }
    if (!lines.empty() && !m_reportFailed && !writeAll(m_reportFd, lines)) {
        m_reportFailed = true;
        say("orvane-word: cannot write the report " + m_settings.reportPath + ": " + std::strerror(errno));
    }
}

void Coordinator::flushReport() {
    // After an interruption: what finished goes out even where a document before it never started.
    std::string lines;
    for (auto& [index, result] : m_finished)
        if (m_reportFd >= 0) {
            const PlannedDocument document = m_plan.document(index);
            lines += reportRecord(document.input, document.output, result) + "\n";
        }
    m_finished.clear();
    if (!lines.empty() && !m_reportFailed && !writeAll(m_reportFd, lines)) {
        m_reportFailed = true;
        say("orvane-word: cannot write the report " + m_settings.reportPath + ": " + std::strerror(errno));
    }
}

void Coordinator::clearProgress() {
    if (m_progressShown) writeAll(2, "\r\x1b[K");
    m_progressShown = false;
}

void Coordinator::say(const std::string& line) {
    if (m_settings.quiet) return;
    clearProgress();
    // One failure, one line, even when a file name holds a newline.
    writeAll(2, oneLine(line) + "\n");
    drawProgress(true);
}

void Coordinator::drawProgress(bool force) {
    if (!m_showProgress) return;
    const auto now = Clock::now();
    if (!force && now - m_lastProgress < kProgressInterval) return;
    m_lastProgress = now;
    winsize size{};
    const std::size_t width = (ioctl(2, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) ? size.ws_col : 80;
    writeAll(2, "\r" + progressLine(m_tally, elapsed(), width) + "\x1b[K");
    m_progressShown = true;
}

int Coordinator::run() {
    const std::size_t wanted = std::min<std::size_t>(std::max(1u, m_settings.jobs), m_plan.size());
    for (std::size_t i = 0; i < wanted; ++i) {
        if (!startWorker()) {
            say(std::string("orvane-word: cannot start a worker: ") + std::strerror(errno));
            break;
        }
        handOut(m_workers.back());
    }
    drawProgress(true);

    while (!m_workers.empty()) {
        // Ended workers first: their documents are recorded and fresh ones take over.
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if (it->fromWorker < 0) {
                const bool hadWork = it->busy() || it->toWorker >= 0;
                workerEnded(it);
                const bool workLeft =
                    !m_interrupted && (!m_again.empty() || m_nextToHandOut < m_plan.size());
                if (hadWork && workLeft) {
                    if (startWorker()) {
                        handOut(m_workers.back());
                    } else if (m_workers.empty()) {
                        say(std::string("orvane-word: cannot start a worker: ") + std::strerror(errno));
                    }
                }
            }
            it = next;
        }
        if (m_workers.empty()) break;

        std::vector<pollfd> fds;
        fds.push_back({g_signalPipe[0], POLLIN, 0});
        for (Worker& worker : m_workers) fds.push_back({worker.fromWorker, POLLIN, 0});
        auto wake = Clock::now() + (m_showProgress ? kProgressInterval : 1h);
        for (const Worker& worker : m_workers) wake = std::min(wake, worker.deadline);
        if (m_interrupted) wake = std::min(wake, m_interruptDeadline);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count();
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(std::clamp<long long>(wait, 0, 3600000)));
        if (ready < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            unsigned char signals[64];
            const ssize_t n = ::read(g_signalPipe[0], signals, sizeof signals);
            for (ssize_t i = 0; i < n; ++i) interrupt();
        }
        std::size_t slot = 1;
        for (Worker& worker : m_workers) {
            if (fds[slot++].revents & (POLLIN | POLLHUP | POLLERR)) readFrom(worker);
        }
        checkDeadlines();
        drawProgress(false);
    }

    flushReport();
    clearProgress();
    if (!m_settings.quiet) writeAll(2, "orvane-word: " + summaryLine(m_tally, elapsed(), m_interrupted) + "\n");
    if (m_interrupted) return 128 + (g_firstSignal != 0 ? g_firstSignal : SIGINT);
    return m_tally.failed == 0 ? 0 : 1;
}

}  // namespace

int runBatch(const BatchSettings& settings) {
    std::signal(SIGPIPE, SIG_IGN);
    if (const std::string error = makeOutputFolder(settings.plan.outputDir); !error.empty()) {
        std::fprintf(stderr, "orvane-word: %s\n", error.c_str());
        return 2;
    }
    int reportFd = -1;
    if (!settings.reportPath.empty()) {
        reportFd = ::open(settings.reportPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
        if (reportFd < 0) {
            std::fprintf(stderr, "orvane-word: cannot write the report %s: %s\n", settings.reportPath.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "orvane-word: %s\n", std::strerror(errno));
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onCoordinatorSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);

    Coordinator coordinator(settings, makePlan(settings.plan), reportFd);
    const int status = coordinator.run();
    if (reportFd >= 0 && ::close(reportFd) != 0 && status == 0) {
        std::fprintf(stderr, "orvane-word: cannot write the report %s: %s\n", settings.reportPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    return status;
}

}  // namespace orvane::server
