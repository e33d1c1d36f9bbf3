// orvane-word: the document engine as a program. Converts files given on the
// command line (--to-rtf), or serves the automation protocol (--automation) for
// the desktop program, which starts one instance per document.
//
// Start-up stays cheap because the desktop program pays it once per document:
// no iostreams, no static objects that do work, the worker thread only when a
// document is opened.
#include <sys/resource.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>
#include <string>
#include <vector>

#include "AutomationServer.h"
#include "BatchCommand.h"
#include "BatchWorker.h"
#include "Files.h"
#include "TestFaults.h"

#ifndef ORVANE_VERSION
#define ORVANE_VERSION "0"
#endif

namespace {

using namespace orvane;

// A hostile document may make a reader ask for ever more memory; with a limit it
// fails with a message instead of taking the machine. Address-sanitized builds
// reserve terabytes of address space up front, so they run without one.
#if defined(__SANITIZE_ADDRESS__)
constexpr unsigned long kDefaultMemoryLimitMb = 0;
#else
constexpr unsigned long kDefaultMemoryLimitMb = 4096;
#endif

const char kUsage[] =
    "Usage: orvane-word [--memory-limit-mb N] --to-rtf INPUT OUTPUT [INPUT OUTPUT ...]\n"
    "       orvane-word [--memory-limit-mb N] --automation [--registry FOLDER | --no-registry]\n"
    "       orvane-word batch [OPTIONS] INPUT... --output-dir DIR   (see orvane-word batch --help)\n"
    "\n"
    "Converts word-processor documents (.docx, .doc, .odt, .rtf, .txt) to RTF.\n"
    "\n"
    "  batch               convert files and folder trees on every core, with progress,\n"
    "                      a report, resuming and sharding over several machines\n"
    "  --to-rtf            convert each INPUT to the RTF file OUTPUT, one after the other;\n"
    "                      exit status 0 when every file was converted, 1 otherwise\n"
    "  --automation        serve the automation protocol on stdin/stdout until Quit or\n"
    "                      the end of stdin (see engine/README.md)\n"
    "  --registry FOLDER   register this instance in FOLDER instead of the user's registry\n"
    "                      of running instances\n"
    "  --no-registry       do not register this instance at all\n"
    "  --memory-limit-mb N the most address space the process may use, in MB\n"
    "                      (default 4096; 0: no limit of its own)\n"
    "  --help, --version\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane-word: %s\nTry 'orvane-word --help'.\n", message.c_str());
    return 2;
}

void applyMemoryLimit(unsigned long megabytes) {
    if (megabytes == 0) return;
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0) return;
    rlim_t wanted = static_cast<rlim_t>(megabytes) << 20;
    if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max) wanted = limit.rlim_max;
    // A stricter limit from whoever started us stays.
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= wanted) {
        server::setMemoryLimitForMessages(limit.rlim_cur >> 20);
        return;
    }
    limit.rlim_cur = wanted;
    if (setrlimit(RLIMIT_AS, &limit) == 0) server::setMemoryLimitForMessages(wanted >> 20);
}

void reportFailure(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "orvane-word: %s: %s\n", server::oneLine(path).c_str(),
                 server::oneLine(server::asSentence(reason)).c_str());
}

int convertFiles(const std::vector<std::string>& paths) {
    int failures = 0;
    for (std::size_t i = 0; i + 1 < paths.size(); i += 2) {
        const std::string& input = paths[i];
        const std::string& output = paths[i + 1];
        try {
            ReadResult read = server::readDocumentFile(input);
            if (!read.ok()) {
                reportFailure(input, read.error);
                ++failures;
                continue;
            }
            const std::string error = server::saveRtfAtomically(*read.document, output);
            if (!error.empty()) {
                reportFailure(output, error);
                ++failures;
            }
        } catch (const std::bad_alloc&) {
            reportFailure(input, server::outOfMemoryMessage());
            ++failures;
        } catch (const std::exception& e) {
            reportFailure(input, e.what());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

bool parseMegabytes(const char* text, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-' && value <= (1ul << 30);
}

int runBatchCommand(int argc, char** argv) {
    const server::BatchCommand command =
        server::parseBatchCommand(std::vector<std::string>(argv + 2, argv + argc), kDefaultMemoryLimitMb);
    if (command.help) {
        std::printf(server::kBatchUsage, server::availableProcessors(), kDefaultMemoryLimitMb);
        return 0;
    }
    if (!command.error.empty()) {
        std::fprintf(stderr, "orvane-word: %s\nTry 'orvane-word batch --help'.\n", command.error.c_str());
        return 2;
    }
    // The coordinator stays small; each worker gets the memory limit.
    server::rememberUmask();
    return server::runBatch(command.settings);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef LC_PAPER
    // Plain text is laid out on the user's paper. Nothing else of the locale
    // is taken: numbers in RTF never get its decimal comma.
    std::setlocale(LC_PAPER, "");
#endif
    server::testfaults::configure();
    if (argc >= 2 && std::strcmp(argv[1], "batch") == 0) return runBatchCommand(argc, argv);
    enum class Mode { None, ToRtf, Automation, BatchWorker } mode = Mode::None;
    pid_t coordinator = 0;
    unsigned long memoryLimitMb = kDefaultMemoryLimitMb;
    server::ServerOptions serverOptions;
    std::vector<std::string> files;

    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::fputs("orvane-word " ORVANE_VERSION "\n", stdout);
            return 0;
        }
        if (argument == "--memory-limit-mb") {
            if (i + 1 >= argc || !parseMegabytes(argv[i + 1], memoryLimitMb))
                return usageError("--memory-limit-mb needs a number of megabytes");
            ++i;
        } else if (argument == "--registry") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return usageError("--registry needs a folder");
            serverOptions.registryFolder = argv[++i];
        } else if (argument == "--no-registry") {
            serverOptions.registry = false;
        } else if (argument == "--automation") {
            mode = Mode::Automation;
        } else if (argument == "--batch-worker") {
            // Started by `batch` itself, never by people: see BatchWorker.h.
            if (i + 1 >= argc) return usageError("--batch-worker needs the coordinator's pid");
            mode = Mode::BatchWorker;
            coordinator = static_cast<pid_t>(std::atol(argv[++i]));
        } else if (argument == "--to-rtf") {
            // Everything after it is a file name, even when it begins with "-".
            mode = Mode::ToRtf;
            files.assign(argv + i + 1, argv + argc);
            break;
        } else {
            return usageError("unknown argument '" + argument + "'");
        }
    }

    if (mode == Mode::None) return usageError("say --to-rtf or --automation");
    if (mode == Mode::ToRtf && (files.empty() || files.size() % 2 != 0))
        return usageError("--to-rtf needs pairs of INPUT and OUTPUT");

    applyMemoryLimit(memoryLimitMb);
    server::rememberUmask();
    if (mode == Mode::ToRtf) return convertFiles(files);
    if (mode == Mode::BatchWorker) return server::runBatchWorker(coordinator);
    return server::runAutomationServer(serverOptions);
}
