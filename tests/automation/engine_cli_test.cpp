// orvane-word --to-rtf, the way scripts and benchmarks use it.
#include <gtest/gtest.h>

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
    EXPECT_EQ(result.err, "orvane-word: " + (temp / "missing.txt") + ": No such file or directory\n" +
                              "orvane-word: " + (temp / "empty.txt") + ": The file is empty.\n" +
                              "orvane-word: " + (temp / "folder.txt") + ": It is a folder, not a file.\n" +
                              "orvane-word: " + (temp / "no-folder/a.rtf") + ": No such file or directory\n");
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
