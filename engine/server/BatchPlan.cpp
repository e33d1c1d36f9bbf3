#include "BatchPlan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <optional>
#include <unordered_map>

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

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// A set of entries by a text each stands for, without keeping the texts: slots
// hold an index and part of its hash, and a text is made again only to tell two
// of the same hash apart.
class IndexSet {
public:
    using TextOf = std::function<std::string(std::uint32_t)>;
    explicit IndexSet(TextOf textOf) : m_textOf(std::move(textOf)) { m_slots.resize(64); }

    // The index already in the set under the same text, or none (and `index` goes in).
    std::optional<std::uint32_t> insert(std::uint32_t index, const std::string& text) {
        if ((m_count + 1) * 2 > m_slots.size()) grow();
        const std::uint64_t hash = std::hash<std::string>{}(text);
        for (std::size_t at = hash & (m_slots.size() - 1);; at = (at + 1) & (m_slots.size() - 1)) {
            Slot& slot = m_slots[at];
            if (!slot.used) {
                slot = {index, static_cast<std::uint32_t>(hash >> 32), true};
                ++m_count;
                return std::nullopt;
            }
            if (slot.hash == static_cast<std::uint32_t>(hash >> 32) && m_textOf(slot.index) == text) return slot.index;
        }
    }

private:
    struct Slot {
        std::uint32_t index = 0;
        std::uint32_t hash = 0;
        bool used = false;
    };
    void grow() {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        m_count = 0;
        for (const Slot& slot : old)
            if (slot.used) insert(slot.index, m_textOf(slot.index));
    }
    TextOf m_textOf;
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
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

std::string Plan::outputBelow(const Entry& entry) const {
    const std::string_view path = relative(entry);
    const std::size_t slash = path.rfind('/');
    const std::string name = outputNameFor(std::string(slash == std::string_view::npos ? path : path.substr(slash + 1)));
    std::string below = (entry.walked && !m_flat && slash != std::string_view::npos)
                            ? std::string(path.substr(0, slash + 1)) + name
                            : name;
    return entry.number > 1 ? numberedName(below, entry.number) : below;
}

PlannedDocument Plan::document(std::size_t index) const {
    const std::uint32_t at = m_mine[index];
    const Entry& entry = m_entries[at];
    PlannedDocument document;
    document.input = m_prefixes[entry.prefix].given + std::string(relative(entry));
    if (entry.problem) {
        const auto found = std::lower_bound(m_problems.begin(), m_problems.end(), at,
                                            [](const auto& problem, std::uint32_t i) { return problem.first < i; });
        document.problem = found->second;
    } else {
        document.output = withSlash(m_outputDir) + outputBelow(entry);
    }
    return document;
}

Plan makePlan(const PlanOptions& options) {
    Plan plan;
    plan.m_outputDir = options.outputDir;
    plan.m_flat = options.flat;
    const std::string outputKey = withSlash(canonical(options.outputDir));
    WalkRules rules = options.walk;
    struct stat outputStat {};
    if (stat(options.outputDir.c_str(), &outputStat) == 0) {
        rules.skipDevice = outputStat.st_dev;
        rules.skipInode = outputStat.st_ino;
    }

    // Prefixes: index 0 is the empty one of problems, whose path is given whole.
    plan.m_prefixes.push_back({"", ""});
    std::unordered_map<std::string, std::uint32_t> folderPrefixes;  // for named files, by the folder as written
    auto addEntry = [&](std::uint32_t prefix, std::string_view path, bool walked) {
        plan.m_entries.push_back({plan.m_paths.size(), prefix, static_cast<std::uint32_t>(path.size()), 0, walked, false});
        plan.m_paths.append(path);
    };
    auto addProblem = [&](const std::string& path, std::string reason) {
        plan.m_problems.emplace_back(static_cast<std::uint32_t>(plan.m_entries.size()), std::move(reason));
        addEntry(0, path, false);
        plan.m_entries.back().problem = true;
    };

    for (const std::string& input : options.inputs) {
        struct stat st {};
        if (stat(input.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            const auto prefix = static_cast<std::uint32_t>(plan.m_prefixes.size());
            plan.m_prefixes.push_back({withSlash(input), withSlash(canonical(input))});
            // The output folder given as an input folder is walked like any other.
            WalkRules here = rules;
            if (st.st_dev == rules.skipDevice && st.st_ino == rules.skipInode) here.skipInode = 0;
            WalkVisitor visitor;
            visitor.file = [&](const std::string&, const std::string& relative) { addEntry(prefix, relative, true); };
            visitor.problem = [&](const std::string& path, const std::string& reason) {
                addProblem(path, "Cannot look into the folder: " + reason);
            };
            std::string rootError;
            if (!walkFolder(input, here, visitor, rootError)) addProblem(input, "Cannot look into the folder: " + rootError);
            continue;
        }
        // Anything else is handed to a worker, which says what is wrong with it if anything is.
        const std::size_t slash = input.rfind('/');
        const std::string folder = slash == std::string::npos ? "" : input.substr(0, slash + 1);
        auto [found, added] = folderPrefixes.try_emplace(folder, static_cast<std::uint32_t>(plan.m_prefixes.size()));
        if (added) plan.m_prefixes.push_back({folder, withSlash(canonical(folder.empty() ? "." : folder))});
        addEntry(found->second, std::string_view(input).substr(folder.size()), false);
    }
    const auto count = static_cast<std::uint32_t>(plan.m_entries.size());
    const std::vector<Plan::Entry>& entries = plan.m_entries;
    auto keyOf = [&](std::uint32_t i) { return plan.key(entries[i]); };

    // A document met twice (the same file below the same folder) counts once: the first time.
    std::vector<bool> kept(count, true);
    {
        IndexSet seen(keyOf);
        for (std::uint32_t i = 0; i < count; ++i)
            if (seen.insert(i, keyOf(i))) kept[i] = false;
    }

    // Names in input order: the later of two equal ones is numbered, as in the window,
    // and a listed input in the output folder counts as taken.
    {
        constexpr std::uint32_t kInputMark = 0x80000000u;
        IndexSet named([&](std::uint32_t i) {
            if (i & kInputMark) return keyOf(i & ~kInputMark).substr(outputKey.size());
            return plan.outputBelow(entries[i]);
        });
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!kept[i] || entries[i].problem) continue;
            if (const std::string key = keyOf(i); key.starts_with(outputKey)) named.insert(i | kInputMark, key.substr(outputKey.size()));
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            if (!kept[i] || entries[i].problem) continue;
            Plan::Entry& entry = plan.m_entries[i];
            for (unsigned n = 2; named.insert(i, plan.outputBelow(entry)); ++n) entry.number = static_cast<std::uint16_t>(n);
        }
    }

    std::vector<std::uint32_t> order;
    order.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        if (kept[i]) order.push_back(i);
    plan.totalDocuments = order.size();
    if (options.shardCount > 1) {
        // Dealt out in turn from the list sorted by path, so parts are even and the
        // same on every machine whatever order the inputs were given in.
        std::vector<std::uint32_t> sorted = order;
        std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) { return keyOf(a) < keyOf(b); });
        std::vector<bool> mine(count, false);
        for (std::size_t position = 0; position < sorted.size(); ++position)
            if (inShard(position, options.shardIndex, options.shardCount)) mine[sorted[position]] = true;
        std::erase_if(order, [&](std::uint32_t i) { return !mine[i]; });
    }
    plan.m_mine = std::move(order);
    plan.m_mine.shrink_to_fit();
    return plan;
}

}  // namespace orvane::server
