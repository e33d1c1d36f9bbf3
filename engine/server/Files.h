// The only place where orvane-word touches documents on disk: reading an input
// whole, and saving RTF so that the target is either the complete new file or
// left exactly as it was.
#pragma once

#include <csignal>
#include <cstddef>
#include <string>
#include <string_view>

#include "Engine.h"

namespace orvane::server {

inline constexpr std::size_t kMaxInputBytes = std::size_t(1) << 30;  // 1 GiB

struct LoadedFile {
    std::string bytes;
    std::string error;  // why it could not be read, e.g. "It is a folder, not a file."
    bool ok() const { return error.empty(); }
};

// Reads a regular file of at most maxBytes. Folders, devices and pipes are
// refused before anything is read, so a path can never make the engine wait.
LoadedFile loadInputFile(const std::string& path, std::size_t maxBytes = kMaxInputBytes);

// Reads the file and then the document in it. error is the reason only; the
// caller puts the path in front.
ReadResult readDocumentFile(const std::string& path, const ReadLimits& limits = {});
// The same for a file already loaded.
ReadResult readDocumentBytes(std::string_view bytes, const ReadLimits& limits = {});

struct SaveDetails {
    std::size_t bytesWritten = 0;  // the size of the RTF file, once saved
};

// Writes the document as RTF to a temporary file in the target's folder
// (".orvane-word-<pid>-XXXXXX", see protocol/Leftovers.h) and renames it over the
// target. Returns the reason on failure (strerror text, e.g. "Permission
// denied"), empty on success; a failure leaves no temporary file. Only a regular
// file is ever replaced: a folder, a device, a pipe or a socket at the target
// (or where a link there points) is refused before anything is written.
std::string saveRtfAtomically(const model::Document& document, const std::string& path,
                              SaveDetails* details = nullptr);

// saveRtfAtomically in two halves, so that a caller can convert its next document
// while the last one is synced to disk (the batch workers do).
struct PendingSave {
    std::string target;  // the file it will replace, links resolved
    int fd = -1;         // the temporary, written and still open
    int slot = -1;       // where the temporary is known to removeTemporaryFilesNow()
    std::size_t bytesWritten = 0;
};
// Checks the target and writes the temporary; the reason on failure, which leaves nothing.
std::string writeRtfTemporary(const model::Document& document, const std::string& path, PendingSave& pending);
// Syncs the temporary and renames it over the target, or removes it: either way the
// pending save is over. The reason on failure (e.g. "No space left on device").
std::string commitRtfTemporary(PendingSave& pending);

// Writes everything, retrying after interruptions; false with errno set on failure.
// With `interrupted`, an interruption while it is set ends the write instead.
bool writeAll(int fd, std::string_view data, const volatile std::sig_atomic_t* interrupted = nullptr);

// The process's file-creation mask, read once at start-up while there is only one
// thread (reading it means setting it).
void rememberUmask();

// Removes the temporary files being written right now, so that an emergency exit
// (a signal, the client vanishing mid-save) leaves none. Safe to call from any
// thread and from a signal handler: it takes no lock and allocates nothing.
void removeTemporaryFilesNow();

// The text shown for running out of the memory the engine allows itself.
std::string outOfMemoryMessage();
void setMemoryLimitForMessages(std::size_t megabytes);

// "The file is encrypted" -> "The file is encrypted.": readers' texts end a sentence.
std::string asSentence(std::string text);
// `text` on one line: control characters written as \n, \r, \t or \xHH, and
// a backslash as \\, so a file name holding a newline cannot split a
// one-line message.
std::string oneLine(std::string_view text);

}  // namespace orvane::server
