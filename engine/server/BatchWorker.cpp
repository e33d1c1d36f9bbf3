#include "BatchWorker.h"

#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstring>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>

#include "Files.h"
#include "protocol/Protocol.h"

namespace orvane::server {

namespace {

using protocol::percentDecode;
using protocol::percentEncode;

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

std::optional<std::uint64_t> parseNumber(std::string_view text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes the folder and those above it that are missing; the reason when it cannot.
std::string makeFolders(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? "" : folder + " is not a folder";
    if (const std::string parent = folderOf(folder); parent != folder) {
        if (std::string error = makeFolders(parent); !error.empty()) return error;
    }
    // Another worker may make the same folder at the same moment.
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        return "Cannot make the folder " + folder + ": " + std::strerror(errno);
    return {};
}

bool newerThan(const struct stat& a, const struct stat& b) {
    if (a.st_mtim.tv_sec != b.st_mtim.tv_sec) return a.st_mtim.tv_sec > b.st_mtim.tv_sec;
    return a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

extern "C" void onWorkerTermination(int signal) {
    // Only what is safe in a handler: unlink, and dying of the same signal.
    removeTemporaryFilesNow();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

std::string formatWorkOrder(const WorkOrder& order) {
    return "C\t" + percentEncode(order.input) + "\t" + percentEncode(order.output) + "\t" +
           (order.skipExisting ? "1" : "0");
}

std::optional<WorkOrder> parseWorkOrder(std::string_view line) {
    const auto fields = splitTabs(line);
    if (fields.size() != 4 || fields[0] != "C" || (fields[3] != "0" && fields[3] != "1")) return std::nullopt;
    auto input = percentDecode(fields[1]);
    auto output = percentDecode(fields[2]);
    if (!input || !output || input->empty() || output->empty()) return std::nullopt;
    return WorkOrder{std::move(*input), std::move(*output), fields[3] == "1"};
}

std::string formatWorkResult(const WorkResult& result) {
    std::string line = "R\t" + result.status + "\t" + std::to_string(result.milliseconds) + "\t" +
                       std::to_string(result.bytesIn) + "\t" + std::to_string(result.bytesOut) + "\t" +
                       percentEncode(result.error);
    for (const std::string& warning : result.warnings) line += "\t" + percentEncode(warning);
    return line;
}

std::optional<WorkResult> parseWorkResult(std::string_view line) {
    const auto fields = splitTabs(line);
    if (fields.size() < 6 || fields[0] != "R") return std::nullopt;
    WorkResult result;
    result.status = std::string(fields[1]);
    if (result.status != "converted" && result.status != "failed" && result.status != "skipped") return std::nullopt;
    const auto ms = parseNumber(fields[2]);
    const auto in = parseNumber(fields[3]);
    const auto out = parseNumber(fields[4]);
    auto error = percentDecode(fields[5]);
    if (!ms || !in || !out || !error) return std::nullopt;
    result.milliseconds = *ms;
    result.bytesIn = *in;
    result.bytesOut = *out;
    result.error = std::move(*error);
    for (std::size_t i = 6; i < fields.size(); ++i) {
        auto warning = percentDecode(fields[i]);
        if (!warning) return std::nullopt;
        result.warnings.push_back(std::move(*warning));
    }
    return result;
}

WorkResult convertOne(const WorkOrder& order, bool& retire, PendingSave* deferred) {
    const auto started = std::chrono::steady_clock::now();
    WorkResult result;
    auto finish = [&](std::string status, std::string error = {}) {
        result.status = std::move(status);
        result.error = std::move(error);
        result.milliseconds = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
        return result;
    };

    struct stat inputStat {};
    struct stat outputStat {};
    const bool inputThere = stat(order.input.c_str(), &inputStat) == 0;
    const bool outputThere = stat(order.output.c_str(), &outputStat) == 0;
    if (order.skipExisting && inputThere && outputThere && S_ISREG(outputStat.st_mode) &&
        newerThan(outputStat, inputStat)) {
        result.bytesIn = static_cast<std::uint64_t>(inputStat.st_size);
        result.bytesOut = static_cast<std::uint64_t>(outputStat.st_size);
        return finish("skipped");
    }
    // The last guard for "never overwrite an input": the plan already names
    // outputs apart from listed inputs, but a link can make two names one file.
    if (inputThere && outputThere && inputStat.st_dev == outputStat.st_dev && inputStat.st_ino == outputStat.st_ino)
        return finish("failed", "Its output " + order.output + " is the document itself; it was left as it was.");

    try {
        ReadResult read;
        {
            LoadedFile file = loadInputFile(order.input);
            if (!file.ok()) return finish("failed", asSentence(std::move(file.error)));
            result.bytesIn = file.bytes.size();
            read = readDocumentBytes(file.bytes);
        }
        if (!read.ok()) {
            if (read.error == outOfMemoryMessage()) retire = true;
            return finish("failed", read.error);
        }
        result.warnings = std::move(read.warnings);
        if (std::string error = makeFolders(folderOf(order.output)); !error.empty())
            return finish("failed", asSentence(std::move(error)));
        PendingSave pending;
        if (std::string error = writeRtfTemporary(*read.document, order.output, pending); !error.empty())
            return finish("failed", asSentence("Cannot write " + order.output + ": " + error));
        result.bytesOut = pending.bytesWritten;
        if (deferred) {
            // Converted but not yet in place: the caller commits it, and only then is it converted.
            *deferred = std::move(pending);
            return finish("converted");
        }
        if (std::string error = commitRtfTemporary(pending); !error.empty()) {
            result.bytesOut = 0;
            return finish("failed", asSentence("Cannot write " + order.output + ": " + error));
        }
        return finish("converted");
    } catch (const std::bad_alloc&) {
        // The heap of a process that ran out may stay large: a fresh worker takes over.
        retire = true;
        return finish("failed", outOfMemoryMessage());
    } catch (const std::exception& e) {
        return finish("failed", asSentence(std::string("The document engine failed: ") + e.what()));
    }
}

namespace {

// Syncs and renames each written document, and answers for every document in
// the order they came, on a thread of its own: the main thread converts the next
// document meanwhile, so the wait for the disk costs no conversion time.
class Committer {
public:
    Committer() : m_thread([this] { loop(); }) {}
    ~Committer() { finish(); }

    struct Answer {
        WorkResult result;
        std::string output;
        std::optional<PendingSave> pending;  // to commit before answering
    };

    // Waits while three answers are pending, so a few documents at most wait for the disk.
    void push(Answer answer) {
        std::unique_lock lock(m_mutex);
        m_room.wait(lock, [this] { return m_queue.size() < 3 || m_broken; });
        m_queue.push_back(std::move(answer));
        m_work.notify_one();
    }
    // Answers everything pushed, then ends the thread. False when the coordinator could not be answered.
    bool finish() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_work.notify_one();
        if (m_thread.joinable()) m_thread.join();
        return !m_broken;
    }
    bool broken() {
        std::lock_guard lock(m_mutex);
        return m_broken;
    }

private:
    void loop() {
        for (;;) {
            Answer answer;
            {
                std::unique_lock lock(m_mutex);
                m_work.wait(lock, [this] { return !m_queue.empty() || m_done; });
                if (m_queue.empty()) return;
                answer = std::move(m_queue.front());
            }
            if (answer.pending) {
                const auto started = std::chrono::steady_clock::now();
                if (std::string error = commitRtfTemporary(*answer.pending); !error.empty()) {
                    answer.result.status = "failed";
                    answer.result.error = asSentence("Cannot write " + answer.output + ": " + error);
                    answer.result.bytesOut = 0;
                }
                answer.result.milliseconds += static_cast<std::uint64_t>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
                        .count());
            }
            const bool answered = writeAll(1, formatWorkResult(answer.result) + "\n");
            std::lock_guard lock(m_mutex);
            m_queue.pop_front();
            if (!answered) m_broken = true;
            m_room.notify_one();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_room;
    std::deque<Answer> m_queue;
    bool m_done = false;
    bool m_broken = false;
    std::thread m_thread;  // last: it starts once everything above is ready
};

}  // namespace

int runBatchWorker(pid_t coordinator) {
    // Dies with its coordinator, even while a document holds it; checked after
    // asking, in case the coordinator was gone already.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != coordinator) return 1;
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = onWorkerTermination;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);

    Committer committer;
    std::string input;
    char buffer[64 * 1024];
    for (;;) {
        const std::size_t newline = input.find('\n');
        if (newline == std::string::npos) {
            const ssize_t n = ::read(0, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return committer.finish() ? 0 : 1;
            input.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        const std::string line = input.substr(0, newline);
        input.erase(0, newline + 1);
        const auto order = parseWorkOrder(line);
        Committer::Answer answer;
        bool retire = false;
        if (order) {
            PendingSave pending;
            answer.result = convertOne(*order, retire, &pending);
            answer.output = order->output;
            if (pending.fd >= 0) answer.pending = std::move(pending);
        } else {
            answer.result.status = "failed";
            answer.result.error = "The batch worker was given a request it does not understand.";
        }
        committer.push(std::move(answer));
        if (committer.broken()) return 1;
        if (retire) return committer.finish() ? 0 : 1;
    }
}

}  // namespace orvane::server
