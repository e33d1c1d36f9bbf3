#include "Leftovers.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "Registry.h"

namespace orvane::protocol {

std::string temporaryFilePrefix(pid_t pid) { return ".orvane-word-" + std::to_string(pid) + "-"; }

int removeTemporariesOf(pid_t pid, const std::string& folder) {
    const std::string prefix = temporaryFilePrefix(pid);
    std::vector<std::string> found;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string_view name = entry->d_name;
            // The prefix is followed by exactly the six characters mkostemp made.
            if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) found.emplace_back(name);
        }
        closedir(dir);
    }
    int removed = 0;
    for (const std::string& name : found) {
        const std::string path = folder + "/" + name;
        struct stat st {};
        // Only a file of ours: never a folder someone happened to name so.
        if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

void removeRegistryEntryOf(pid_t pid, const std::string& explicitRegistry) {
    for (const std::string& folder : registryFoldersToSearch(explicitRegistry)) {
        if (!isPrivateFolder(folder)) continue;
        const std::string entry = folder + "/" + socketFileName(pid);
        ::unlink(entry.c_str());
        ::unlink((entry + ".new").c_str());
    }
}

std::string temporaryFolderFor(const std::string& path) {
    std::string target = path;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return target.substr(0, slash);
}

}  // namespace orvane::protocol
