// orvane-word batch: the walk, the naming, the shards and the command line
// directly, then whole runs through the program, with documents that crash,
// hang, run away with memory or fill the disk (ORVANE_WORD_TEST_FAULTS, see
// engine/server/TestFaults.h), and Ctrl+C in the middle.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "BatchCommand.h"
#include "BatchPlan.h"
#include "BatchReport.h"
#include "BatchWorker.h"
#include "FolderWalk.h"
#include "TestSupport.h"

namespace orvane::server {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::testing::listFolder;
using orvane::testing::readFile;
using orvane::testing::TempDir;
using orvane::testing::writeFile;

const std::string kEngine = ORVANE_WORD_PATH;

void makeFile(const std::string& path, const std::string& text = "Some text.\n") {
    fs::create_directories(fs::path(path).parent_path());
    writeFile(path, text);
}

std::string fault(const std::string& word) { return "ORVANE-TEST-FAULT " + word + "\n"; }

bool isRtf(const std::string& path) { return readFile(path).rfind("{\\rtf1", 0) == 0; }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        result.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return result;
}

// The value of a string or number field of a report record, as written ("null" for none).
std::string field(const std::string& record, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const std::size_t at = record.find(key);
    if (at == std::string::npos) return "<missing>";
    std::size_t start = at + key.size();
    if (record[start] != '"') return record.substr(start, record.find_first_of(",}", start) - start);
    std::string value;
    for (std::size_t i = start + 1; i < record.size() && record[i] != '"'; ++i) {
        if (record[i] == '\\') ++i;
        value += record[i];
    }
    return value;
}

// Every file below a folder, as paths relative to it, sorted.
std::vector<std::string> treeOf(const std::string& folder) {
    std::vector<std::string> found;
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(folder, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        if (!it->is_directory()) found.push_back(fs::relative(it->path(), folder).string());
    std::sort(found.begin(), found.end());
    return found;
}

bool anyTemporaryBelow(const std::string& folder) {
    for (const std::string& path : treeOf(folder))
        if (fs::path(path).filename().string().rfind(".orvane-word-", 0) == 0) return true;
    return false;
}

// The workers a coordinator started, still alive (or not yet reaped).
std::vector<pid_t> workersOf(pid_t coordinator) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string command = readFile(entry.path().string() + "/cmdline");
        std::replace(command.begin(), command.end(), '\0', ' ');
        if (command.find("--batch-worker " + std::to_string(coordinator) + " ") != std::string::npos)
            found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}

struct Finished {
    int exitStatus = -1;
    std::string err;
};

// Runs orvane-word batch with the arguments, stdin from `input` (a file, or /dev/null).
class Batch {
public:
    explicit Batch(const TempDir& temp) : m_temp(temp) {}

    pid_t start(std::vector<std::string> arguments, const std::string& input = "/dev/null") {
        arguments.insert(arguments.begin(), {kEngine, "batch"});
        const std::string errPath = m_temp / ".stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    Finished finish(pid_t pid) {
        Finished run;
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
        run.err = readFile(m_temp / ".stderr");
        fs::remove(m_temp / ".stderr");
        return run;
    }

    Finished operator()(const std::vector<std::string>& arguments, const std::string& input = "/dev/null") {
        return finish(start(arguments, input));
    }

private:
    const TempDir& m_temp;
};

// The test switch for the documents that crash and hang, on for one test.
class FaultsOn {
public:
    FaultsOn() { setenv("ORVANE_WORD_TEST_FAULTS", "1", 1); }
    ~FaultsOn() { unsetenv("ORVANE_WORD_TEST_FAULTS"); }
};

// --- The walk ---------------------------------------------------------------------

TEST(BatchWalk, TakesWhatTheWindowTakesAndLeavesOutHiddenThingsLocksAndLinkedFolders) {
    TempDir temp;
    const std::string root = temp / "in";
    makeFile(root + "/b.doc");
    makeFile(root + "/A.DOCX");           // letter case of the extension does not matter
    makeFile(root + "/sub/c.odt");
    makeFile(root + "/sub/deeper/d.rtf");
    makeFile(root + "/notes.md");         // not a kind asked for
    makeFile(root + "/.hidden.doc");      // hidden file
    makeFile(root + "/~$lock.doc");       // Word's lock file
    makeFile(root + "/.git/e.doc");       // hidden folder: not looked into
    makeFile(root + "/plain");            // no extension
    fs::create_symlink(root + "/sub", root + "/linked-folder");  // not followed
    fs::create_symlink(root + "/b.doc", root + "/linked-file.doc");  // a link to a file counts
    fs::create_symlink(root + "/nowhere.doc", root + "/dangling.doc");
    ASSERT_EQ(mkfifo((root + "/pipe.doc").c_str(), 0600), 0);
    fs::create_directory(root + "/folder.doc");  // a folder named like a document

    WalkRules rules;
    rules.extensions = readableExtensions();
    std::vector<std::string> found, problems;
    WalkVisitor visitor{[&](const std::string&, const std::string& relative) { found.push_back(relative); },
                        [&](const std::string& path, const std::string&) { problems.push_back(path); }};
    std::string error;
    ASSERT_TRUE(walkFolder(root, rules, visitor, error)) << error;
    EXPECT_EQ(found, (std::vector<std::string>{"A.DOCX", "b.doc", "linked-file.doc", "sub/c.odt", "sub/deeper/d.rtf"}));
    EXPECT_TRUE(problems.empty());

    rules.extensions = {"odt"};
    found.clear();
    ASSERT_TRUE(walkFolder(root + "/", rules, visitor, error));
    EXPECT_EQ(found, (std::vector<std::string>{"sub/c.odt"}));

    EXPECT_FALSE(walkFolder(temp / "missing", rules, visitor, error));
    EXPECT_EQ(error, "No such file or directory.");
}

TEST(BatchWalk, AFolderThatCannotBeListedIsAProblemAndTheRestIsWalked) {
    if (geteuid() == 0) GTEST_SKIP() << "root lists every folder";
    TempDir temp;
    makeFile(temp / "in/a.doc");
    makeFile(temp / "in/locked/b.doc");
    makeFile(temp / "in/z.doc");
    chmod((temp / "in/locked").c_str(), 0);
    PlanOptions options;
    options.inputs = {temp / "in"};
    options.outputDir = temp.path();
    options.walk.extensions = {"doc"};
    const Plan plan = makePlan(options);
    ASSERT_EQ(plan.size(), 3u);
    EXPECT_EQ(plan.document(0).input, temp / "in/a.doc");
    EXPECT_EQ(plan.document(1).input, temp / "in/locked");
    EXPECT_EQ(plan.document(1).problem, "Cannot look into the folder: Permission denied.");
    EXPECT_EQ(plan.document(1).output, "");
    EXPECT_EQ(plan.document(2).input, temp / "in/z.doc");
}

// --- Naming -----------------------------------------------------------------------

TEST(BatchNaming, OutputNamesFollowTheWindowsRule) {
    EXPECT_EQ(outputNameFor("report.doc"), "report.rtf");
    EXPECT_EQ(outputNameFor("letter.DOCX"), "letter.rtf");
    EXPECT_EQ(outputNameFor("copy.doc.doc"), "copy.rtf");     // every ".doc" goes
    EXPECT_EQ(outputNameFor("v1.2.docx"), "v1.2.rtf");
    EXPECT_EQ(outputNameFor("notes"), "notes.rtf");           // no dot: the name stays whole
    EXPECT_EQ(outputNameFor("old.rtf"), "old.rtf");
    EXPECT_EQ(numberedName("a/report.rtf", 2), "a/report (2).rtf");
}

class BatchPlanTest : public ::testing::Test {
protected:
    BatchPlanTest() {
        makeFile(temp / "in/2020/report.doc");
        makeFile(temp / "in/2021/report.doc");
        makeFile(temp / "in/2021/report.docx");
        makeFile(temp / "in/summary.txt");
        fs::create_directory(temp / "out");
        options.outputDir = temp / "out";
        options.walk.extensions = readableExtensions();
        options.inputs = {temp / "in"};
    }

    std::vector<std::string> outputs() {
        std::vector<std::string> names;
        const Plan plan = makePlan(options);
        for (std::size_t i = 0; i < plan.size(); ++i) names.push_back(plan.document(i).output.substr(options.outputDir.size() + 1));
        return names;
    }

    TempDir temp;
    PlanOptions options;
};

TEST_F(BatchPlanTest, MirroredOutputsKeepTheFoldersSoEqualNamesNeverCollide) {
    EXPECT_EQ(outputs(), (std::vector<std::string>{"2020/report.rtf", "2021/report.rtf", "2021/report (2).rtf",
                                                   "summary.rtf"}));
}

TEST_F(BatchPlanTest, FlatOutputsNumberTheLaterOfEqualNamesInInputOrder) {
    options.flat = true;
    EXPECT_EQ(outputs(), (std::vector<std::string>{"report.rtf", "report (2).rtf", "report (3).rtf", "summary.rtf"}));
    // A listed file comes after the folder here, so it is the one numbered.
    makeFile(temp / "elsewhere/summary.doc");
    options.inputs = {temp / "elsewhere/summary.doc", temp / "in"};
    EXPECT_EQ(outputs(), (std::vector<std::string>{"summary.rtf", "report.rtf", "report (2).rtf", "report (3).rtf",
                                                   "summary (2).rtf"}));
}

TEST_F(BatchPlanTest, AListedInputIsNeverAnOutputAndDuplicatesCountOnce) {
    // An RTF input in the output folder itself would be replaced by its own output.
    makeFile(temp / "out/old.rtf", "{\\rtf1 old}");
    options.inputs = {temp / "out/old.rtf", temp / "in/summary.txt", temp / "in", temp / "in/../in/summary.txt"};
    options.flat = true;
    EXPECT_EQ(outputs(), (std::vector<std::string>{"old (2).rtf", "summary.rtf", "report.rtf", "report (2).rtf",
                                                   "report (3).rtf"}));
}

TEST_F(BatchPlanTest, TheOutputFolderInsideAnInputFolderIsNotWalked) {
    options.outputDir = temp / "in/rtf";
    makeFile(temp / "in/rtf/summary.rtf", "{\\rtf1 from an earlier run}");
    options.flat = true;
    EXPECT_EQ(outputs(), (std::vector<std::string>{"report.rtf", "report (2).rtf", "report (3).rtf", "summary.rtf"}));
}

TEST_F(BatchPlanTest, ShardsCoverEveryDocumentOnceWhateverTheOrderOfTheInputs) {
    for (int i = 0; i < 20; ++i) makeFile(temp / ("in/many/doc" + std::to_string(i) + ".txt"));
    options.inputs = {temp / "in"};
    const std::size_t all = makePlan(options).size();
    ASSERT_EQ(all, 24u);
    for (unsigned count : {1u, 2u, 3u, 7u, 30u}) {
        std::multiset<std::string> seen;
        std::set<std::string> outputs;
        for (unsigned index = 0; index < count; ++index) {
            options.shardIndex = index;
            options.shardCount = count;
            // Each task may list its inputs in another order: the parts stay the same.
            options.inputs = index % 2 ? std::vector<std::string>{temp / "in/many", temp / "in"}
                                       : std::vector<std::string>{temp / "in"};
            const Plan plan = makePlan(options);
            EXPECT_EQ(plan.totalDocuments, all);
            EXPECT_LE(plan.size(), (all + count - 1) / count) << count;
            EXPECT_GE(plan.size(), all / count) << count;
            for (std::size_t i = 0; i < plan.size(); ++i) {
                const PlannedDocument document = plan.document(i);
                seen.insert(fs::weakly_canonical(document.input).string());
                outputs.insert(document.output);
            }
        }
        EXPECT_EQ(seen.size(), all) << count;
        EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), all) << "a document in two shards of " << count;
        EXPECT_EQ(outputs.size(), all) << count;
    }
}

// --- Command line and messages ----------------------------------------------------------

TEST(BatchCommandLine, UsageMistakesAreNamed) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"a.doc"}, "batch needs --output-dir DIR"},
        {{"--output-dir", "out"}, "batch needs files or folders to convert"},
        {{"a.doc", "--output-dir"}, "--output-dir needs a folder"},
        {{"a.doc", "--output-dir", "out", "--jobs", "0"}, "--jobs needs a number of workers from 1 to 1024"},
        {{"a.doc", "--output-dir", "out", "--shard", "3/3"}, "--shard 3/3: K counts from 0, so it must be less than N"},
        {{"a.doc", "--output-dir", "out", "--shard", "1"}, "--shard needs K/N, part K (from 0) of N parts, e.g. 0/3"},
        {{"a.doc", "--output-dir", "out", "--timeout", "soon"}, "--timeout needs a number of seconds"},
        {{"a.doc", "--output-dir", "out", "--fast"}, "unknown option '--fast' of batch"},
        {{"a.doc", "--output-dir", "out", "-0"}, "-0 belongs with --files-from"},
        {{"a.doc", "--output-dir=out", "--flat=yes"}, "--flat takes no value"},
    };
    for (const auto& [arguments, error] : cases) EXPECT_EQ(parseBatchCommand(arguments, 4096).error, error);

    const BatchCommand good = parseBatchCommand(
        {"--jobs=3", "a.doc", "--output-dir", "out", "--extensions", ".DOC,docx", "--shard", "2/5", "--timeout", "1.5",
         "--", "--odd-name.doc"},
        4096);
    EXPECT_EQ(good.error, "");
    EXPECT_EQ(good.settings.jobs, 3u);
    EXPECT_EQ(good.settings.plan.inputs, (std::vector<std::string>{"a.doc", "--odd-name.doc"}));
    EXPECT_EQ(good.settings.plan.walk.extensions, (std::vector<std::string>{"doc", "docx"}));
    EXPECT_EQ(good.settings.plan.shardIndex, 2u);
    EXPECT_EQ(good.settings.plan.shardCount, 5u);
    EXPECT_DOUBLE_EQ(good.settings.timeoutSeconds, 1.5);
    EXPECT_EQ(good.settings.memoryLimitMb, 4096u);
}

TEST(BatchCommandLine, AUsageMistakeOrARunThatCannotStartIsExitTwoWithNothingDone) {
    TempDir temp;
    makeFile(temp / "in/a.doc");
    makeFile(temp / "file");
    Batch batch(temp);
    Finished run = batch({temp / "in"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "orvane-word: batch needs --output-dir DIR\nTry 'orvane-word batch --help'.\n");
    run = batch({temp / "in", "--output-dir", temp / "file/out"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "orvane-word: " + (temp / "file") + " is not a folder\n");
    run = batch({temp / "in", "--output-dir", temp / "out", "--report", temp / "no/such/report.jsonl"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "orvane-word: cannot write the report " + (temp / "no/such/report.jsonl") +
                           ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(temp / "out/a.rtf"));
    EXPECT_EQ(batch({"--help"}).exitStatus, 0);
}

TEST(BatchCommandLine, FileListsSplitByLineOrByNul) {
    EXPECT_EQ(splitFileList("a.doc\n\nb c.doc\n", false), (std::vector<std::string>{"a.doc", "b c.doc"}));
    EXPECT_EQ(splitFileList(std::string("a\nb.doc\0c.doc\0", 14), true), (std::vector<std::string>{"a\nb.doc", "c.doc"}));
}

TEST(BatchReport, RecordsAreOneLineOfValidJsonWhateverTheNames) {
    WorkResult result;
    result.status = "failed";
    result.error = "The file is \"odd\".";
    result.milliseconds = 12;
    result.bytesIn = 3;
    result.warnings = {"A picture was left out."};
    EXPECT_EQ(reportRecord("dir/a\tb\n\xff.doc", "", result),
              "{\"input\":\"dir/a\\u0009b\\u000a\xEF\xBF\xBD.doc\",\"output\":null,\"status\":\"failed\","
              "\"error\":\"The file is \\\"odd\\\".\",\"ms\":12,\"bytes_in\":3,\"bytes_out\":0,"
              "\"warnings\":[\"A picture was left out.\"]}");
    EXPECT_EQ(jsonString("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x84 \xC0\xAF \xED\xA0\x80"),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x84 \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");

    Tally tally{10, 4, 1, 0};
    EXPECT_EQ(progressLine(tally, 2.0, 200), "5/10 done, 1 failed, 2.5 documents/s, 2 s left");
    EXPECT_EQ(progressLine(tally, 2.0, 11), "5/10 done,");
    EXPECT_EQ(summaryLine(tally, 65, true),
              "4 converted, 1 failed, 0 skipped of 10 documents in 1 min 5 s (0.1 documents/s). "
              "Interrupted: 5 documents were not converted.");
}

TEST(BatchWorkerLines, OrdersAndResultsTravelWhateverTheyHold) {
    const WorkOrder order{"in/a\tb%.doc", "out/a:b.rtf", true};
    const auto back = parseWorkOrder(formatWorkOrder(order));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->input, order.input);
    EXPECT_EQ(back->output, order.output);
    EXPECT_TRUE(back->skipExisting);
    WorkResult result{"converted", 5, 10, 20, "", {"one\ttwo", "three"}};
    const auto parsed = parseWorkResult(formatWorkResult(result));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->warnings, result.warnings);
    EXPECT_EQ(parsed->bytesOut, 20u);
    EXPECT_FALSE(parseWorkResult("R\tdone\t1\t2\t3\t"));
    EXPECT_FALSE(parseWorkOrder("C\ta\tb"));
}

// --- Whole runs ---------------------------------------------------------------------

TEST(BatchRun, ConvertsATreeMirroredWithAReportInInputOrderAndExitZero) {
    TempDir temp;
    makeFile(temp / "in/b/report.doc", "Report B.\n");
    makeFile(temp / "in/a/report.doc", "Report A.\n");
    makeFile(temp / "in/top.txt", "Top.\n");
    makeFile(temp / "single.doc", "{\\rtf1\\ansi Single.\\par}");
    Batch batch(temp);
    const Finished run = batch({temp / "in", temp / "single.doc", "--output-dir", temp / "out", "--report",
                           temp / "report.jsonl", "--jobs", "2"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(treeOf(temp / "out"), (std::vector<std::string>{"a/report.rtf", "b/report.rtf", "single.rtf", "top.rtf"}));
    EXPECT_NE(readFile(temp / "out/b/report.rtf").find("Report B."), std::string::npos);
    const auto records = lines(readFile(temp / "report.jsonl"));
    ASSERT_EQ(records.size(), 4u);
    const std::vector<std::string> inputs = {temp / "in/a/report.doc", temp / "in/b/report.doc", temp / "in/top.txt",
                                             temp / "single.doc"};
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(field(records[i], "input"), inputs[i]);
        EXPECT_EQ(field(records[i], "status"), "converted");
        EXPECT_EQ(field(records[i], "error"), "null");
        EXPECT_EQ(field(records[i], "bytes_in"), std::to_string(fs::file_size(inputs[i])));
        EXPECT_EQ(field(records[i], "bytes_out"), std::to_string(fs::file_size(field(records[i], "output"))));
    }
    // Not a terminal: no progress, only the summary.
    EXPECT_EQ(run.err.rfind("orvane-word: 4 converted, 0 failed, 0 skipped of 4 documents in ", 0), 0u) << run.err;
    EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
}

TEST(BatchRun, BadInputsAreFailedRecordsAndTheRunGoesOn) {
    TempDir temp;
    makeFile(temp / "in/a.doc");
    makeFile(temp / "in/empty.doc", "");
    makeFile(temp / "in/zip.docx", std::string("PK\x03\x04garbage", 11));
    makeFile(temp / "in/z.doc");
    makeFile(temp / "list", (temp / "in") + "\n" + (temp / "missing.doc") + "\n");
    fs::create_directory(temp / "out");
    // An output that is a pipe is refused, and the pipe stays.
    ASSERT_EQ(mkfifo((temp / "out/z.rtf").c_str(), 0600), 0);
    Batch batch(temp);
    const Finished run = batch({"--files-from", "-", "--output-dir", temp / "out", "--report", temp / "r.jsonl"},
                          temp / "list");
    EXPECT_EQ(run.exitStatus, 1);
    const auto records = lines(readFile(temp / "r.jsonl"));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(field(records[0], "status"), "converted");
    EXPECT_EQ(field(records[1], "error"), "The file is empty.");
    EXPECT_EQ(field(records[3], "status"), "failed");
    EXPECT_NE(field(records[3], "error").find("it begins with 50 4B 03 04"), std::string::npos);
    EXPECT_EQ(field(records[2], "error"), "Cannot write " + (temp / "out/z.rtf") +
                                              ": It is a named pipe, not an ordinary file; only an ordinary file is replaced.");
    EXPECT_EQ(field(records[4], "input"), temp / "missing.doc");
    EXPECT_EQ(field(records[4], "error"), "No such file or directory.");
    struct stat st {};
    ASSERT_EQ(lstat((temp / "out/z.rtf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // Each failure is one line on stderr before the summary.
    EXPECT_NE(run.err.find("orvane-word: " + (temp / "in/empty.doc") + ": The file is empty.\n"), std::string::npos);
    EXPECT_NE(run.err.find("1 converted, 4 failed, 0 skipped of 5 documents"), std::string::npos) << run.err;
    EXPECT_FALSE(anyTemporaryBelow(temp / "out"));
}

TEST(BatchRun, UnwritableOutputsAndAFullDiskFailEachDocumentAndLoseNothing) {
    TempDir temp;
    makeFile(temp / "in/big.txt", std::string(200000, 'x') + "\n");
    makeFile(temp / "in/small.txt", "Small.\n");
    makeFile(temp / "out/big.rtf", "earlier");
    // The workers inherit a file size limit, as a full disk stops a write half way.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    Batch batch(temp);
    setrlimit(RLIMIT_FSIZE, &small);
    const pid_t pid = batch.start({temp / "in", "--output-dir", temp / "out", "--report", temp / "r.jsonl", "--quiet"});
    setrlimit(RLIMIT_FSIZE, &saved);
    const Finished run = batch.finish(pid);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "");  // --quiet
    const auto records = lines(readFile(temp / "r.jsonl"));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(field(records[0], "error"), "Cannot write " + (temp / "out/big.rtf") + ": File too large.");
    EXPECT_EQ(readFile(temp / "out/big.rtf"), "earlier");
    EXPECT_EQ(field(records[1], "status"), "converted");
    EXPECT_FALSE(anyTemporaryBelow(temp / "out"));

    if (geteuid() != 0) {  // root writes into read-only folders regardless
        fs::create_directory(temp / "locked");
        chmod((temp / "locked").c_str(), 0500);
        const Finished locked = batch({temp / "in", "--output-dir", temp / "locked", "--report", temp / "r2.jsonl"});
        EXPECT_EQ(locked.exitStatus, 1);
        for (const std::string& record : lines(readFile(temp / "r2.jsonl")))
            EXPECT_NE(field(record, "error").find(": Permission denied."), std::string::npos) << record;
    }
}

TEST(BatchRun, SkipExistingResumesWithTheDocumentsThatAreNotDone) {
    TempDir temp;
    for (const char* name : {"a", "b", "c"}) makeFile(temp / (std::string("in/") + name + ".doc"));
    Batch batch(temp);
    ASSERT_EQ(batch({temp / "in", "--output-dir", temp / "out"}).exitStatus, 0);
    // b changed since it was converted, c's output was lost.
    const auto later = fs::last_write_time(temp / "out/b.rtf") + 2s;
    fs::last_write_time(temp / "in/b.doc", later);
    fs::remove(temp / "out/c.rtf");
    const Finished run = batch({temp / "in", "--output-dir", temp / "out", "--skip-existing", "--report", temp / "r.jsonl"});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    const auto records = lines(readFile(temp / "r.jsonl"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(field(records[0], "status"), "skipped");
    EXPECT_EQ(field(records[1], "status"), "converted");
    EXPECT_EQ(field(records[2], "status"), "converted");
    EXPECT_NE(run.err.find("2 converted, 0 failed, 1 skipped of 3 documents"), std::string::npos) << run.err;
}

TEST(BatchRun, ACrashingAndAHangingDocumentCostOnlyThemselves) {
    FaultsOn faults;
    TempDir temp;
    makeFile(temp / "in/1.doc", "One.\n");
    makeFile(temp / "in/2.doc", fault("crash"));
    makeFile(temp / "in/3.doc", "Three.\n");
    makeFile(temp / "in/4.doc", fault("hang"));
    makeFile(temp / "in/5.doc", fault("hang-in-save"));
    makeFile(temp / "in/6.doc", "Six.\n");
    makeFile(temp / "out/5.rtf", "earlier");
    Batch batch(temp);
    const auto started = std::chrono::steady_clock::now();
    const Finished run = batch({temp / "in", "--output-dir", temp / "out", "--report", temp / "r.jsonl", "--jobs", "2",
                           "--timeout", "1"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    EXPECT_EQ(run.exitStatus, 1);
    const auto records = lines(readFile(temp / "r.jsonl"));
    ASSERT_EQ(records.size(), 6u);
    for (std::size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(field(records[i], "input"), temp / ("in/" + std::to_string(i + 1) + ".doc"));
    EXPECT_EQ(field(records[0], "status"), "converted");
    EXPECT_EQ(field(records[1], "error"),
              "The document engine stopped unexpectedly while converting it (signal 11, Segmentation fault).");
    EXPECT_EQ(field(records[2], "status"), "converted");
    EXPECT_EQ(field(records[3], "error"), "Converting it took longer than 1 second; it was stopped.");
    EXPECT_EQ(field(records[4], "error"), "Converting it took longer than 1 second; it was stopped.");
    EXPECT_EQ(field(records[5], "status"), "converted");
    EXPECT_EQ(readFile(temp / "out/5.rtf"), "earlier");
    EXPECT_FALSE(anyTemporaryBelow(temp / "out"));
}

TEST(BatchRun, AWorkerThatCannotCleanUpHasItsTemporaryRemovedForIt) {
    FaultsOn faults;
    TempDir temp;
    makeFile(temp / "in/save.doc", fault("hang-in-save"));
    Batch batch(temp);
    const pid_t pid = batch.start({temp / "in", "--output-dir", temp / "out", "--report", temp / "r.jsonl", "--timeout",
                                   "2", "--jobs", "1"});
    // Stopped once its temporary exists, it cannot answer SIGTERM: only SIGKILL ends it.
    for (int i = 0; i < 500 && !anyTemporaryBelow(temp / "out"); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(anyTemporaryBelow(temp / "out"));
    for (pid_t worker : workersOf(pid)) kill(worker, SIGSTOP);
    const Finished run = batch.finish(pid);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(field(readFile(temp / "r.jsonl"), "error"), "Converting it took longer than 2 seconds; it was stopped.");
    EXPECT_FALSE(anyTemporaryBelow(temp / "out"));
    EXPECT_TRUE(workersOf(pid).empty());
}

TEST(BatchRun, RunawayMemoryFailsOneDocumentAndAFreshWorkerGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#endif
    FaultsOn faults;
    TempDir temp;
    makeFile(temp / "in/1.doc", fault("memory"));
    makeFile(temp / "in/2.doc", "Two.\n");
    makeFile(temp / "in/3.doc", "Three.\n");
    Batch batch(temp);
    const Finished run = batch({temp / "in", "--output-dir", temp / "out", "--report", temp / "r.jsonl", "--jobs", "1",
                           "--memory-limit-mb", "256"});
    EXPECT_EQ(run.exitStatus, 1);
    const auto records = lines(readFile(temp / "r.jsonl"));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(field(records[0], "error"), "The document needs more memory than the engine's limit of 256 MB.");
    EXPECT_EQ(field(records[1], "status"), "converted");
    EXPECT_EQ(field(records[2], "status"), "converted");
}

TEST(BatchRun, CtrlCStopsHandingOutWorkKeepsTheReportAndLeavesNothingBehind) {
    FaultsOn faults;
    TempDir temp;
    makeFile(temp / "in/0.doc", "First.\n");
    makeFile(temp / "in/1.doc", fault("hang-in-save"));
    for (int i = 2; i < 40; ++i) makeFile(temp / ("in/" + std::to_string(i) + ".doc"), fault("hang"));
    Batch batch(temp);
    const pid_t pid = batch.start({temp / "in", "--output-dir", temp / "out", "--report", temp / "r.jsonl", "--jobs", "2"});
    for (int i = 0; i < 500 && !anyTemporaryBelow(temp / "out"); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(anyTemporaryBelow(temp / "out"));
    std::this_thread::sleep_for(100ms);  // the other worker is on a hanging document by now
    const auto workers = workersOf(pid);
    EXPECT_EQ(workers.size(), 2u);
    kill(pid, SIGINT);
    std::this_thread::sleep_for(300ms);
    kill(pid, SIGINT);  // the second one does not wait for the documents in progress
    const auto interrupted = std::chrono::steady_clock::now();
    const Finished run = batch.finish(pid);
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, 4s);
    EXPECT_EQ(run.exitStatus, 130);
    const auto records = lines(readFile(temp / "r.jsonl"));
    ASSERT_EQ(records.size(), 3u) << readFile(temp / "r.jsonl");
    EXPECT_EQ(field(records[0], "status"), "converted");
    EXPECT_EQ(field(records[1], "error"), "The run was interrupted before the document was done.");
    EXPECT_EQ(field(records[2], "error"), "The run was interrupted before the document was done.");
    EXPECT_NE(run.err.find("Interrupted: 37 documents were not converted."), std::string::npos) << run.err;
    EXPECT_EQ(treeOf(temp / "out"), (std::vector<std::string>{"0.rtf"}));
    for (pid_t worker : workers) EXPECT_TRUE(orvane::testing::processGone(worker)) << worker;
}

}  // namespace
}  // namespace orvane::server
