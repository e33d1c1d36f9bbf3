#include "AutomationServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "Files.h"
#include "Session.h"
#include "protocol/Protocol.h"
#include "protocol/Registry.h"

namespace orvane::server {

namespace {

using protocol::Reply;

constexpr std::size_t kMaxConnections = 64;
// A socket client that stops reading its replies is dropped before it costs memory.
constexpr std::size_t kMaxPendingOutput = 4 * 1024 * 1024;

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_pendingSignal = 0;

extern "C" void onTerminationSignal(int signal) {
    const int saved = errno;
    g_pendingSignal = signal;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

void warn(const std::string& text) { std::fprintf(stderr, "orvane-word: %s\n", text.c_str()); }

// Runs one job at a time, so reading or writing a document never stops the
// main thread from answering and from noticing that its client went away.
class Worker {
public:
    Worker() : m_notify(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Worker() { stop(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Readable when a job has finished.
    int notifyFd() const { return m_notify; }

    // False when the thread cannot be started (no memory left for its stack).
    bool run(std::function<void()> work) {
        // Started on first use: most instances only answer a question or two.
        if (!m_thread.joinable() && !startThread()) return false;
        {
            std::lock_guard lock(m_mutex);
            m_work = std::move(work);
            m_error = nullptr;
        }
        m_wake.notify_one();
        return true;
    }

    // On the main thread, after notifyFd() became readable: what the job threw, if anything.
    std::exception_ptr acknowledge() {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_notify, &count, sizeof count);
        std::lock_guard lock(m_mutex);
        return m_error;
    }

    // Only while no job runs.
    void stop() {
        if (!m_thread.joinable()) return;
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

private:
    bool startThread() {
        // Termination signals must reach the main thread: a handler run on this one
        // would not interrupt the main thread's blocked write. The new thread
        // inherits the mask in force while it is created.
        sigset_t termination;
        sigset_t previous;
        sigemptyset(&termination);
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&termination, signal);
        pthread_sigmask(SIG_BLOCK, &termination, &previous);
        bool started = true;
        try {
            m_thread = std::thread([this] { loop(); });
        } catch (const std::exception&) {
            started = false;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return started;
    }

    void loop() {
        for (;;) {
            std::function<void()> work;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || m_work; });
                if (m_stop) return;
                work = std::move(m_work);
                m_work = nullptr;
            }
            std::exception_ptr error;
            try {
                work();
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard lock(m_mutex);
                m_error = error;
            }
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(m_notify, &one, sizeof one);
        }
    }

    int m_notify;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_work;
    std::exception_ptr m_error;
    bool m_stop = false;
};

class Server {
public:
    explicit Server(const ServerOptions& options) : m_options(options) {}
    int run();

private:
    struct Connection {
        int id = 0;
        int fd = -1;             // a socket; the primary connection reads 0 and writes 1
        bool primary = false;
        std::string input;
        std::string output;      // sockets only: what the client has not taken yet
        bool discarding = false; // inside a line that is too long, until its end
        bool waiting = false;    // a job of this connection is queued or running
        bool closing = false;
        std::unique_ptr<Session> session;
    };

    void installSignalHandlers();
    void registerInstance();
    void unregisterInstance();
    [[noreturn]] void dieOfSignal(int signal);
    // The client that started us is gone: nobody can use what is in progress.
    [[noreturn]] void abandon();

    void acceptClient();
    void readFrom(Connection& connection);
    void processLines(Connection& connection);
    void handleLine(Connection& connection, std::string_view line);
    void send(Connection& connection, const Reply& reply);
    void flush(Connection& connection);
    void startNextJob();
    void jobFinished();
    void refuseQueuedJobs();
    void flushSocketsBeforeExit();
    void closeConnection(int id);

    ServerOptions m_options;
    Application m_app;
    Worker m_worker;
    std::map<int, Connection> m_connections;
    int m_nextConnection = 1;
    std::deque<std::pair<int, Job>> m_queue;
    std::optional<std::pair<int, Job>> m_running;
    bool m_inputEnded = false;
    int m_listenFd = -1;
    std::string m_socketPath;
};

void Server::installSignalHandlers() {
    // A vanished client shows as EPIPE, and an output file past RLIMIT_FSIZE as EFBIG:
    // both become failure replies, not the end of the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocked write returns and sees the signal
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void Server::registerInstance() {
    const protocol::RegistryFolder folder = protocol::prepareRegistryFolder(m_options.registryFolder);
    if (!folder.ok()) {
        warn("this instance cannot be found by others: " + folder.error);
        return;
    }
    const std::string path = folder.path + "/" + protocol::socketFileName(getpid());
    // Bound and listening under a name clients skip, then renamed: a client never
    // finds the entry before it answers, and never takes it for a stale one.
    const std::string temporary = path + ".new";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (temporary.size() >= sizeof address.sun_path) {
        warn("this instance cannot be found by others: the path " + path + " is too long for a socket");
        return;
    }
    std::memcpy(address.sun_path, temporary.c_str(), temporary.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    ::unlink(temporary.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
        warn("this instance cannot be found by others: " + path + ": " + std::strerror(errno));
        ::unlink(temporary.c_str());
        ::close(fd);
        return;
    }
    m_listenFd = fd;
    m_socketPath = path;
}

void Server::unregisterInstance() {
    if (!m_socketPath.empty()) ::unlink(m_socketPath.c_str());
    m_socketPath.clear();
}

void Server::dieOfSignal(int signal) {
    removeTemporaryFilesNow();
    unregisterInstance();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    ::_exit(128 + signal);
}

void Server::abandon() {
    removeTemporaryFilesNow();
    unregisterInstance();
    // The worker may be in the middle of a document; it is not waited for.
    ::_exit(0);
}

void Server::acceptClient() {
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != getuid()) {
        ::close(fd);
        return;
    }
    const int id = m_nextConnection++;
    Connection& connection = m_connections[id];
    connection.id = id;
    connection.fd = fd;
    connection.session = std::make_unique<Session>(m_app);
    connection.output = protocol::greeting() + "\n";
    flush(connection);
}

void Server::readFrom(Connection& connection) {
    char buffer[64 * 1024];
    const ssize_t n = ::read(connection.fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        if (connection.primary)
            m_inputEnded = true;
        else
            connection.closing = true;
        return;
    }
    connection.input.append(buffer, static_cast<std::size_t>(n));
    processLines(connection);
}

void Server::processLines(Connection& connection) {
    while (!connection.waiting && !connection.closing && !m_inputEnded && !m_app.quitRequested) {
        const std::size_t newline = connection.input.find('\n');
        if (newline == std::string::npos) {
            if (connection.input.size() > protocol::kMaxLineBytes) {
                connection.discarding = true;
                connection.input.clear();
            }
            return;
        }
        if (connection.discarding || newline > protocol::kMaxLineBytes) {
            connection.input.erase(0, newline + 1);
            connection.discarding = false;
            send(connection, Reply::failure("The request is longer than " +
                                            std::to_string(protocol::kMaxLineBytes >> 20) + " MB"));
            continue;
        }
        std::string line = connection.input.substr(0, newline);
        connection.input.erase(0, newline + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;  // nothing asked, nothing answered
        handleLine(connection, line);
    }
}

void Server::handleLine(Connection& connection, std::string_view line) {
    const auto request = protocol::parseRequest(line);
    if (!request.value) {
        send(connection, Reply::failure("Malformed request: " + request.error));
        return;
    }
    Outcome outcome = connection.session->handle(*request.value);
    if (auto* reply = std::get_if<Reply>(&outcome)) {
        send(connection, *reply);
        if (m_app.quitRequested) refuseQueuedJobs();
        return;
    }
    connection.waiting = true;
    m_queue.emplace_back(connection.id, std::move(std::get<Job>(outcome)));
    startNextJob();
}

void Server::send(Connection& connection, const Reply& reply) {
    const std::string line = protocol::formatReply(reply) + "\n";
    if (connection.primary) {
        // The client that started us reads its replies; blocking here is its business.
        if (!writeAll(1, line, &g_pendingSignal)) {
            if (g_pendingSignal != 0) dieOfSignal(g_pendingSignal);
            m_inputEnded = true;
        }
        return;
    }
    connection.output += line;
    flush(connection);
}

void Server::flush(Connection& connection) {
    while (!connection.output.empty() && !connection.closing) {
        const ssize_t n =
            ::send(connection.fd, connection.output.data(), connection.output.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) connection.closing = true;
            break;
        }
        connection.output.erase(0, static_cast<std::size_t>(n));
    }
    if (connection.output.size() > kMaxPendingOutput) connection.closing = true;
}

void Server::startNextJob() {
    if (m_running || m_queue.empty()) return;
    m_running = std::move(m_queue.front());
    m_queue.pop_front();
    if (m_worker.run(m_running->second.work)) return;
    auto [id, job] = std::move(*m_running);
    m_running.reset();
    if (const auto found = m_connections.find(id); found != m_connections.end()) {
        found->second.waiting = false;
        send(found->second, Reply::failure(outOfMemoryMessage()));
        processLines(found->second);
    }
    startNextJob();
}

void Server::jobFinished() {
    const std::exception_ptr error = m_worker.acknowledge();
    if (!m_running) return;
    auto [id, job] = std::move(*m_running);
    m_running.reset();
    const auto found = m_connections.find(id);
    if (found != m_connections.end() && !found->second.closing) {
        Connection& connection = found->second;
        Reply reply;
        try {
            if (error) std::rethrow_exception(error);
            reply = job.finish();
        } catch (const std::bad_alloc&) {
            reply = Reply::failure(outOfMemoryMessage());
        } catch (const std::exception& e) {
            reply = Reply::failure(std::string("The document engine failed: ") + e.what());
        }
        connection.waiting = false;
        send(connection, reply);
        processLines(connection);
    }
    startNextJob();
}

void Server::refuseQueuedJobs() {
    while (!m_queue.empty()) {
        const int id = m_queue.front().first;
        m_queue.pop_front();
        if (const auto found = m_connections.find(id); found != m_connections.end()) {
            found->second.waiting = false;
            send(found->second, Reply::failure("The document engine is quitting"));
        }
    }
}

void Server::flushSocketsBeforeExit() {
    // The last replies (the answer to Quit among them) get a moment to leave.
    for (int round = 0; round < 100; ++round) {
        std::vector<pollfd> fds;
        for (auto& [id, connection] : m_connections) {
            if (connection.primary || connection.closing || connection.output.empty()) continue;
            flush(connection);
            if (!connection.output.empty() && !connection.closing) fds.push_back({connection.fd, POLLOUT, 0});
        }
        if (fds.empty()) return;
        poll(fds.data(), fds.size(), 10);
    }
}

void Server::closeConnection(int id) {
    const auto found = m_connections.find(id);
    if (found == m_connections.end()) return;
    if (!found->second.primary) ::close(found->second.fd);
    // A queued job of this connection is dropped; a running one finishes unanswered.
    std::erase_if(m_queue, [id](const auto& entry) { return entry.first == id; });
    m_connections.erase(found);
}

int Server::run() {
    installSignalHandlers();

    Connection& primary = m_connections[0];
    primary.primary = true;
    primary.fd = 0;
    primary.session = std::make_unique<Session>(m_app);
    // Registered before the greeting, so an instance is findable once its creator has it.
    if (m_options.registry) registerInstance();
    if (!writeAll(1, protocol::greeting() + "\n", &g_pendingSignal)) {
        unregisterInstance();
        return 1;
    }

    for (;;) {
        if (g_pendingSignal != 0) dieOfSignal(g_pendingSignal);
        if (m_inputEnded) {
            if (m_running) abandon();
            break;
        }
        if (m_app.quitRequested && !m_running) {
            flushSocketsBeforeExit();
            break;
        }
        std::vector<int> closed;
        for (auto& [id, connection] : m_connections)
            if (connection.closing) closed.push_back(id);
        for (int id : closed) closeConnection(id);

        // Slot 0 signals, 1 the worker, 2 the listener (or nothing), then one per connection.
        std::vector<pollfd> fds;
        std::vector<int> owners;
        fds.push_back({g_signalPipe[0], POLLIN, 0});
        fds.push_back({m_worker.notifyFd(), POLLIN, 0});
        const bool listening = m_listenFd >= 0 && !m_app.quitRequested && m_connections.size() < kMaxConnections;
        fds.push_back({listening ? m_listenFd : -1, POLLIN, 0});
        for (auto& [id, connection] : m_connections) {
            short events = POLLRDHUP;
            if (!connection.waiting && !m_app.quitRequested) events |= POLLIN;
            if (!connection.output.empty()) events |= POLLOUT;
            fds.push_back({connection.fd, events, 0});
            owners.push_back(id);
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            warn(std::string("poll failed: ") + std::strerror(errno));
            return 1;
        }
        // A request that arrived together with the signal is not served.
        if (g_pendingSignal != 0) dieOfSignal(g_pendingSignal);
        if (fds[1].revents & POLLIN) jobFinished();
        if (fds[2].revents & POLLIN) acceptClient();
        for (std::size_t i = 0; i < owners.size(); ++i) {
            const short revents = fds[i + 3].revents;
            if (revents == 0) continue;
            const auto found = m_connections.find(owners[i]);
            if (found == m_connections.end()) continue;
            Connection& connection = found->second;
            if (revents & POLLIN) {
                readFrom(connection);
            } else if (revents & (POLLHUP | POLLERR | POLLRDHUP | POLLNVAL)) {
                // Gone while a job of its own was running (input is not read then): nobody waits for it.
                if (connection.primary)
                    m_inputEnded = true;
                else
                    connection.closing = true;
            }
            if ((revents & POLLOUT) && !connection.primary) flush(connection);
        }
    }

    unregisterInstance();
    if (m_listenFd >= 0) ::close(m_listenFd);
    m_worker.stop();
    return 0;
}

}  // namespace

int runAutomationServer(const ServerOptions& options) {
    Server server(options);
    return server.run();
}

}  // namespace orvane::server
