#include "BatchPlan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <numeric>
#include <unordered_set>

namespace orvane::server {

namespace {

std::string canonical(const std::string& path) {
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        std::string result = resolved;
        std::free(resolved);
        return result;
    }
    return path;
}

std::string fileNameOf(const std::string& path) {
    std::string bare = path;
    while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
    const std::size_t slash = bare.rfind('/');
    return slash == std::string::npos ? bare : bare.substr(slash + 1);
}

std::string joined(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

struct Gathered {
    std::string input;
    std::string key;       // the canonical path, for duplicates and the shards' order
    std::string relative;  // the output below outputDir; empty for a problem
    std::string problem;
};

}  // namespace

std::string outputNameFor(const std::string& inputName) {
    std::string name = inputName;
    const std::size_t dot = name.rfind('.');
    // A name without a dot has itself as its "extension" and stays whole.
    if (dot != std::string::npos) {
        const std::string extension = name.substr(dot);  // ".doc"
        std::string kept;
        for (std::size_t at = 0;;) {
            const std::size_t found = name.find(extension, at);
            if (found == std::string::npos) {
                kept += name.substr(at);
                break;
            }
            kept += name.substr(at, found - at);
            at = found + extension.size();
        }
        name = kept;
    }
    return name + ".rtf";
}

std::string numberedName(const std::string& relative, unsigned n) {
    const std::string stem = relative.substr(0, relative.size() - 4);  // without ".rtf"
    return stem + " (" + std::to_string(n) + ").rtf";
}

Plan makePlan(const PlanOptions& options) {
    const std::string outputKey = canonical(options.outputDir);
    WalkRules rules = options.walk;
    struct stat outputStat {};
    if (stat(options.outputDir.c_str(), &outputStat) == 0) {
        rules.skipDevice = outputStat.st_dev;
        rules.skipInode = outputStat.st_ino;
    }

    std::vector<Gathered> gathered;
    std::unordered_set<std::string> seen;
    auto add = [&](Gathered entry) {
        if (!seen.insert(entry.key).second) return;
        gathered.push_back(std::move(entry));
    };

    for (const std::string& input : options.inputs) {
        struct stat st {};
        if (stat(input.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            const std::string root = canonical(input);
            // The output folder given as an input folder is walked like any other.
            WalkRules here = rules;
            if (st.st_dev == rules.skipDevice && st.st_ino == rules.skipInode) here.skipInode = 0;
            WalkVisitor visitor;
            visitor.file = [&](const std::string& path, const std::string& relative) {
                const std::size_t slash = relative.rfind('/');
                const std::string folder = (options.flat || slash == std::string::npos) ? "" : relative.substr(0, slash + 1);
                add({path, joined(root, relative), folder + outputNameFor(relative.substr(slash + 1)), {}});
            };
            visitor.problem = [&](const std::string& path, const std::string& reason) {
                add({path, canonical(path), {}, "Cannot look into the folder: " + reason});
            };
            std::string rootError;
            if (!walkFolder(input, here, visitor, rootError))
                add({input, root, {}, "Cannot look into the folder: " + rootError});
            continue;
        }
        // Anything else is handed to a worker, which says what is wrong with it if anything is.
        add({input, canonical(input), outputNameFor(fileNameOf(input)), {}});
    }

    // Names in input order: the later of two equal ones is numbered, as in the window.
    std::unordered_set<std::string> taken;
    const std::string outputPrefix = outputKey == "/" ? "/" : outputKey + "/";
    for (const Gathered& entry : gathered)
        if (entry.problem.empty() && entry.key.starts_with(outputPrefix)) taken.insert(entry.key.substr(outputPrefix.size()));
    std::unordered_set<std::string> named;
    for (Gathered& entry : gathered) {
        if (!entry.problem.empty()) continue;
        std::string relative = entry.relative;
        for (unsigned n = 2; named.count(relative) || taken.count(relative); ++n) relative = numberedName(entry.relative, n);
        named.insert(relative);
        entry.relative = std::move(relative);
    }

    Plan plan;
    plan.totalDocuments = gathered.size();
    std::vector<bool> mine(gathered.size(), true);
    if (options.shardCount > 1) {
        std::vector<std::size_t> order(gathered.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return gathered[a].key < gathered[b].key; });
        for (std::size_t position = 0; position < order.size(); ++position)
            mine[order[position]] = inShard(position, options.shardIndex, options.shardCount);
    }
    for (std::size_t i = 0; i < gathered.size(); ++i) {
        if (!mine[i]) continue;
        Gathered& entry = gathered[i];
        PlannedDocument document;
        document.input = std::move(entry.input);
        if (entry.problem.empty())
            document.output = joined(options.outputDir, entry.relative);
        else
            document.problem = std::move(entry.problem);
        plan.documents.push_back(std::move(document));
    }
    return plan;
}

}  // namespace orvane::server
