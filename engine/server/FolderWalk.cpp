#include "FolderWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvane::server {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Sorted as the window lists a folder: by letters without regard to case, then exactly.
bool listedBefore(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = lowerAscii(a[i]);
        const char y = lowerAscii(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

std::string sentence(int error) {
    std::string text = std::strerror(error);
    return text + ".";
}

struct Entry {
    std::string name;
    bool folder;
};

// The wanted files and the folders to look into, of one folder; false with errno when it cannot be listed.
bool listFolder(const std::string& path, const WalkRules& rules, std::vector<Entry>& entries) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) break;
        const std::string name = entry->d_name;
        if (name[0] == '.') continue;  // ".", "..", hidden files and hidden folders alike
        unsigned char type = entry->d_type;
        struct stat st {};
        if (type == DT_UNKNOWN) {
            if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone since it was listed
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_DIR) {
            if (rules.skipInode != 0) {
                if (st.st_ino == 0 && fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
                if (st.st_dev == rules.skipDevice && st.st_ino == rules.skipInode) continue;
            }
            entries.push_back({name, true});
            continue;
        }
        if (!isWantedFileName(name, rules)) continue;
        if (type == DT_LNK) {
            // A link counts when it points at a regular file; a link to a folder is never followed.
            struct stat target {};
            if (fstatat(fd, entry->d_name, &target, 0) != 0 || !S_ISREG(target.st_mode)) continue;
        } else if (type != DT_REG) {
            continue;
        }
        entries.push_back({name, false});
    }
    const int error = errno;
    closedir(dir);
    if (error != 0) {
        errno = error;
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return listedBefore(a.name, b.name); });
    return true;
}

}  // namespace

const std::vector<std::string>& readableExtensions() {
    static const std::vector<std::string> kinds = {"doc", "dot", "docx", "docm", "dotx", "dotm",
                                                   "odt", "ott", "fodt", "rtf",  "txt"};
    return kinds;
}

bool isWantedFileName(const std::string& name, const WalkRules& rules) {
    if (name.empty() || name[0] == '.' || name[0] == '~') return false;
    if (rules.extensions.empty()) return true;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = lowerAscii(c);
    return std::find(rules.extensions.begin(), rules.extensions.end(), extension) != rules.extensions.end();
}

bool walkFolder(const std::string& root, const WalkRules& rules, const WalkVisitor& visitor, std::string& rootError) {
    struct Level {
        std::string relative;  // "" for the root, else "a/b/"
        std::vector<Entry> entries;
        std::size_t next = 0;
    };
    const std::string base = (root.size() > 1 && root.back() == '/') ? root.substr(0, root.size() - 1) : root;
    std::vector<Level> stack(1);
    // The root may itself be a link the user named: it is followed, as a named folder is meant.
    if (!listFolder(base + "/.", rules, stack[0].entries)) {
        rootError = sentence(errno);
        return false;
    }
    // An explicit stack: a deep tree costs memory per level, never the call stack.
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Entry entry = level.entries[level.next++];
        const std::string relative = level.relative + entry.name;
        const std::string path = base + "/" + relative;
        if (!entry.folder) {
            visitor.file(path, relative);
            continue;
        }
        Level below;
        below.relative = relative + "/";
        if (!listFolder(path, rules, below.entries)) {
            // A link put there since the listing is not followed either.
            if (errno != ELOOP && errno != ENOTDIR && errno != ENOENT) visitor.problem(path, sentence(errno));
            continue;
        }
        stack.push_back(std::move(below));
    }
    return true;
}

}  // namespace orvane::server
