// The batch mode's plan: which documents a run converts and where each output
// goes, decided before any worker starts, so that every run over the same
// inputs (each task of a job array, a run resumed after an interruption) names
// every output alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FolderWalk.h"

namespace orvane::server {

struct PlanOptions {
    std::vector<std::string> inputs;  // files and folders, in the order given
    std::string outputDir;            // exists when the plan is made
    WalkRules walk;                   // extensions for walked folders
    bool flat = false;                // every output straight into outputDir, "name (2).rtf" for collisions
    unsigned shardIndex = 0;          // this run's part, from 0
    unsigned shardCount = 1;          // parts of the sorted list
};

struct PlannedDocument {
    std::string input;    // as given, or the folder as given and the path below it
    std::string output;   // outputDir, "/" and the output's path below it; empty for a problem
    std::string problem;  // set: not a document to convert, but a failure to report ("Permission denied.")
};

// This shard's documents, in input order. Kept compact (a few dozen bytes a
// document besides its path below its folder), so that the coordinator's memory
// stays about the same for ten or a million documents.
class Plan {
public:
    std::size_t size() const { return m_mine.size(); }
    PlannedDocument document(std::size_t index) const;  // 0 .. size()-1
    std::size_t totalDocuments = 0;                      // in all shards together

private:
    friend Plan makePlan(const struct PlanOptions& options);
    struct Prefix {
        std::string given;      // "in/" or "" as the user wrote it, ending in "/" when not empty
        std::string canonical;  // the same folder resolved, ending in "/"; "" for a problem's path
    };
    struct Entry {
        std::uint64_t offset;   // of its path below the prefix, in m_paths
        std::uint32_t prefix;
        std::uint32_t length;
        std::uint16_t number;   // 0 or 1: the plain output name; 2, 3, ...: "name (N).rtf"
        bool walked;            // found in a folder: its folders are mirrored
        bool problem;           // the reason is in m_problems
    };
    std::string_view relative(const Entry& entry) const { return {m_paths.data() + entry.offset, entry.length}; }
    std::string key(const Entry& entry) const { return m_prefixes[entry.prefix].canonical + std::string(relative(entry)); }
    std::string outputBelow(const Entry& entry) const;  // the output's path below outputDir

    std::vector<Prefix> m_prefixes;
    std::vector<Entry> m_entries;          // every document of every shard, in input order
    std::vector<std::uint32_t> m_mine;     // this shard's, as indices into m_entries
    std::vector<std::pair<std::uint32_t, std::string>> m_problems;  // (entry, reason), few
    std::string m_paths;
    std::string m_outputDir;
    bool m_flat = false;
};

// The output's name for an input file name, as the window names it: the name
// without every ".ext" of its own extension (case as written) and ".rtf";
// "report.doc" -> "report.rtf", "notes" -> "notes.rtf".
std::string outputNameFor(const std::string& inputName);

// "a/report.rtf" -> "a/report (2).rtf", and so on with n.
std::string numberedName(const std::string& relative, unsigned n);

// Whether the list position (in the sorted list of all documents) belongs to the shard.
inline bool inShard(std::size_t sortedPosition, unsigned index, unsigned count) {
    return count <= 1 || sortedPosition % count == index;
}

// Gathers the documents and names their outputs:
// - a folder is walked (FolderWalk.h); each document's folders below it are made
//   again below outputDir, or with `flat` left out;
// - a file is taken whatever its extension, its output straight in outputDir;
// - a path that is neither gives a problem entry ("No such file or directory.");
// - a document met twice (the same path below the same folder) is taken once;
// - two documents that would get the same output, or an output that would
//   replace a listed input, are told apart as the window does: the later one in
//   input order becomes "name (2).rtf", then "name (3).rtf";
// - the output folder is not walked when it lies inside an input folder;
// - with shards, the list of all documents sorted by path is dealt out in turn
//   (position modulo the count), so parts are even and every document lands in
//   exactly one; each part keeps the input order.
Plan makePlan(const PlanOptions& options);

}  // namespace orvane::server
