// The folder scan: turns a chosen or dropped folder into file paths. The walk
// extends a queue of folders, level by level, with every folder below them; the
// per-folder listing returns the names of the files that match a mask.
//
// The file system sits behind FileSystem, so the walk's rules can be checked
// against exact attribute words and refusals; LocalFileSystem is the real one.
//
// Attribute words keep the numbers the rules test. On Linux a word is built as:
//   1 read-only   the owner has no write permission
//   2 hidden      the name begins with "."
//   4 system      never
//  16 directory   a folder (for a link: the link points at a folder)
//  32 archive     a regular file (for a link: the link points at one)
// 1024 reparse    a symbolic link
// A link to a folder is skipped like a hidden system folder (22, or 1046 as a
// link): the walk neither looks into it nor returns it, so a link that points
// back up the tree cannot make it run for ever.
// A folder whose name begins with "." (.cache, .config, .local/share/Trash,
// .git) is this system's hidden system folder, whatever its word: below the
// start folders the walk skips it as it skips the word 22, so caches and
// deleted drafts are never gathered. A start folder is walked whatever its
// name: the user chose it or dropped it by name.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace orvane {

class Dialogs;

namespace Attribute {
enum : unsigned {
    ReadOnly = 1,
    Hidden = 2,
    System = 4,
    Directory = 16,
    Archive = 32,
    ReparsePoint = 1024,
};
}  // namespace Attribute

// Exactly hidden plus archive and nothing else: a writable dot-file here, such
// as an editor's lock file. The gathering leaves these out.
constexpr unsigned HiddenArchiveWord = Attribute::Hidden | Attribute::Archive;  // 34

// The longest folder path (and subfolder name) whose subfolders the walk lists:
// this system's own path limit (PATH_MAX). A shorter limit would silently pass
// over documents in deep folders that Linux names without trouble.
constexpr int MaxPathCharacters = 4096;

// One entry of a folder listing.
struct FolderEntry {
    QString name;      // without folder
    bool isFolder;     // a folder, or a link to one
};

// Why a listing stopped early, if it did.
enum class ListingError {
    None,
    PermissionDenied,  // the walk drops such a folder from its result
    PathNotFound,      // likewise
    Other,             // the walk keeps the folder, with what was listed before
};

struct FolderListing {
    QList<FolderEntry> entries;  // in the platform's order; what was read before an error
    ListingError error = ListingError::None;
    QString description;         // the platform's words for the error
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The folder's entries, "." and ".." included where the platform gives them.
    virtual FolderListing list(const QString& folder) const = 0;

    // The attribute word of a file or folder; nothing when the path names nothing.
    // A trailing separator does not change the answer.
    virtual std::optional<unsigned> attributes(const QString& path) const = 0;

    // True for the file system's root and for every mount point.
    virtual bool isRootFolder(const QString& folder) const = 0;

    // True when the path is an existing folder (through links).
    virtual bool folderExists(const QString& path) const = 0;

    // True when the path opens as an existing regular file (through links);
    // false for a folder, a missing path, or anything else. Never blocks.
    virtual bool opensAsFile(const QString& path) const = 0;
};

// The machine's own file system. Listings come sorted by name without regard to
// letter case (then by exact name), so the rows of a walk appear in an order a
// person expects rather than in the order the disk happens to hold them.
class LocalFileSystem : public FileSystem {
public:
    FolderListing list(const QString& folder) const override;
    std::optional<unsigned> attributes(const QString& path) const override;
    bool isRootFolder(const QString& folder) const override;
    bool folderExists(const QString& path) const override;
    bool opensAsFile(const QString& path) const override;
};

// The one LocalFileSystem the window uses.
FileSystem& localFileSystem();

// True for a folder word that the walk neither looks into nor returns.
bool isSkippedFolderWord(unsigned word);

// True for a folder path (with or without its trailing "/") whose name begins
// with ".": a hidden system folder here.
bool isHiddenFolderName(const QString& folder);

// True when some character of the name is odd: a control character (below 32,
// or 127 to 159), "?", or U+FFFD (what a name whose bytes are not text decodes
// to). Every other character, the en dash and non-Latin scripts included, is
// ordinary here: the locale's encoding can represent it.
bool HasOddCharacters(const QString& name);

// Matches a name against a mask with the wildcards "*" (any run) and "?" (one
// character), without regard to letter case. "*.*" matches every name, also
// one without a dot.
bool matchesMask(const QString& name, const QString& mask);

class FolderScan {
public:
    // `processEvents` runs one pass of the event loop; the walk calls it once per
    // folder it examines and once per subfolder it meets, so the window stays
    // alive during a long walk.
    FolderScan(const FileSystem& fileSystem, Dialogs& dialogs, std::function<void()> processEvents)
        : m_fs(fileSystem), m_dialogs(dialogs), m_processEvents(std::move(processEvents)) {}

    // Extends the queue with every folder below its entries, breadth-first: the
    // surviving entries, then all folders one level down (grouped by parent),
    // then two levels down, and so on. Each entry ends in "/"; a new entry is
    // its parent's text, the name and "/". With `recursive` false only one level
    // is added. An entry whose listing is refused is dropped from the queue.
    // Failures other than listing failures are shown by the error report with
    // the walk's own tag, and the walk goes on.
    void GetSubDirectories2016(QStringList& folders, bool recursive);

    // The names (without folder) of the files in the folder that match the mask,
    // in listing order: hidden files included, folders never; empty when there
    // are none or the folder is missing or refused. Throws Failure for any other
    // listing error.
    QStringList GetFiles(const QString& folder, const QString& mask) const;

    // True when the path opens as an existing file; false for a folder, a missing
    // path or a file that cannot be opened. Never throws.
    bool IsExistingFile(const QString& path) const;

    // The attribute word of a path; nothing when it names nothing.
    std::optional<unsigned> attributesOf(const QString& path) const { return m_fs.attributes(path); }

    const FileSystem& fileSystem() const { return m_fs; }

private:
    int walkLevel(QStringList& folders, bool recursive, bool startFolders);
    bool skipsFolder(const QString& folder, unsigned word, bool startFolder) const;
    void yield() const {
        if (m_processEvents) m_processEvents();
    }

    const FileSystem& m_fs;
    Dialogs& m_dialogs;
    std::function<void()> m_processEvents;
};

// The files of every folder of the queue, as "Add All" and a dropped folder add
// them: names matching the mask, not beginning with "~", opening as a file, and
// not exactly hidden plus archive; each as the folder (the entry without its
// trailing "/"), "/" and the name, normalised. `add` receives each path.
// `step` runs each numbered step (line, work), so a caller with an error trap can
// number them and one without can run them plainly.
using StepRunner = std::function<void(int line, const std::function<void()>& work)>;
void gatherFiles(const FolderScan& scan, const QStringList& folders, const QString& mask,
                 const std::function<void(const QString&)>& add, const StepRunner& step);

}  // namespace orvane
