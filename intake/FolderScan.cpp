#include "FolderScan.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Dialogs.h"
#include "ErrorReport.h"
#include "Paths.h"

namespace orvane {

namespace {

// "/a/b/" and "/a/b" name the same thing; lstat on the first would look
// through a link, so the separators at the end go first ("/" stays "/").
QString withoutTrailingSeparators(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path[end - 1] == QLatin1Char('/')) --end;
    return path.left(end);
}

QByteArray nativeName(const QString& path) { return QFile::encodeName(path); }

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

ListingError listingErrorFor(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return ListingError::PermissionDenied;
    case ENOENT:
    case ENOTDIR: return ListingError::PathNotFound;
    default: return ListingError::Other;
    }
}

bool isDotOrDotDot(const QString& name) { return name == QLatin1String(".") || name == QLatin1String(".."); }

}  // namespace

// ---------------------------------------------------------------------------
// The machine's file system

FolderListing LocalFileSystem::list(const QString& folder) const {
    FolderListing listing;
    DIR* dir = ::opendir(nativeName(folder).constData());
    if (!dir) {
        const int error = errno;
        listing.error = listingErrorFor(error);
        listing.description = errnoText(error);
        return listing;
    }
    const int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            if (errno != 0) {
                listing.error = listingErrorFor(errno);
                listing.description = errnoText(errno);
            }
            break;
        }
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // A link counts as a folder when it points at one, as Windows lists a
            // link to a folder among the subfolders; the walk then skips it by its word.
            struct stat info {};
            isFolder = ::fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        listing.entries.append({QFile::decodeName(entry->d_name), isFolder});
    }
    ::closedir(dir);
    std::sort(listing.entries.begin(), listing.entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        const int byLetters = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byLetters != 0 ? byLetters < 0 : a.name < b.name;
    });
    return listing;
}

std::optional<unsigned> LocalFileSystem::attributes(const QString& path) const {
    const QString bare = withoutTrailingSeparators(path);
    if (bare.isEmpty()) return std::nullopt;
    struct stat own {};
    if (::lstat(nativeName(bare).constData(), &own) != 0) return std::nullopt;
    unsigned word = 0;
    struct stat target = own;
    if (S_ISLNK(own.st_mode)) {
        word |= Attribute::ReparsePoint;
        // What a link points at decides whether it is a folder or a file, and
        // whether it can be written; a dangling link is neither.
        struct stat followed {};
        if (::stat(nativeName(bare).constData(), &followed) == 0) target = followed;
    }
    if (S_ISDIR(target.st_mode)) word |= Attribute::Directory;
    if (S_ISREG(target.st_mode)) word |= Attribute::Archive;
    if (!S_ISLNK(target.st_mode) && !(target.st_mode & S_IWUSR)) word |= Attribute::ReadOnly;
    if (FileNameOf(bare).startsWith(QLatin1Char('.'))) word |= Attribute::Hidden;
    return word;
}

bool LocalFileSystem::isRootFolder(const QString& folder) const {
    const QString bare = withoutTrailingSeparators(folder);
    if (bare == QLatin1String("/")) return true;
    // A mount point: the folder lives on another device than the folder above it.
    struct stat self {}, parent {};
    if (::lstat(nativeName(bare).constData(), &self) != 0 || !S_ISDIR(self.st_mode)) return false;
    if (::stat(nativeName(bare + QStringLiteral("/..")).constData(), &parent) != 0) return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool LocalFileSystem::folderExists(const QString& path) const { return FolderExists(path); }

bool LocalFileSystem::opensAsFile(const QString& path) const {
    if (path.isEmpty()) return false;
    // O_PATH opens without reading, as a query of the file does, and never
    // blocks on a pipe or a device; only a regular file counts.
    const int fd = ::open(nativeName(path).constData(), O_PATH | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
}

FileSystem& localFileSystem() {
    static LocalFileSystem fileSystem;
    return fileSystem;
}

// ---------------------------------------------------------------------------
// Names and masks

bool isSkippedFolderWord(unsigned word) {
    constexpr unsigned hiddenSystemFolder = Attribute::Hidden | Attribute::System | Attribute::Directory;  // 22
    constexpr unsigned linkedFolder = Attribute::Directory | Attribute::ReparsePoint;
    if (word == hiddenSystemFolder || word == (hiddenSystemFolder | Attribute::ReparsePoint)) return true;  // 22, 1046
    // Every link to a folder, whatever else its word holds: following one could
    // lead back up the tree.
    return (word & linkedFolder) == linkedFolder;
}

bool HasOddCharacters(const QString& name) {
    for (const QChar c : name) {
        const char16_t code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 159) || code == u'?' || code == 0xFFFD) return true;
    }
    return false;
}

bool matchesMask(const QString& name, const QString& mask) {
    if (mask == QLatin1String("*.*") || mask == QLatin1String("*")) return true;
    const QString n = name.toCaseFolded();
    const QString m = mask.toCaseFolded();
    // Greedy matching that remembers the last "*" and backs up to it on a
    // mismatch: linear for the usual masks, never exponential.
    qsizetype ni = 0, mi = 0, starAt = -1, resumeAt = 0;
    while (ni < n.size()) {
        if (mi < m.size() && (m[mi] == QLatin1Char('?') || m[mi] == n[ni])) {
            ++ni;
            ++mi;
        } else if (mi < m.size() && m[mi] == QLatin1Char('*')) {
            starAt = mi++;
            resumeAt = ni;
        } else if (starAt >= 0) {
            mi = starAt + 1;
            ni = ++resumeAt;
        } else {
            return false;
        }
    }
    while (mi < m.size() && m[mi] == QLatin1Char('*')) ++mi;
    return mi == m.size();
}

// ---------------------------------------------------------------------------
// The walk

bool isHiddenFolderName(const QString& folder) {
    return FileNameOf(withoutTrailingSeparators(folder)).startsWith(QLatin1Char('.'));
}

void FolderScan::GetSubDirectories2016(QStringList& folders, bool recursive) { walkLevel(folders, recursive, true); }

// A root folder is looked into and returned whatever its word or name.
bool FolderScan::skipsFolder(const QString& folder, unsigned word, bool startFolder) const {
    const bool hidden = isSkippedFolderWord(word) || (!startFolder && isHiddenFolderName(folder));
    return hidden && !m_fs.isRootFolder(folder);
}

// One level of the walk. Returns how many folders it appended to `folders`:
// those are already vetted, so the level above takes them over without
// looking at them again. That keeps the walk linear in the number of folders
// however deep the tree is.
int FolderScan::walkLevel(QStringList& folders, bool recursive, bool startFolders) {
    ErrorTrap trap(m_dialogs, LocationTag::GetSubDirectories2016);
    trap.reach(100);
    QStringList found;
    trap.reach(104);

    trap.reach(106);
    // Every entry the queue holds now is visited once, also when a refused one
    // is taken out of the queue on the way.
    const QStringList pass = folders;
    for (const QString& v : pass) {
        bool exists = false;
        trap.line(108, [&] { exists = m_fs.folderExists(v); });
        if (!exists) continue;
        trap.reach(110);
        if (v.size() >= MaxPathCharacters) continue;

        unsigned word = 0;
        bool lookedUp = false;
        trap.line(112, [&] {
            const std::optional<unsigned> attributes = m_fs.attributes(v);
            if (!attributes) throw Failure(QStringLiteral("Path not found: ") + v);
            word = *attributes;
            lookedUp = true;
        });
        trap.line(114, [&] { yield(); });
        bool listed = false;
        // A folder that could not be looked up has nothing to decide on.
        trap.line(116, [&] { listed = lookedUp && !skipsFolder(v, word, startFolders); });
        if (!listed) continue;

        // Lines 118 to 136: everything that goes wrong while the subfolders are
        // listed ends that listing without a word.
        ListingError error = ListingError::None;
        trap.reach(118);
        try {
            const FolderListing listing = m_fs.list(v);
            error = listing.error;
            for (const FolderEntry& entry : listing.entries) {
                if (!entry.isFolder) continue;
                yield();
                const QString& name = entry.name;
                if (name.size() >= MaxPathCharacters || HasOddCharacters(name) || name.contains(QLatin1Char('?')) ||
                    isDotOrDotDot(name))
                    continue;
                found.append(v + name + QLatin1Char('/'));
            }
        } catch (const ProgramEnded&) {
            throw;
        } catch (...) {
            error = ListingError::Other;
        }
        trap.reach(138);
        if (error == ListingError::PermissionDenied || error == ListingError::PathNotFound) {
            // A folder that cannot be listed is dropped from the result; the
            // subfolders met before the refusal stay.
            trap.reach(142);
            const qsizetype at = folders.indexOf(v);
            if (at >= 0) folders.removeAt(at);
        }
    }

    int vettedBelow = 0;
    if (recursive && !found.isEmpty()) trap.line(150, [&] { vettedBelow = walkLevel(found, true, false); });

    const qsizetype ownEntries = found.size() - vettedBelow;
    int appended = 0;
    trap.reach(152);
    for (qsizetype i = 0; i < found.size(); ++i) {
        const QString& w = found[i];
        if (i >= ownEntries) {
            folders.append(w);
            ++appended;
            continue;
        }
        bool exists = false;
        trap.line(154, [&] { exists = m_fs.folderExists(w); });
        if (!exists) continue;
        trap.line(156, [&] { yield(); });
        bool keep = false;
        trap.line(158, [&] {
            const std::optional<unsigned> word = m_fs.attributes(w);
            if (!word) throw Failure(QStringLiteral("Path not found: ") + w);
            keep = !skipsFolder(w, *word, false);
        });
        if (keep) {
            trap.line(160, [&] { folders.append(w); });
            ++appended;
        }
    }
    return appended;
}

// ---------------------------------------------------------------------------
// Files of one folder

QStringList FolderScan::GetFiles(const QString& folder, const QString& mask) const {
    QString base = folder;
    if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
    const FolderListing listing = m_fs.list(base);
    if (listing.error == ListingError::Other)
        throw Failure(listing.description + QStringLiteral(": ") + withoutTrailingSeparators(base));
    // A missing or refused folder simply has no files to offer.
    QStringList names;
    for (const FolderEntry& entry : listing.entries) {
        if (entry.isFolder || isDotOrDotDot(entry.name)) continue;
        if (!matchesMask(entry.name, mask)) continue;
        if (IsExistingFile(base + entry.name)) names.append(entry.name);
    }
    return names;
}

bool FolderScan::IsExistingFile(const QString& path) const {
    try {
        return m_fs.opensAsFile(path);
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------
// Gathering the files of a walked tree

void gatherFiles(const FolderScan& scan, const QStringList& folders, const QString& mask,
                 const std::function<void(const QString&)>& add, const StepRunner& step) {
    for (const QString& entry : folders) {
        QString folder;
        QStringList names;
        step(120, [&] { folder = entry.left(entry.size() - 1); });
        step(122, [&] { names = scan.GetFiles(folder, mask); });
        for (const QString& name : names) {
            bool tilde = false;
            step(126, [&] { tilde = name.startsWith(QLatin1Char('~')); });
            if (tilde) continue;
            QString path;
            step(128, [&] { path = folder + QLatin1Char('/') + name; });
            step(132, [&] {
                if (!scan.IsExistingFile(path)) return;
                // A file that vanished since it was listed is passed over like one
                // that cannot be opened.
                const std::optional<unsigned> word = scan.attributesOf(path);
                if (!word || *word == HiddenArchiveWord) return;
                add(NormalizePath(path));
            });
        }
    }
}

}  // namespace orvane
