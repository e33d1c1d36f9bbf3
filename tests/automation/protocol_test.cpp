// The wire format both ends share, and the registry folder rules.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "TestSupport.h"
#include "protocol/Protocol.h"
#include "protocol/Registry.h"

namespace orvane::protocol {
namespace {

using orvane::testing::TempDir;

TEST(PercentEncoding, EveryByteSurvivesAndNoFieldBreakerIsLeft) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
    const std::string encoded = percentEncode(all);
    for (const char c : {'\t', '\n', '\r', ':', '\0'}) EXPECT_EQ(encoded.find(c), std::string::npos) << int(c);
    EXPECT_EQ(percentDecode(encoded), all);
    // UTF-8 travels as it is, so paths stay readable in a trace.
    EXPECT_EQ(percentEncode("/tmp/Überschrift – 1.docx"), "/tmp/Überschrift – 1.docx");
    EXPECT_EQ(percentEncode("a%b:c"), "a%25b%3Ac");
}

TEST(PercentEncoding, BrokenEscapesAreRejected) {
    for (const char* broken : {"%", "%4", "abc%", "%zz", "%4g"}) EXPECT_FALSE(percentDecode(broken)) << broken;
    EXPECT_EQ(percentDecode("%4a%4A"), "JJ");
}

TEST(Requests, RoundTripEveryKindOfArgument) {
    Request request;
    request.verb = Verb::Call;
    request.handle = 7;
    request.member = "SaveAs";
    request.arguments = {{{}, std::string("/x/a\tb:c.rtf")},
                         {{}, std::int32_t(-6)},
                         {"Lock:Comments", true},
                         {"Password", std::string()},
                         {"Flag", false},
                         {"Nothing", WireValue{}}};
    const std::string line = formatRequest(request);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto parsed = parseRequest(line);
    ASSERT_TRUE(parsed.value) << parsed.error;
    EXPECT_EQ(parsed.value->verb, Verb::Call);
    EXPECT_EQ(parsed.value->handle, 7);
    EXPECT_EQ(parsed.value->member, "SaveAs");
    ASSERT_EQ(parsed.value->arguments.size(), request.arguments.size());
    for (std::size_t i = 0; i < request.arguments.size(); ++i) {
        EXPECT_EQ(parsed.value->arguments[i].name, request.arguments[i].name);
        EXPECT_EQ(parsed.value->arguments[i].value, request.arguments[i].value);
    }
    // The default member is an empty name.
    const auto get = parseRequest("GET\t0\t");
    ASSERT_TRUE(get.value);
    EXPECT_EQ(get.value->member, "");
    EXPECT_EQ(formatRequest({Verb::Release, 12, {}, {}}), "RELEASE\t12");
}

TEST(Requests, MalformedLinesAreExplained) {
    const std::pair<const char*, const char*> cases[] = {
        {"FETCH\t0\tName", "unknown request"},
        {"GET\tzero\tName", "not an object handle"},
        {"GET\t-1\tName", "not an object handle"},
        {"GET\t99999999999\tName", "not an object handle"},
        {"GET\t0", "names no member"},
        {"GET\t0\tName\tp:i:1", "GET takes no arguments"},
        {"CALL\t0\tOpen\tx:s:a", "begins with p: or n:"},
        {"CALL\t0\tOpen\tp:o:1", "objects cannot be passed"},
        {"CALL\t0\tOpen\tp:b:yes", "Boolean is 1 or 0"},
        {"CALL\t0\tOpen\tp:i:12x", "not a 32-bit integer"},
        {"CALL\t0\tOpen\tp:s:%zz", "broken %-escape"},
        {"CALL\t0\tOpen\tn::s:a", "needs a name"},
        {"RELEASE\t3\textra", "only a handle"},
    };
    for (const auto& [line, expected] : cases) {
        const auto parsed = parseRequest(line);
        EXPECT_FALSE(parsed.value) << line;
        EXPECT_NE(parsed.error.find(expected), std::string::npos) << line << " -> " << parsed.error;
    }
}

TEST(Replies, RoundTripValuesAndErrors) {
    for (const WireValue& value : {WireValue{}, WireValue{true}, WireValue{std::int32_t(-2147483647 - 1)},
                                   WireValue{std::string("Microsoft Word")}, WireValue{Handle{42}}}) {
        const auto parsed = parseReply(formatReply(Reply::success(value)));
        ASSERT_TRUE(parsed.value) << parsed.error;
        EXPECT_TRUE(parsed.value->ok);
        EXPECT_EQ(parsed.value->value, value);
    }
    const std::string text = "Cannot open /x/a.docx:\nline two\t%";
    const std::string line = formatReply(Reply::failure(text));
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto parsed = parseReply(line);
    ASSERT_TRUE(parsed.value);
    EXPECT_FALSE(parsed.value->ok);
    EXPECT_EQ(parsed.value->error, text);
    for (const char* broken : {"OK", "OK\tq:1", "MAYBE\ts:a", "OK\to:-1", "OK\tv:x"}) EXPECT_FALSE(parseReply(broken).value) << broken;
}

TEST(Greeting, OnlyTheGreetingGivesAVersion) {
    EXPECT_EQ(parseGreeting(greeting()), kVersion);
    EXPECT_EQ(parseGreeting("ORVANE-AUTOMATION 2"), 2);
    EXPECT_FALSE(parseGreeting("ORVANE-AUTOMATION"));
    EXPECT_FALSE(parseGreeting("ORVANE-AUTOMATION one"));
    EXPECT_FALSE(parseGreeting("HTTP/1.1 200 OK"));
}

TEST(Names, CompareWithoutCase) {
    EXPECT_TRUE(equalsIgnoreCase("SaveAs", "saveas"));
    EXPECT_TRUE(equalsIgnoreCase("FILEFORMAT", "FileFormat"));
    EXPECT_FALSE(equalsIgnoreCase("SaveAs", "SaveAs2"));
    EXPECT_FALSE(equalsIgnoreCase("Name", "Nam"));
}

TEST(Registry, SocketNamesCarryThePid) {
    EXPECT_EQ(socketFileName(1234), "1234.sock");
    EXPECT_EQ(pidFromSocketFileName("1234.sock"), 1234);
    for (const char* other : {"1234.sock.new", ".sock", "0123.sock", "12a.sock", "-1.sock", "1234.socket", "notes.txt"})
        EXPECT_FALSE(pidFromSocketFileName(other)) << other;
}

TEST(Registry, FolderIsCreatedPrivateAndStrangersAreRefused) {
    TempDir temp;
    const std::string folder = temp / "registry";
    const RegistryFolder made = prepareRegistryFolder(folder);
    ASSERT_TRUE(made.ok()) << made.error;
    EXPECT_EQ(made.path, folder);
    EXPECT_TRUE(isPrivateFolder(folder));

    // One that others can enter is closed again.
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    EXPECT_TRUE(prepareRegistryFolder(folder).ok());
    EXPECT_TRUE(isPrivateFolder(folder));

    const std::string file = temp / "file";
    orvane::testing::writeFile(file, "x");
    EXPECT_FALSE(prepareRegistryFolder(file).ok());

    // A link in place of the folder could lead anywhere.
    const std::string link = temp / "link";
    ASSERT_EQ(symlink(folder.c_str(), link.c_str()), 0);
    EXPECT_FALSE(prepareRegistryFolder(link).ok());

    if (geteuid() == 0) {
        // Only root can hand a folder to someone else to see that it is refused.
        const std::string foreign = temp / "foreign";
        ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
        const RegistryFolder refused = prepareRegistryFolder(foreign);
        EXPECT_FALSE(refused.ok());
        EXPECT_NE(refused.error.find("belongs to another user"), std::string::npos) << refused.error;
        EXPECT_FALSE(isPrivateFolder(foreign));
    }
}

TEST(Registry, RuntimeFolderIsUsedWhenUsable) {
    TempDir temp;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";
    const std::string fallback = "/tmp/orvane-word-" + std::to_string(getuid());

    setenv("XDG_RUNTIME_DIR", temp.path().c_str(), 1);
    EXPECT_EQ(prepareRegistryFolder("").path, temp / "orvane-word");
    EXPECT_EQ(registryFoldersToSearch(""), (std::vector<std::string>{temp / "orvane-word", fallback}));

    setenv("XDG_RUNTIME_DIR", "relative/run", 1);
    EXPECT_EQ(registryFoldersToSearch(""), std::vector<std::string>{fallback});
    setenv("XDG_RUNTIME_DIR", (temp / "missing").c_str(), 1);
    EXPECT_EQ(registryFoldersToSearch(""), std::vector<std::string>{fallback});

    EXPECT_EQ(registryFoldersToSearch("/elsewhere"), std::vector<std::string>{"/elsewhere"});
    if (saved)
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace orvane::protocol
