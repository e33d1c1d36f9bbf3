#include "BatchCommand.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace orvane::server {

const char kBatchUsage[] =
    "Usage: orvane-word batch [OPTIONS] INPUT... --output-dir DIR\n"
    "       orvane-word batch [OPTIONS] --files-from FILE --output-dir DIR\n"
    "\n"
    "Converts many documents to RTF on every core: files, and folders walked to the\n"
    "bottom (hidden files and folders, lock files \"~...\" and links to folders left out).\n"
    "\n"
    "  --output-dir DIR      where the RTF files go (made when missing); the folders\n"
    "                        below each input folder are made again below DIR\n"
    "  --flat                every output straight into DIR; the later of two equal\n"
    "                        names becomes \"name (2).rtf\"\n"
    "  --extensions LIST     the kinds taken from folders, e.g. doc,docx (default:\n"
    "                        doc,dot,docx,docm,dotx,dotm,odt,ott,fodt,rtf,txt)\n"
    "  --files-from FILE     read the inputs from FILE, one a line ('-': standard input)\n"
    "  -0, --null            the --files-from list is NUL-separated (find -print0)\n"
    "  --jobs N              worker processes (default: the processors available, here %u)\n"
    "  --timeout SECONDS     the longest one document may take (default 300; 0: no limit)\n"
    "  --memory-limit-mb N   the most address space one worker may use (default %lu; 0:\n"
    "                        no limit of its own)\n"
    "  --skip-existing       leave out documents whose output exists and is newer\n"
    "  --shard K/N           convert only part K of N (K from 0 to N-1) of the sorted list\n"
    "                        of documents; N runs with K = 0..N-1 convert each once\n"
    "  --report FILE         write one JSON line per document to FILE\n"
    "  --quiet               no progress line, no failure lines, no summary\n"
    "  --help\n"
    "\n"
    "A listed file is converted whatever its extension, its output straight into DIR.\n"
    "Exit status: 0 every document converted or skipped, 1 some failed, 2 a usage\n"
    "mistake or a run that could not start, 128+signal when interrupted (130: Ctrl+C).\n";

namespace {

bool parseUnsigned(const std::string& text, unsigned long max, unsigned long& value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value <= max;
}

bool readWhole(const std::string& path, std::string& text, std::string& error) {
    const int fd = path == "-" ? 0 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read the list " + path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read the list " + path + ": " + std::strerror(errno);
            if (fd != 0) ::close(fd);
            return false;
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (fd != 0) ::close(fd);
    return true;
}

}  // namespace

unsigned availableProcessors() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return static_cast<unsigned>(count);
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1u;
}

std::vector<std::string> splitFileList(const std::string& text, bool nulSeparated) {
    const char separator = nulSeparated ? '\0' : '\n';
    std::vector<std::string> paths;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) paths.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return paths;
}

BatchCommand parseBatchCommand(const std::vector<std::string>& arguments, unsigned long defaultMemoryLimitMb) {
    BatchCommand command;
    BatchSettings& s = command.settings;
    s.jobs = availableProcessors();
    s.memoryLimitMb = defaultMemoryLimitMb;
    s.plan.walk.extensions = readableExtensions();
    std::string filesFrom;
    bool nulSeparated = false;
    bool outputGiven = false;
    bool onlyInputs = false;

    auto fail = [&](std::string message) {
        command.error = std::move(message);
        return command;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (onlyInputs || argument.empty() || argument[0] != '-' || argument == "-") {
            s.plan.inputs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyInputs = true;
            continue;
        }
        // "--name=value" or "--name value".
        std::string inlineValue;
        bool hasInline = false;
        if (const std::size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string::npos) {
            inlineValue = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
            hasInline = true;
        }
        auto value = [&](std::string& out) {
            if (hasInline) {
                out = inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size()) return false;
            out = arguments[++i];
            return true;
        };
        std::string text;
        if (argument == "--help" || argument == "-h") {
            command.help = true;
            return command;
        } else if (argument == "--output-dir") {
            if (!value(text) || text.empty()) return fail("--output-dir needs a folder");
            s.plan.outputDir = text;
            outputGiven = true;
        } else if (argument == "--flat") {
            s.plan.flat = true;
        } else if (argument == "--extensions") {
            if (!value(text)) return fail("--extensions needs a list such as doc,docx");
            std::vector<std::string> kinds;
            for (std::size_t start = 0; start <= text.size();) {
                std::size_t comma = text.find(',', start);
                if (comma == std::string::npos) comma = text.size();
                std::string kind = text.substr(start, comma - start);
                while (!kind.empty() && kind.front() == '.') kind.erase(0, 1);
                for (char& c : kind)
                    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                if (!kind.empty()) kinds.push_back(kind);
                start = comma + 1;
            }
            if (kinds.empty()) return fail("--extensions needs a list such as doc,docx");
            s.plan.walk.extensions = kinds;
        } else if (argument == "--files-from") {
            if (!value(text) || text.empty()) return fail("--files-from needs a file ('-' for standard input)");
            filesFrom = text;
        } else if (argument == "-0" || argument == "--null") {
            nulSeparated = true;
        } else if (argument == "--jobs" || argument == "-j") {
            unsigned long jobs = 0;
            if (!value(text) || !parseUnsigned(text, 1024, jobs) || jobs == 0)
                return fail("--jobs needs a number of workers from 1 to 1024");
            s.jobs = static_cast<unsigned>(jobs);
        } else if (argument == "--timeout") {
            char* end = nullptr;
            if (!value(text) || text.empty()) return fail("--timeout needs a number of seconds");
            const double seconds = std::strtod(text.c_str(), &end);
            if (*end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 1e7)
                return fail("--timeout needs a number of seconds");
            s.timeoutSeconds = seconds;
        } else if (argument == "--memory-limit-mb") {
            unsigned long megabytes = 0;
            if (!value(text) || !parseUnsigned(text, 1ul << 30, megabytes))
                return fail("--memory-limit-mb needs a number of megabytes");
            s.memoryLimitMb = megabytes;
        } else if (argument == "--skip-existing") {
            s.skipExisting = true;
        } else if (argument == "--shard") {
            const std::size_t slash = value(text) ? text.find('/') : std::string::npos;
            unsigned long index = 0, count = 0;
            if (slash == std::string::npos || !parseUnsigned(text.substr(0, slash), 1u << 20, index) ||
                !parseUnsigned(text.substr(slash + 1), 1u << 20, count) || count == 0)
                return fail("--shard needs K/N, part K (from 0) of N parts, e.g. 0/3");
            if (index >= count)
                return fail("--shard " + text + ": K counts from 0, so it must be less than N");
            s.plan.shardIndex = static_cast<unsigned>(index);
            s.plan.shardCount = static_cast<unsigned>(count);
        } else if (argument == "--report") {
            if (!value(text) || text.empty()) return fail("--report needs a file");
            s.reportPath = text;
        } else if (argument == "--quiet" || argument == "-q") {
            s.quiet = true;
        } else {
            return fail("unknown option '" + argument + "' of batch");
        }
        if (hasInline && (argument == "--flat" || argument == "--skip-existing" || argument == "--quiet" ||
                          argument == "--null"))
            return fail(argument + " takes no value");
    }
    if (!outputGiven) return fail("batch needs --output-dir DIR");
    if (!filesFrom.empty()) {
        std::string text, error;
        if (!readWhole(filesFrom, text, error)) return fail(error);
        for (std::string& path : splitFileList(text, nulSeparated)) s.plan.inputs.push_back(std::move(path));
    } else if (nulSeparated) {
        return fail("-0 belongs with --files-from");
    }
    if (s.plan.inputs.empty()) return fail(filesFrom.empty() ? "batch needs files or folders to convert" : "the list " + filesFrom + " names no files");
    return command;
}

}  // namespace orvane::server
