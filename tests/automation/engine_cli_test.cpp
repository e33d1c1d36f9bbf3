// orvane-word --to-rtf, the way scripts and benchmarks use it.
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include "TestSupport.h"

namespace orvane::testing {
namespace {

const std::string kEngine = ORVANE_WORD_PATH;

bool isRtf(const std::string& path) { return readFile(path).rfind("{\\rtf1", 0) == 0; }

TEST(EngineCommandLine, ConvertsEveryGoodFileAndReportsEachBadOneOnItsOwnLine) {
    TempDir temp;
    writeFile(temp / "a.txt", "First document.\n");
    writeFile(temp / "c.txt", "Third document.\n");
    writeFile(temp / "empty.txt", "");
    fs::create_directory(temp / "folder.txt");
    writeFile(temp / "c.rtf", "an older file");

    const ProgramResult result =
        runProgram({kEngine, "--to-rtf", temp / "a.txt", temp / "a.rtf", temp / "missing.txt", temp / "b.rtf",
                    temp / "c.txt", temp / "c.rtf", temp / "empty.txt", temp / "e.rtf", temp / "folder.txt",
                    temp / "f.rtf", temp / "a.txt", temp / "no-folder/a.rtf"},
                   temp.path());

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "orvane-word: " + (temp / "missing.txt") + ": No such file or directory.\n" +
                              "orvane-word: " + (temp / "empty.txt") + ": The file is empty.\n" +
                              "orvane-word: " + (temp / "folder.txt") + ": It is a folder, not a file.\n" +
                              "orvane-word: " + (temp / "no-folder/a.rtf") + ": No such file or directory.\n");
    EXPECT_TRUE(isRtf(temp / "a.rtf"));
    EXPECT_TRUE(isRtf(temp / "c.rtf"));
    EXPECT_FALSE(fs::exists(temp / "b.rtf"));
    EXPECT_FALSE(fs::exists(temp / "e.rtf"));
    EXPECT_FALSE(fs::exists(temp / "f.rtf"));
    EXPECT_EQ(listFolder(temp.path()), (std::vector<std::string>{"a.rtf", "a.txt", "c.rtf", "c.txt", "empty.txt",
                                                                 "folder.txt"}));
}

TEST(EngineCommandLine, AllGoodMeansExitZeroAndSilence) {
    TempDir temp;
    writeFile(temp / "-a.txt", "Dash at the front.\n");
    writeFile(temp / "b.txt", "Second.\n");
    const ProgramResult result =
        runProgram({kEngine, "--to-rtf", temp / "-a.txt", temp / "-a.rtf", temp / "b.txt", temp / "b.rtf"}, temp.path());
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(isRtf(temp / "-a.rtf"));
    EXPECT_TRUE(isRtf(temp / "b.rtf"));
}

// A failure stays one line whatever the file's name holds: control characters
// and backslashes are escaped, so a name with a newline cannot pass for two
// failures.
TEST(EngineCommandLine, AFailureIsOneLineWhateverTheNameHolds) {
    TempDir temp;
    const std::string odd = temp / "two\nlines\\ and\ta tab.txt";
    writeFile(odd, "");
    const ProgramResult result = runProgram({kEngine, "--to-rtf", odd, temp / "out.rtf"}, temp.path());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, "orvane-word: " + (temp / "two\\nlines\\\\ and\\ta tab.txt") + ": The file is empty.\n");
}

// Renaming over a device node or a pipe would put a regular file in its place
// (as root, an output of /dev/null replaced the real one): only regular files are replaced.
TEST(EngineCommandLine, AnOutputThatIsADeviceOrAPipeIsRefusedAndLeftAsItWas) {
    TempDir temp;
    writeFile(temp / "in.txt", "Some text.\n");
    const std::string fifo = temp / "pipe.rtf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> arguments = {kEngine, "--to-rtf", temp / "in.txt", fifo};
    std::string expected = "orvane-word: " + fifo + ": It is a named pipe, not an ordinary file; only an ordinary file is replaced.\n";
    const std::string device = temp / "null.rtf";
    // Only root may make a device node; a copy of /dev/null's, never the real one.
    const bool root = geteuid() == 0 && mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (root) {
        fs::create_symlink(device, temp / "to-device.rtf");
        arguments.insert(arguments.end(), {temp / "in.txt", device, temp / "in.txt", temp / "to-device.rtf"});
        expected += "orvane-word: " + device + ": It is a device, not an ordinary file; only an ordinary file is replaced.\n" +
                    "orvane-word: " + (temp / "to-device.rtf") +
                    ": It is a device, not an ordinary file; only an ordinary file is replaced.\n";
    }
    const ProgramResult result = runProgram(arguments, temp.path());
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err, expected);
    struct stat st {};
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (root) {
        ASSERT_EQ(lstat(device.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
        EXPECT_EQ(st.st_rdev, makedev(1, 3));
        EXPECT_TRUE(fs::is_symlink(temp / "to-device.rtf"));
    }
    for (const std::string& name : listFolder(temp.path())) EXPECT_NE(name.rfind(".orvane-word-", 0), 0u) << name;
}

TEST(EngineCommandLine, UsageMistakesConvertNothing) {
    TempDir temp;
    writeFile(temp / "a.txt", "text");
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {kEngine},
             {kEngine, "--to-rtf"},
             {kEngine, "--to-rtf", temp / "a.txt"},
             {kEngine, "--to-rtf", temp / "a.txt", temp / "a.rtf", temp / "a.txt"},
             {kEngine, "--frobnicate"},
             {kEngine, "--memory-limit-mb", "lots", "--to-rtf", temp / "a.txt", temp / "a.rtf"}}) {
        const ProgramResult result = runProgram(arguments, temp.path());
        EXPECT_EQ(result.exitStatus, 2) << arguments.size();
        EXPECT_EQ(result.err.rfind("orvane-word: ", 0), 0u) << result.err;
        EXPECT_FALSE(fs::exists(temp / "a.rtf"));
    }
    const ProgramResult version = runProgram({kEngine, "--version"}, temp.path());
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("orvane-word ", 0), 0u);
    const ProgramResult help = runProgram({kEngine, "--help"}, temp.path());
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("--to-rtf"), std::string::npos);
}

}  // namespace
}  // namespace orvane::testing
