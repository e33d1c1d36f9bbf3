// The automation protocol between orvane-word and its clients: one request line,
// one reply line, tab-separated fields, strings percent-encoded. Shared by the
// server and the client library so both sides spell every line the same way.
// engine/README.md describes the protocol for people; this is its only code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane::protocol {

inline constexpr int kVersion = 1;

// Longest line either side accepts; a document's path is the longest thing a
// request carries, a description the longest thing a reply carries.
inline constexpr std::size_t kMaxLineBytes = 1024 * 1024;

// The first line the server writes: "ORVANE-AUTOMATION 1".
std::string greeting();
// The protocol version a greeting announces; nullopt for anything that is not a greeting.
std::optional<int> parseGreeting(std::string_view line);

// Escapes '%', ':', tab, CR, LF and every other control byte as %XX; other
// bytes (UTF-8 included) travel as they are.
std::string percentEncode(std::string_view text);
// nullopt for a '%' that is not followed by two hexadecimal digits.
std::optional<std::string> percentDecode(std::string_view text);

struct Handle {
    std::int32_t id = 0;
    bool operator==(const Handle&) const = default;
};

// What travels: nothing (v), a Boolean (b), a 32-bit integer (i), a string (s),
// an object handle (o). Arguments are never objects.
using WireValue = std::variant<std::monostate, bool, std::int32_t, std::string, Handle>;

// "a string", "an integer", ...: for messages about a value of the wrong kind.
const char* describeType(const WireValue& value);

struct Argument {
    std::string name;  // empty: positional
    WireValue value;
};

enum class Verb { Get, Call, Release };

struct Request {
    Verb verb = Verb::Get;
    std::int32_t handle = 0;
    std::string member;              // empty: the default member
    std::vector<Argument> arguments; // positional ones in order; CALL only
};

struct Reply {
    bool ok = true;
    WireValue value;    // when ok
    std::string error;  // when not ok
    static Reply success(WireValue v) { return Reply{true, std::move(v), {}}; }
    static Reply failure(std::string message) { return Reply{false, {}, std::move(message)}; }
};

// Formats without the trailing newline.
std::string formatRequest(const Request& request);
std::string formatReply(const Reply& reply);

// A parsed line, or why it could not be parsed.
template <typename T>
struct Parsed {
    std::optional<T> value;
    std::string error;
};

Parsed<Request> parseRequest(std::string_view line);
Parsed<Reply> parseReply(std::string_view line);

// Member and argument names compare without regard to ASCII letter case.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace orvane::protocol
