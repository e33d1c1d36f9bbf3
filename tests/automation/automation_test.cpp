// The automation client driving the real orvane-word, and stand-in engines that
// crash, hang or babble, to see that every way an engine can fail is reported
// and leaves no process behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "Automation.h"
#include "TestSupport.h"
#include "protocol/Protocol.h"

namespace orvane::automation {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::testing::listFolder;
using orvane::testing::processGone;
using orvane::testing::readFile;
using orvane::testing::TempDir;
using orvane::testing::writeFile;
using orvane::testing::writeScript;

std::shared_ptr<Object> asObject(const Value& value) {
    auto object = std::get_if<std::shared_ptr<Object>>(&value);
    if (!object || !*object) throw std::runtime_error("not an object");
    return *object;
}

std::string asString(const Value& value) {
    auto text = std::get_if<std::string>(&value);
    if (!text) throw std::runtime_error("not a string");
    return *text;
}

// The AutomationError's text, or "" when the call succeeded.
template <typename F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const AutomationError& e) {
        return e.what();
    }
    return "";
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The named arguments the desktop program passes, spelled as it spells them.
std::vector<NamedArg> saveAsArguments(const std::string& fileName, std::int32_t format = 6) {
    return {{"fileName", fileName},          {"FileFormat", format},         {"LockComments", false},
            {"Password", std::string()},     {"AddToRecentFiles", true},     {"WritePassword", std::string()},
            {"ReadOnlyRecommended", false},  {"EmbedTrueTypeFonts", false},  {"SaveNativePictureFormat", false},
            {"SaveFormsData", false},        {"SaveAsAOCELetter", false}};
}

class AutomationTest : public ::testing::Test {
protected:
    AutomationTest() {
        options.enginePath = ORVANE_WORD_PATH;
        options.registryDir = temp / "registry";
        options.callTimeout = 60s;
    }

    // A new instance with its Documents collection.
    std::shared_ptr<Object> documentsOf(const std::shared_ptr<Object>& word) { return asObject(word->get("Documents")); }

    std::string textFile(const std::string& name, const std::string& text = "Hello, world.\nSecond line.\n") {
        const std::string path = temp / name;
        writeFile(path, text);
        return path;
    }

    // What is in a folder besides the files a test put there: temporaries left over.
    std::vector<std::string> leftovers(const std::string& folder) {
        std::vector<std::string> found;
        for (const std::string& name : listFolder(folder))
            if (name.rfind(".orvane-word-", 0) == 0) found.push_back(name);
        return found;
    }

    TempDir temp;
    ClientOptions options;
};

// --- Life of an instance ------------------------------------------------------

TEST_F(AutomationTest, CreatedInstanceAnswersAndQuitEndsTheProcess) {
    auto word = createObject("Word.Application", options);
    const pid_t pid = word->processId();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(word->defaultValue(), "Microsoft Word");
    EXPECT_EQ(asString(word->get("name")), "Microsoft Word");
    EXPECT_EQ(asString(word->get("Version")).rfind("orvane-word ", 0), 0u);
    EXPECT_TRUE(word->connected());
    const std::string entry = options.registryDir + "/" + std::to_string(pid) + ".sock";
    EXPECT_TRUE(fs::exists(entry));

    EXPECT_TRUE(std::holds_alternative<std::monostate>(word->call("Quit")));
    // Quit returns once the process is gone, not merely told to go.
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(word->connected());
    EXPECT_EQ(errorOf([&] { word->get("Name"); }), "The document engine has quit");
}

TEST_F(AutomationTest, ReleasingTheLastObjectEndsTheProcess) {
    auto word = createObject("word.application", options);
    const pid_t pid = word->processId();
    auto documents = documentsOf(word);
    word.reset();
    // The collection still holds the connection, so the engine must still answer.
    EXPECT_FALSE(processGone(pid));
    EXPECT_EQ(std::get<std::int32_t>(documents->get("Count")), 0);
    documents.reset();
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(fs::exists(options.registryDir + "/" + std::to_string(pid) + ".sock"));
}

TEST_F(AutomationTest, EngineEndsWhenItsClientDies) {
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t client = fork();
    ASSERT_GE(client, 0);
    if (client == 0) {
        // A client that dies without releasing anything: no destructor runs.
        try {
            auto word = createObject("Word.Application", options);
            const pid_t engine = word->processId();
            [[maybe_unused]] ssize_t n = write(report[1], &engine, sizeof engine);
        } catch (...) {
        }
        _exit(0);
    }
    close(report[1]);
    pid_t engine = 0;
    ASSERT_EQ(read(report[0], &engine, sizeof engine), ssize_t(sizeof engine));
    close(report[0]);
    int status = 0;
    waitpid(client, &status, 0);

    // The engine is no longer our child, so it may linger as a zombie until its new parent reaps it.
    const std::string entry = options.registryDir + "/" + std::to_string(engine) + ".sock";
    auto ended = [&] {
        const std::string state = readFile("/proc/" + std::to_string(engine) + "/stat");
        return state.empty() || state.find(") Z") != std::string::npos;
    };
    for (int i = 0; i < 500 && (!ended() || fs::exists(entry)); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(ended());
    EXPECT_FALSE(fs::exists(entry));
}

TEST_F(AutomationTest, TerminationSignalRemovesTheRegistryEntry) {
    auto word = createObject("Word.Application", options);
    const pid_t pid = word->processId();
    const std::string entry = options.registryDir + "/" + std::to_string(pid) + ".sock";
    ASSERT_TRUE(fs::exists(entry));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(errorOf([&] { word->get("Name"); }), "The document engine stopped unexpectedly (signal 15, Terminated)");
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(word->connected());
}

TEST_F(AutomationTest, OnlyWordApplicationIsKnown) {
    EXPECT_EQ(errorOf([&] { createObject("Excel.Application", options); }), "Unknown class 'Excel.Application'");
    EXPECT_EQ(errorOf([&] { getObject("Excel.Application", options); }), "Unknown class 'Excel.Application'");
}

TEST_F(AutomationTest, UnknownMembersAndArgumentsAreNamed) {
    auto word = createObject("Word.Application", options);
    EXPECT_EQ(errorOf([&] { word->get("Foo"); }), "Unknown member 'Foo' of Application");
    EXPECT_EQ(errorOf([&] { word->call("Name", {std::int32_t(1)}); }), "Name takes no arguments");
    auto documents = documentsOf(word);
    EXPECT_EQ(errorOf([&] { documents->call("Open", {}, {{"Path", std::string("/x")}}); }),
              "Open has no argument named 'Path'");
    EXPECT_EQ(errorOf([&] { documents->call("Open", {std::int32_t(5)}); }),
              "Open expects a string for FileName, not an integer");
    EXPECT_EQ(errorOf([&] { documents->call("Open", {documents}); }), "An object cannot be passed to Open");
    EXPECT_EQ(errorOf([&] { documents->call("Item", {std::int32_t(1)}); }), "There is no document number 1; 0 are open");
    // The engine keeps answering after every refusal.
    EXPECT_EQ(word->defaultValue(), "Microsoft Word");
}

// --- Opening ------------------------------------------------------------------

TEST_F(AutomationTest, OpenFailuresSayWhichFileAndWhy) {
    auto word = createObject("Word.Application", options);
    auto documents = documentsOf(word);
    const std::string missing = temp / "missing.docx";
    const std::string empty = textFile("empty.docx", "");
    const std::string folder = temp / "folder.docx";
    fs::create_directory(folder);
    const std::string damaged = textFile("damaged.docx", std::string("PK\x03\x04\x14\0\0\0garbage", 16));

    EXPECT_EQ(errorOf([&] { documents->call("Open", {missing}); }),
              "Cannot open " + missing + ": No such file or directory.");
    EXPECT_EQ(errorOf([&] { documents->call("Open", {empty}); }), "Cannot open " + empty + ": The file is empty.");
    EXPECT_EQ(errorOf([&] { documents->call("Open", {folder}); }),
              "Cannot open " + folder + ": It is a folder, not a file.");
    const std::string damage = errorOf([&] { documents->call("Open", {damaged}); });
    EXPECT_EQ(damage.rfind("Cannot open " + damaged + ": ", 0), 0u) << damage;
    EXPECT_GT(damage.size(), ("Cannot open " + damaged + ": ").size() + 5) << damage;
    EXPECT_EQ(errorOf([&] { documents->call("Open"); }), "Open needs the path of a document");

    EXPECT_EQ(std::get<std::int32_t>(documents->get("Count")), 0);
}

TEST_F(AutomationTest, OpenAcceptsTheNameByPositionOrByName) {
    auto word = createObject("Word.Application", options);
    auto documents = documentsOf(word);
    const std::string path = textFile("letter.txt");
    auto first = asObject(documents->call("Open", {path}));
    auto second = asObject(documents->call("open", {}, {{"FILENAME", path}, {"ReadOnly", true}}));
    EXPECT_EQ(asString(first->get("Name")), "letter.txt");
    EXPECT_EQ(asString(second->get("FullName")), path);
    EXPECT_EQ(std::get<std::int32_t>(documents->get("Count")), 2);
    EXPECT_EQ(asString(asObject(documents->call("Item", {std::int32_t(2)}))->get("Name")), "letter.txt");

    EXPECT_TRUE(std::holds_alternative<std::monostate>(first->call("Close")));
    EXPECT_EQ(std::get<std::int32_t>(documents->get("Count")), 1);
    EXPECT_EQ(errorOf([&] { first->get("Name"); }), "The document letter.txt has been closed");
}

TEST_F(AutomationTest, MemoryLimitTurnsAHugeInputIntoAFailure) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer cannot run under an address-space limit";
#endif
    options.memoryLimitMb = 32;
    auto word = createObject("Word.Application", options);
    auto documents = documentsOf(word);
    const std::string big = textFile("big.txt", std::string(48u << 20, 'x'));
    EXPECT_EQ(errorOf([&] { documents->call("Open", {big}); }),
              "Cannot open " + big + ": The document needs more memory than the engine's limit of 32 MB.");
    // Out of memory is a failed call, not a dead engine.
    const std::string small = textFile("small.txt");
    auto document = asObject(documents->call("Open", {small}));
    EXPECT_EQ(asString(document->get("Name")), "small.txt");
}

// --- Saving -------------------------------------------------------------------

TEST_F(AutomationTest, SaveAsWritesRtfInPlaceOfAnEarlierFile) {
    auto word = createObject("Word.Application", options);
    auto document = asObject(documentsOf(word)->call("Open", {textFile("letter.txt")}));
    const std::string output = temp / "letter.rtf";
    writeFile(output, "an older file");
    chmod(output.c_str(), 0640);

    EXPECT_TRUE(std::holds_alternative<std::monostate>(document->call("SaveAs", {}, saveAsArguments(output))));
    const std::string rtf = readFile(output);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << rtf.substr(0, 40);
    EXPECT_TRUE(contains(rtf, "Second line"));
    struct stat st {};
    ASSERT_EQ(stat(output.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "a replaced file keeps its permissions";
    // Like Word, the document now goes by the name it was saved under.
    EXPECT_EQ(asString(document->get("FullName")), output);
    EXPECT_EQ(asString(document->get("Name")), "letter.rtf");

    // Positional arguments in their usual order work too.
    const std::string second = temp / "second.rtf";
    document->call("saveas", {second, std::int32_t(6)});
    EXPECT_EQ(readFile(second).rfind("{\\rtf1", 0), 0u);
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

TEST_F(AutomationTest, SaveAsRefusesWhatItCannotDo) {
    auto word = createObject("Word.Application", options);
    auto document = asObject(documentsOf(word)->call("Open", {textFile("letter.txt")}));
    const std::string output = temp / "out.rtf";

    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, saveAsArguments(output, 12)); }),
              "SaveAs supports only FileFormat 6 (RTF); 12 was given");
    auto withPassword = saveAsArguments(output);
    withPassword[3].value = std::string("secret");
    EXPECT_TRUE(contains(errorOf([&] { document->call("SaveAs", {}, withPassword); }), "passwords are not supported"));
    auto withBar = saveAsArguments(output);
    withBar.push_back({"Bar", true});
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, withBar); }), "SaveAs has no argument named 'Bar'");
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, {{"FileName", output}, {"FileFormat", std::string("6")}}); }),
              "SaveAs expects an integer for FileFormat, not a string");
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {output}, {{"FileName", output}}); }),
              "SaveAs was given the argument FileName twice");
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, {{"FileFormat", std::int32_t(6)}}); }),
              "SaveAs needs a file name (FileName)");
    EXPECT_EQ(errorOf([&] { document->get("Foo"); }), "Unknown member 'Foo' of Document");
    EXPECT_FALSE(fs::exists(output));
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

TEST_F(AutomationTest, SaveAsFailuresLeaveNoTemporaryAndKeepTheEarlierFile) {
    const std::string input = textFile("long.txt", std::string(20000, 'a') + "\n");
    const std::string output = temp / "out.rtf";
    writeFile(output, "earlier");

    // The engine inherits a file size limit, so its write fails half way.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    std::shared_ptr<Object> word;
    try {
        word = createObject("Word.Application", options);
    } catch (...) {
        setrlimit(RLIMIT_FSIZE, &saved);
        throw;
    }
    setrlimit(RLIMIT_FSIZE, &saved);

    auto document = asObject(documentsOf(word)->call("Open", {input}));
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, saveAsArguments(output)); }),
              "Cannot write " + output + ": File too large.");
    EXPECT_EQ(readFile(output), "earlier");

    const std::string intoMissing = temp / "no-such-folder/out.rtf";
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, saveAsArguments(intoMissing)); }),
              "Cannot write " + intoMissing + ": No such file or directory.");

    // The temporary is written, then cannot replace a folder: it must go again.
    const std::string folder = temp / "taken.rtf";
    fs::create_directory(folder);
    auto shortDocument = asObject(documentsOf(word)->call("Open", {textFile("short.txt", "short")}));
    EXPECT_EQ(errorOf([&] { shortDocument->call("SaveAs", {}, saveAsArguments(folder)); }),
              "Cannot write " + folder + ": It is a folder, not a file.");
    EXPECT_TRUE(fs::is_directory(folder));

    if (geteuid() != 0) {  // root writes into read-only folders regardless
        // A scratch folder of its own, so the listing below is the same for every user.
        TempDir lockedParent;
        const std::string locked = lockedParent / "locked";
        fs::create_directory(locked);
        writeFile(locked + "/out.rtf", "earlier");
        chmod(locked.c_str(), 0500);
        EXPECT_EQ(errorOf([&] { shortDocument->call("SaveAs", {}, saveAsArguments(locked + "/out.rtf")); }),
                  "Cannot write " + locked + "/out.rtf: Permission denied.");
        EXPECT_EQ(readFile(locked + "/out.rtf"), "earlier");
        EXPECT_TRUE(leftovers(locked).empty());
    }
    EXPECT_TRUE(leftovers(temp.path()).empty());
    const std::vector<std::string> expected = {"long.txt", "out.rtf", "registry", "short.txt", "taken.rtf"};
    EXPECT_EQ(listFolder(temp.path()), expected);
}

TEST_F(AutomationTest, SaveAsNeverReplacesAPipeOrADevice) {
    auto word = createObject("Word.Application", options);
    auto document = asObject(documentsOf(word)->call("Open", {textFile("letter.txt")}));
    const std::string fifo = temp / "pipe.rtf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, saveAsArguments(fifo)); }),
              "Cannot write " + fifo + ": It is a named pipe, not an ordinary file; only an ordinary file is replaced.");
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // Through a link the answer is the same: what the link points at decides.
    const std::string link = temp / "link.rtf";
    fs::create_symlink(fifo, link);
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, saveAsArguments(link)); }),
              "Cannot write " + link + ": It is a named pipe, not an ordinary file; only an ordinary file is replaced.");
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(leftovers(temp.path()).empty());
}

// --- An engine given up on in the middle of a save ----------------------------------

// With the engine's test switch on, a document that hangs in its save once the
// temporary holds it (see engine/server/TestFaults.h).
class GivenUpSaveTest : public AutomationTest {
protected:
    GivenUpSaveTest() {
        setenv("ORVANE_WORD_TEST_FAULTS", "1", 1);
        fs::create_directory(out);
        writeFile(output, "earlier");
        options.callTimeout = 1s;
    }
    ~GivenUpSaveTest() override { unsetenv("ORVANE_WORD_TEST_FAULTS"); }

    std::shared_ptr<Object> openHangingDocument(const std::shared_ptr<Object>& word) {
        return asObject(documentsOf(word)->call("Open", {textFile("hang.txt", "ORVANE-TEST-FAULT hang-in-save\n")}));
    }
    // Once the engine's temporary exists, does `action` to the engine, from another thread.
    std::thread whenSaving(pid_t engine, int signal) {
        return std::thread([this, engine, signal] {
            for (int i = 0; i < 500 && leftovers(out).empty(); ++i) std::this_thread::sleep_for(10ms);
            kill(engine, signal);
        });
    }
    void expectNothingLeft(pid_t engine) {
        EXPECT_TRUE(leftovers(out).empty());
        EXPECT_EQ(listFolder(out), std::vector<std::string>{"letter.rtf"});
        EXPECT_EQ(readFile(output), "earlier");
        EXPECT_TRUE(processGone(engine));
        EXPECT_FALSE(fs::exists(options.registryDir + "/" + std::to_string(engine) + ".sock"));
    }

    const std::string out = temp / "out";
    const std::string output = out + "/letter.rtf";
};

TEST_F(GivenUpSaveTest, AtTheTimeoutTheEngineRemovesItsTemporaryOnSigterm) {
    auto word = createObject("Word.Application", options);
    const pid_t engine = word->processId();
    auto document = openHangingDocument(word);
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, saveAsArguments(output)); }),
              "The document engine did not answer within 1 second and was stopped");
    expectNothingLeft(engine);
}

TEST_F(GivenUpSaveTest, AStoppedEngineIsKilledAndTheClientRemovesWhatItLeft) {
    auto word = createObject("Word.Application", options);
    const pid_t engine = word->processId();
    auto document = openHangingDocument(word);
    std::thread stopper = whenSaving(engine, SIGSTOP);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, saveAsArguments(output)); }),
              "The document engine did not answer within 1 second and was stopped");
    stopper.join();
    // The timeout, the grace after SIGTERM, and no more.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
    expectNothingLeft(engine);
}

TEST_F(GivenUpSaveTest, AnEngineKilledDuringASaveLeavesNothingEither) {
    options.callTimeout = 30s;
    auto word = createObject("Word.Application", options);
    const pid_t engine = word->processId();
    auto document = openHangingDocument(word);
    std::thread killer = whenSaving(engine, SIGKILL);
    EXPECT_EQ(errorOf([&] { document->call("SaveAs", {}, {{"FileName", output}}); }),
              "The document engine stopped unexpectedly (signal 9, Killed)");
    killer.join();
    expectNothingLeft(engine);
}

// --- Finding a running instance -----------------------------------------------

TEST_F(AutomationTest, GetObjectFindsARunningInstanceAndLeavesItRunning) {
    auto word = createObject("Word.Application", options);
    auto document = asObject(documentsOf(word)->call("Open", {textFile("letter.txt")}));

    auto found = getObject("Word.Application", options);
    EXPECT_EQ(found->defaultValue(), "Microsoft Word");
    EXPECT_EQ(found->processId(), word->processId());
    // Both connections see the same application.
    EXPECT_EQ(std::get<std::int32_t>(documentsOf(found)->get("Count")), 1);
    found.reset();

    EXPECT_TRUE(word->connected());
    EXPECT_EQ(asString(document->get("Name")), "letter.txt");
    word->call("Quit");
    EXPECT_EQ(errorOf([&] { getObject("Word.Application", options); }), "No running instance of Word.Application");
}

// A socket file whose listener is gone.
void leaveDeadSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

TEST_F(AutomationTest, GetObjectRemovesStaleEntries) {
    fs::create_directory(options.registryDir);
    chmod(options.registryDir.c_str(), 0700);
    // Under the pid of a live process (this one), so only the refused connection tells.
    const std::string refused = options.registryDir + "/" + std::to_string(getpid()) + ".sock";
    leaveDeadSocket(refused);
    // An entry of a process that no longer exists (beyond any pid the system hands out).
    const std::string dead = options.registryDir + "/999999999.sock";
    writeFile(dead, "");
    const std::string unrelated = options.registryDir + "/notes.txt";
    writeFile(unrelated, "");

    EXPECT_EQ(errorOf([&] { getObject("Word.Application", options); }), "No running instance of Word.Application");
    EXPECT_FALSE(fs::exists(refused));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(unrelated));

    // Behind a stale entry, the live one is still found. Entries are tried in pid
    // order, and pid 1 always exists, so this one is tried (and removed) first.
    const std::string first = options.registryDir + "/1.sock";
    leaveDeadSocket(first);
    auto word = createObject("Word.Application", options);
    EXPECT_EQ(getObject("Word.Application", options)->processId(), word->processId());
    EXPECT_FALSE(fs::exists(first));
}

TEST_F(AutomationTest, AStoppedOrSilentInstanceDoesNotMakeALookupWait) {
    auto word = createObject("Word.Application", options);
    const pid_t pid = word->processId();
    const std::string entry = options.registryDir + "/" + std::to_string(pid) + ".sock";
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    // A stop takes effect when the process is next scheduled; the lookup is what is timed.
    const std::string stat = "/proc/" + std::to_string(pid) + "/stat";
    for (int i = 0; i < 200 && readFile(stat).find(") T ") == std::string::npos; ++i) std::this_thread::sleep_for(5ms);
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { getObject("Word.Application", options); }), "No running instance of Word.Application");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 300ms);
    EXPECT_TRUE(fs::exists(entry)) << "a stopped instance is alive: its entry stays";
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    EXPECT_EQ(getObject("Word.Application", options)->processId(), pid);
    word->call("Quit");

    // One that listens and never greets (a hung instance of this very process) is given half a second.
    const std::string silent = options.registryDir + "/" + std::to_string(getpid()) + ".sock";
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, silent.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(fd, 4), 0);
    started = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { getObject("Word.Application", options); }), "No running instance of Word.Application");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1500ms);
    close(fd);
}

TEST_F(AutomationTest, GetObjectWithoutRegistryFindsNothing) {
    EXPECT_EQ(errorOf([&] { getObject("Word.Application", options); }), "No running instance of Word.Application");
}

// The protocol spoken by hand, as a client of another language would.
TEST_F(AutomationTest, RawProtocolOverTheRegistrySocket) {
    auto word = createObject("Word.Application", options);
    const std::string path = options.registryDir + "/" + std::to_string(word->processId()) + ".sock";
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    std::string pending;
    auto readLine = [&] {
        char c;
        std::string line;
        while (recv(fd, &c, 1, 0) == 1 && c != '\n') line += c;
        return line;
    };
    auto ask = [&](const std::string& line) {
        send(fd, (line + "\n").data(), line.size() + 1, MSG_NOSIGNAL);
        return readLine();
    };
    EXPECT_EQ(readLine(), "ORVANE-AUTOMATION 1");
    EXPECT_EQ(ask("GET\t0\t"), "OK\ts:Microsoft Word");
    EXPECT_EQ(ask("GET\t0\tDocuments"), "OK\to:1");
    EXPECT_EQ(ask("GET\t1\tcount"), "OK\ti:0");
    EXPECT_EQ(ask("RELEASE\t1"), "OK\tv:");
    EXPECT_EQ(ask("GET\t1\tCount"), "ERR\tThere is no object with the handle 1");
    EXPECT_EQ(ask("HELLO"), "ERR\tMalformed request%3A unknown request 'HELLO'");
    // A line beyond the limit gets one refusal; the next request is served as usual.
    const std::string huge = "GET\t0\t" + std::string(protocol::kMaxLineBytes + 10, 'x');
    send(fd, (huge + "\n").data(), huge.size() + 1, MSG_NOSIGNAL);
    EXPECT_EQ(readLine().substr(0, 80), "ERR\tThe request is longer than 1 MB");
    EXPECT_EQ(ask("GET\t0\tName"), "OK\ts:Microsoft Word");
    close(fd);
    EXPECT_EQ(word->defaultValue(), "Microsoft Word");
}

// --- Engines that misbehave -------------------------------------------------------

class FakeEngineTest : public AutomationTest {
protected:
    std::string engine(const std::string& body) { return writeScript(temp / "fake-engine", body); }

    // The pid a fake engine wrote down, for engines that never finish their greeting.
    pid_t recordedPid() {
        for (int i = 0; i < 200 && !fs::exists(temp / "pid"); ++i) std::this_thread::sleep_for(10ms);
        return static_cast<pid_t>(std::atol(readFile(temp / "pid").c_str()));
    }
};

TEST_F(FakeEngineTest, MissingEngineCannotStart) {
    options.enginePath = temp / "nowhere/orvane-word";
    EXPECT_EQ(errorOf([&] { createObject("Word.Application", options); }),
              "Cannot start the document engine " + options.enginePath + ": No such file or directory");
}

TEST_F(FakeEngineTest, CrashIsReportedAndReaped) {
    options.enginePath = engine("printf 'ORVANE-AUTOMATION 1\\n'\nread request\nkill -SEGV $$\n");
    auto word = createObject("Word.Application", options);
    const pid_t pid = word->processId();
    const std::string crash = "The document engine stopped unexpectedly (signal 11, Segmentation fault)";
    EXPECT_EQ(errorOf([&] { word->get("Documents"); }), crash);
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(word->connected());
    EXPECT_EQ(errorOf([&] { word->call("Quit"); }), crash);
}

TEST_F(FakeEngineTest, EngineThatExitsIsReported) {
    options.enginePath = engine("printf 'ORVANE-AUTOMATION 1\\n'\nread request\nexit 3\n");
    auto word = createObject("Word.Application", options);
    EXPECT_EQ(errorOf([&] { word->get("Name"); }), "The document engine stopped unexpectedly (exit status 3)");
    EXPECT_TRUE(processGone(word->processId()));
}

TEST_F(FakeEngineTest, HangingCallIsStoppedAtTheTimeout) {
    options.enginePath = engine("printf 'ORVANE-AUTOMATION 1\\n'\nread request\nexec sleep 60\n");
    options.callTimeout = 300ms;
    auto word = createObject("Word.Application", options);
    const pid_t pid = word->processId();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(errorOf([&] { word->get("Documents"); }),
              "The document engine did not answer within 0.3 seconds and was stopped");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_TRUE(processGone(pid));
}

TEST_F(FakeEngineTest, SilentEngineIsStoppedAtTheStartTimeout) {
    options.enginePath = engine("echo $$ > '" + (temp / "pid") + "'\nexec sleep 60\n");
    options.startTimeout = 300ms;
    EXPECT_EQ(errorOf([&] { createObject("Word.Application", options); }),
              "The document engine did not start within 0.3 seconds and was stopped");
    EXPECT_TRUE(processGone(recordedPid()));
}

TEST_F(FakeEngineTest, StrangeGreetingsAreRefused) {
    options.enginePath = engine("echo $$ > '" + (temp / "pid") + "'\necho 'Welcome!'\nexec sleep 60\n");
    EXPECT_EQ(errorOf([&] { createObject("Word.Application", options); }),
              "The document engine " + options.enginePath + " did not greet as expected: it said 'Welcome!'");
    EXPECT_TRUE(processGone(recordedPid()));

    fs::remove(temp / "pid");
    options.enginePath = engine("echo $$ > '" + (temp / "pid") + "'\necho 'ORVANE-AUTOMATION 2'\nexec sleep 60\n");
    EXPECT_EQ(errorOf([&] { createObject("Word.Application", options); }),
              "The document engine speaks version 2 of the automation protocol; this program needs version 1");
    EXPECT_TRUE(processGone(recordedPid()));
}

TEST_F(FakeEngineTest, EngineThatIgnoresTheEndOfItsInputIsKilled) {
    // It never reads stdin, so closing the connection alone would not end it.
    options.enginePath = engine("printf 'ORVANE-AUTOMATION 1\\n'\nexec sleep 60\n");
    auto word = createObject("Word.Application", options);
    const pid_t pid = word->processId();
    const auto started = std::chrono::steady_clock::now();
    word.reset();
    EXPECT_TRUE(processGone(pid));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST_F(FakeEngineTest, UnreadableReplyStopsTheEngine) {
    options.enginePath = engine("printf 'ORVANE-AUTOMATION 1\\n'\nread request\nprintf 'YES\\n'\nexec sleep 60\n");
    auto word = createObject("Word.Application", options);
    EXPECT_TRUE(contains(errorOf([&] { word->get("Name"); }), "reply this program does not understand"));
    EXPECT_TRUE(processGone(word->processId()));
}

}  // namespace
}  // namespace orvane::automation
