#include "Files.h"

#include <pthread.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <csignal>
#include <new>

#include "TestFaults.h"
#include "protocol/Leftovers.h"

namespace orvane::server {

namespace {

mode_t g_umask = 022;
std::size_t g_memoryLimitMb = 0;

// Temporaries being written right now, in slots a signal handler can read: a
// handler may run at any instruction of a save, so it cannot take a lock or walk
// a container. A slot holds a path only while its state is kPublished.
constexpr int kFree = 0, kClaimed = 1, kPublished = 2;
struct TemporarySlot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX + 1];
};
static_assert(std::atomic<int>::is_always_lock_free);
constexpr int kSlots = 16;  // saves run one at a time per process; a few spare
TemporarySlot g_slots[kSlots];

// Blocks the termination signals while a temporary comes into being or goes,
// so that no handler sees a file that exists but is not yet published.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, &m_previous);
    }
    ~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &m_previous, nullptr); }
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t m_previous;
};

// Creates the temporary in a free slot: its descriptor and slot, or -1 with errno set.
int createTemporary(const std::string& folder, TemporarySlot*& slot) {
    const std::string pattern = folder + "/" + protocol::temporaryFilePrefix(getpid()) + "XXXXXX";
    if (pattern.size() > PATH_MAX) {
        errno = ENAMETOOLONG;
        return -1;
    }
    slot = nullptr;
    for (TemporarySlot& candidate : g_slots) {
        int expected = kFree;
        if (candidate.state.compare_exchange_strong(expected, kClaimed)) {
            slot = &candidate;
            break;
        }
    }
    if (!slot) {
        errno = EBUSY;
        return -1;
    }
    std::memcpy(slot->path, pattern.c_str(), pattern.size() + 1);
    TerminationSignalsBlocked blocked;
    const int fd = mkostemp(slot->path, O_CLOEXEC);
    slot->state.store(fd >= 0 ? kPublished : kFree);
    return fd;
}

void releaseTemporary(TemporarySlot& slot, bool remove) {
    TerminationSignalsBlocked blocked;
    if (remove) ::unlink(slot.path);
    slot.state.store(kFree);
}

const char* kindOfSpecialFile(mode_t mode) {
    if (S_ISDIR(mode)) return nullptr;
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    return "not an ordinary file";
}

// Collects the writer's many small pieces into large writes.
class FileSink : public Sink {
public:
    explicit FileSink(int fd) : m_fd(fd) { m_buffer.reserve(kChunk); }

    bool write(std::string_view data) override {
        if (m_errno != 0) return false;
        m_buffer.append(data);
        return m_buffer.size() < kChunk || flush();
    }

    bool flush() {
        if (m_errno != 0) return false;
        if (!writeAll(m_fd, m_buffer)) {
            m_errno = errno;
            return false;
        }
        m_written += m_buffer.size();
        m_buffer.clear();
        return true;
    }

    int error() const { return m_errno; }
    std::size_t bytesWritten() const { return m_written; }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    int m_fd;
    std::string m_buffer;
    int m_errno = 0;
    std::size_t m_written = 0;
};

// A link keeps pointing at the document: the new file replaces what it points to.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            std::string target = resolved;
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// strerror's texts as sentences, like every other message of the engine.
std::string errnoText(int error) { return asSentence(std::strerror(error)); }

}  // namespace

bool writeAll(int fd, std::string_view data, const volatile std::sig_atomic_t* interrupted) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR && !(interrupted && *interrupted)) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void rememberUmask() {
    g_umask = umask(0);
    umask(g_umask);
}

void setMemoryLimitForMessages(std::size_t megabytes) { g_memoryLimitMb = megabytes; }

std::string outOfMemoryMessage() {
    if (g_memoryLimitMb == 0) return "There is not enough memory to convert the document.";
    return "The document needs more memory than the engine's limit of " + std::to_string(g_memoryLimitMb) + " MB.";
}

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string asSentence(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
    if (text.empty()) return "Unknown failure.";
    if (const char last = text.back(); last != '.' && last != '!' && last != '?') text += '.';
    return text;
}

LoadedFile loadInputFile(const std::string& path, std::size_t maxBytes) {
    LoadedFile file;
    // O_NONBLOCK: opening a named pipe must not wait for a writer; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        file.error = errnoText(errno);
        return file;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        file.error = errnoText(errno);
    } else if (S_ISDIR(st.st_mode)) {
        file.error = "It is a folder, not a file.";
    } else if (!S_ISREG(st.st_mode)) {
        file.error = "It is not an ordinary file.";
    } else if (static_cast<std::size_t>(st.st_size) > maxBytes) {
        file.error = "The file is larger than " + std::to_string(maxBytes >> 20) + " MB.";
    } else if (st.st_size == 0) {
        file.error = "The file is empty.";
    }
    if (!file.error.empty()) {
        ::close(fd);
        return file;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    try {
        file.bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        // The file may shrink or grow while it is read: what is there up to the size seen counts.
        while (done < file.bytes.size()) {
            const ssize_t n = ::read(fd, file.bytes.data() + done, file.bytes.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                file.error = errnoText(errno);
                break;
            }
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
        }
        file.bytes.resize(done);
        if (file.error.empty() && done == 0) file.error = "The file is empty.";
    } catch (const std::bad_alloc&) {
        file.bytes = std::string();
        file.error = outOfMemoryMessage();
    }
    ::close(fd);
    return file;
}

ReadResult readDocumentFile(const std::string& path, const ReadLimits& limits) {
    LoadedFile file = loadInputFile(path);
    if (!file.ok()) return ReadResult::failure(std::move(file.error));
    return readDocumentBytes(file.bytes, limits);
}

ReadResult readDocumentBytes(std::string_view bytes, const ReadLimits& limits) {
    try {
        testfaults::onInput(bytes);
        ReadResult result = readDocument(bytes, limits);
        if (!result.ok()) result.error = asSentence(std::move(result.error));
        return result;
    } catch (const std::bad_alloc&) {
        return ReadResult::failure(outOfMemoryMessage());
    } catch (const std::exception& e) {
        // Readers report problems as values; an exception here is a fault of ours.
        return ReadResult::failure(asSentence(std::string("The document could not be read: ") + e.what()));
    }
}

std::string replaceableTarget(const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) return {};  // nothing there yet (or unreachable: the save says why)
    if (S_ISREG(st.st_mode)) return {};
    if (S_ISDIR(st.st_mode)) return "It is a folder, not a file.";
    // Renaming over a device node or a pipe would put a regular file in its place:
    // as root, an output of /dev/null would replace the real one.
    const char* kind = kindOfSpecialFile(st.st_mode);
    return std::string("It is ") + kind + ", not an ordinary file; only an ordinary file is replaced.";
}

std::string writeRtfTemporary(const model::Document& document, const std::string& path, PendingSave& pending) {
    pending = PendingSave{};
    if (path.empty()) return "No file name was given.";
    const std::string target = resolveTarget(path);
    if (std::string refusal = replaceableTarget(target); !refusal.empty()) return refusal;

    TemporarySlot* slot = nullptr;
    const int fd = createTemporary(protocol::temporaryFolderFor(target), slot);
    if (fd < 0) return errnoText(errno);

    std::string error;
    std::size_t written = 0;
    try {
        FileSink sink(fd);
        const bool ok = writeRtf(document, sink) && sink.flush();
        written = sink.bytesWritten();
        if (!ok) error = sink.error() != 0 ? errnoText(sink.error()) : "The document could not be written.";
    } catch (const std::bad_alloc&) {
        error = outOfMemoryMessage();
    }
    testfaults::whileSaving();
    if (!error.empty()) {
        ::close(fd);
        releaseTemporary(*slot, true);
        return error;
    }
    pending.target = target;
    pending.fd = fd;
    pending.slot = static_cast<int>(slot - g_slots);
    pending.bytesWritten = written;
    return {};
}

std::string commitRtfTemporary(PendingSave& pending) {
    if (pending.slot < 0) return "Nothing was written.";
    TemporarySlot& slot = g_slots[pending.slot];
    const int fd = pending.fd;
    const std::string& target = pending.target;
    std::string error;
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat st {};
    const mode_t mode = (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ? (st.st_mode & 07777)
                                                                                 : (0666 & ~g_umask);
    if (fchmod(fd, mode) != 0 || fsync(fd) != 0) error = errnoText(errno);
    if (::close(fd) != 0 && error.empty()) error = errnoText(errno);
    // The target may have become something else while the document was written.
    if (error.empty()) error = replaceableTarget(target);
    if (error.empty() && std::rename(slot.path, target.c_str()) != 0) error = errnoText(errno);
    releaseTemporary(slot, !error.empty());
    pending.fd = -1;
    pending.slot = -1;
    return error;
}

std::string saveRtfAtomically(const model::Document& document, const std::string& path, SaveDetails* details) {
    PendingSave pending;
    if (std::string error = writeRtfTemporary(document, path, pending); !error.empty()) return error;
    std::string error = commitRtfTemporary(pending);
    if (details && error.empty()) details->bytesWritten = pending.bytesWritten;
    return error;
}

void removeTemporaryFilesNow() {
    for (TemporarySlot& slot : g_slots)
        if (slot.state.load() == kPublished) ::unlink(slot.path);
}

}  // namespace orvane::server
