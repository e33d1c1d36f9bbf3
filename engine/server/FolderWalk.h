// The batch mode's walk of a folder tree: every document below a folder, in the
// order a person expects, in plain POSIX (the engine uses no Qt).
//
// It shares these rules with the window's walk (intake/FolderScan.*):
// - a symbolic link to a folder is neither looked into nor returned, so a link
//   back up the tree cannot make the walk run for ever;
// - a lock file, a name beginning with "~" ("~$letter.doc"), is left out;
// - only what opens as a regular file counts (a link to one does; pipes,
//   devices and sockets never), and the extension matches without regard to
//   letter case;
// - the entries of a folder come sorted by name without regard to letter case,
//   then by exact name.
// Where it is stricter, for people who run it over whole archives:
// - every file whose name begins with "." is left out, not only the writable
//   ones the window leaves out;
// - a folder whose name begins with "." (".git", ".Trash-1000") is neither
//   looked into nor returned;
// - a folder that cannot be listed is reported, not silently dropped;
// - a folder whose name holds control characters or bytes that are not UTF-8 is
//   walked like any other (the window passes over such names, which its list
//   cannot show); the report shows such bytes as U+FFFD.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace orvane::server {

struct WalkRules {
    // Lower-case extensions without the dot ("docx"); a file matches when its
    // name ends in "." and one of them. Empty: every file.
    std::vector<std::string> extensions;
    // A folder the walk leaves out with everything below it (the output
    // folder, when it lies inside an input folder); st_ino 0: none.
    dev_t skipDevice = 0;
    ino_t skipInode = 0;
};

struct WalkVisitor {
    // A document, as the folder path, "/" and the path below it; `relative` is
    // the part below the folder ("2020/report.doc").
    std::function<void(const std::string& path, const std::string& relative)> file;
    // A folder below the root that cannot be listed, and why ("Permission denied.").
    std::function<void(const std::string& path, const std::string& reason)> problem;
};

// Walks the tree below `root` (itself a folder) depth-first. Returns false, with
// the reason, when the root itself cannot be listed.
bool walkFolder(const std::string& root, const WalkRules& rules, const WalkVisitor& visitor, std::string& rootError);

// Whether a file name is one the walk takes under the rules: not hidden, not a
// lock file, and of one of the extensions.
bool isWantedFileName(const std::string& name, const WalkRules& rules);

// The engine's own kinds of document, as the default of --extensions.
const std::vector<std::string>& readableExtensions();

}  // namespace orvane::server
