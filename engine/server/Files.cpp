#include "Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

namespace orvane::server {

namespace {

mode_t g_umask = 022;
std::size_t g_memoryLimitMb = 0;

std::mutex g_temporariesMutex;
std::set<std::string> g_temporaries;

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
        m_buffer.clear();
        return true;
    }

    int error() const { return m_errno; }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    int m_fd;
    std::string m_buffer;
    int m_errno = 0;
};

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

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

// strerror's texts stand as they are, the way every other program shows them.
std::string errnoText(int error) { return std::strerror(error); }

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
    try {
        ReadResult result = readDocument(file.bytes, limits);
        if (!result.ok()) result.error = asSentence(std::move(result.error));
        return result;
    } catch (const std::bad_alloc&) {
        return ReadResult::failure(outOfMemoryMessage());
    } catch (const std::exception& e) {
        // Readers report problems as values; an exception here is a fault of ours.
        return ReadResult::failure(asSentence(std::string("The document could not be read: ") + e.what()));
    }
}

std::string saveRtfAtomically(const model::Document& document, const std::string& path) {
    if (path.empty()) return "No file name was given.";
    const std::string target = resolveTarget(path);

    std::string temporary = folderOf(target) + "/.orvane-word-XXXXXX";
    int fd = -1;
    {
        std::lock_guard lock(g_temporariesMutex);
        fd = mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0) return errnoText(errno);
        g_temporaries.insert(temporary);
    }

    std::string error;
    try {
        FileSink sink(fd);
        const bool written = writeRtf(document, sink) && sink.flush();
        if (!written) error = sink.error() != 0 ? errnoText(sink.error()) : "The document could not be written.";
    } catch (const std::bad_alloc&) {
        error = outOfMemoryMessage();
    }

    if (error.empty()) {
        // A replaced file keeps its permissions; a new one gets the usual ones.
        struct stat st {};
        const mode_t mode = (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ? (st.st_mode & 07777)
                                                                                     : (0666 & ~g_umask);
        if (fchmod(fd, mode) != 0 || fsync(fd) != 0) error = errnoText(errno);
    }
    if (::close(fd) != 0 && error.empty()) error = errnoText(errno);
    if (error.empty() && std::rename(temporary.c_str(), target.c_str()) != 0) error = errnoText(errno);

    std::lock_guard lock(g_temporariesMutex);
    if (!error.empty()) ::unlink(temporary.c_str());
    g_temporaries.erase(temporary);
    return error;
}

void removeTemporaryFilesNow() {
    std::lock_guard lock(g_temporariesMutex);
    for (const std::string& path : g_temporaries) ::unlink(path.c_str());
    g_temporaries.clear();
}

}  // namespace orvane::server
