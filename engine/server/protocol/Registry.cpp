#include "Registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace orvane::protocol {

namespace {

constexpr std::string_view kSuffix = ".sock";

std::string fallbackFolder() { return "/tmp/orvane-word-" + std::to_string(getuid()); }

// XDG_RUNTIME_DIR when it names a folder of this user; empty otherwise.
std::string usableRuntimeDir() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (!xdg || xdg[0] != '/') return {};
    struct stat st {};
    if (stat(xdg, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
    return xdg;
}

// Creates the folder when missing and makes sure it is ours and private. /tmp is
// shared, so someone else may have made a folder (or a link) of that name first.
std::string ensurePrivateFolder(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return "Cannot create the folder " + path + ": " + std::strerror(errno);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return "Cannot use the folder " + path + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return path + " is not a folder";
    if (st.st_uid != getuid()) return "The folder " + path + " belongs to another user";
    if ((st.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0)
        return "Cannot make the folder " + path + " private: " + std::strerror(errno);
    return {};
}

}  // namespace

RegistryFolder prepareRegistryFolder(const std::string& explicitPath) {
    if (!explicitPath.empty()) {
        std::string error = ensurePrivateFolder(explicitPath);
        return error.empty() ? RegistryFolder{explicitPath, {}} : RegistryFolder{{}, std::move(error)};
    }
    if (const std::string runtime = usableRuntimeDir(); !runtime.empty()) {
        const std::string path = runtime + "/orvane-word";
        if (ensurePrivateFolder(path).empty()) return {path, {}};
    }
    const std::string path = fallbackFolder();
    std::string error = ensurePrivateFolder(path);
    return error.empty() ? RegistryFolder{path, {}} : RegistryFolder{{}, std::move(error)};
}

std::vector<std::string> registryFoldersToSearch(const std::string& explicitPath) {
    if (!explicitPath.empty()) return {explicitPath};
    std::vector<std::string> folders;
    if (const std::string runtime = usableRuntimeDir(); !runtime.empty()) folders.push_back(runtime + "/orvane-word");
    // A server whose runtime folder was unusable registered in the fallback.
    folders.push_back(fallbackFolder());
    return folders;
}

bool isPrivateFolder(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 077) == 0;
}

std::string socketFileName(long pid) { return std::to_string(pid) + std::string(kSuffix); }

std::optional<long> pidFromSocketFileName(std::string_view name) {
    if (!name.ends_with(kSuffix)) return std::nullopt;
    const std::string_view digits = name.substr(0, name.size() - kSuffix.size());
    if (digits.empty() || digits[0] == '0') return std::nullopt;
    long pid = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || pid <= 0) return std::nullopt;
    return pid;
}

}  // namespace orvane::protocol
