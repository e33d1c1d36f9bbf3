#include "Protocol.h"

#include <charconv>

namespace orvane::protocol {

namespace {

constexpr std::string_view kGreetingWord = "ORVANE-AUTOMATION ";

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

template <typename Int>
std::optional<Int> parseInt(std::string_view text) {
    Int value{};
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "<t>:<value>" for one value; objects only where the caller allows them.
std::string formatValue(const WireValue& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "v:"; }
        std::string operator()(bool b) const { return b ? "b:1" : "b:0"; }
        std::string operator()(std::int32_t i) const { return "i:" + std::to_string(i); }
        std::string operator()(const std::string& s) const { return "s:" + percentEncode(s); }
        std::string operator()(Handle h) const { return "o:" + std::to_string(h.id); }
    };
    return std::visit(Visitor{}, value);
}

Parsed<WireValue> parseValue(std::string_view text, bool allowObjects) {
    if (text.size() < 2 || text[1] != ':') return {std::nullopt, "a value must look like <type>:<value>"};
    const char type = text[0];
    const std::string_view body = text.substr(2);
    switch (type) {
    case 'v':
        if (!body.empty()) return {std::nullopt, "the type v carries no value"};
        return {WireValue{}, {}};
    case 'b':
        if (body == "1") return {WireValue{true}, {}};
        if (body == "0") return {WireValue{false}, {}};
        return {std::nullopt, "a Boolean is 1 or 0"};
    case 'i':
        if (auto i = parseInt<std::int32_t>(body)) return {WireValue{*i}, {}};
        return {std::nullopt, "not a 32-bit integer: " + std::string(body)};
    case 's':
        if (auto s = percentDecode(body)) return {WireValue{std::move(*s)}, {}};
        return {std::nullopt, "a string has a broken %-escape"};
    case 'o':
        if (!allowObjects) return {std::nullopt, "objects cannot be passed as arguments"};
        if (auto i = parseInt<std::int32_t>(body); i && *i >= 0) return {WireValue{Handle{*i}}, {}};
        return {std::nullopt, "not an object handle: " + std::string(body)};
    default:
        return {std::nullopt, std::string("unknown type '") + type + "'"};
    }
}

Parsed<Argument> parseArgument(std::string_view text) {
    if (text.starts_with("p:")) {
        auto value = parseValue(text.substr(2), false);
        if (!value.value) return {std::nullopt, value.error};
        return {Argument{{}, std::move(*value.value)}, {}};
    }
    if (text.starts_with("n:")) {
        const std::string_view rest = text.substr(2);
        const std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos) return {std::nullopt, "a named argument must look like n:<name>:<type>:<value>"};
        auto name = percentDecode(rest.substr(0, colon));
        if (!name || name->empty()) return {std::nullopt, "a named argument needs a name"};
        auto value = parseValue(rest.substr(colon + 1), false);
        if (!value.value) return {std::nullopt, value.error};
        return {Argument{std::move(*name), std::move(*value.value)}, {}};
    }
    return {std::nullopt, "an argument begins with p: or n:"};
}

}  // namespace

std::string greeting() { return std::string(kGreetingWord) + std::to_string(kVersion); }

std::optional<int> parseGreeting(std::string_view line) {
    if (!line.starts_with(kGreetingWord)) return std::nullopt;
    return parseInt<int>(line.substr(kGreetingWord.size()));
}

std::string percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%' || c == ':') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexDigit(text[i + 1]);
        const int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

const char* describeType(const WireValue& value) {
    switch (value.index()) {
    case 0: return "nothing";
    case 1: return "a Boolean";
    case 2: return "an integer";
    case 3: return "a string";
    default: return "an object";
    }
}

std::string formatRequest(const Request& request) {
    std::string line;
    switch (request.verb) {
    case Verb::Get: line = "GET"; break;
    case Verb::Call: line = "CALL"; break;
    case Verb::Release: line = "RELEASE"; break;
    }
    line += '\t';
    line += std::to_string(request.handle);
    if (request.verb == Verb::Release) return line;
    line += '\t';
    line += percentEncode(request.member);
    for (const Argument& argument : request.arguments) {
        line += '\t';
        if (argument.name.empty()) {
            line += "p:";
        } else {
            line += "n:";
            line += percentEncode(argument.name);
            line += ':';
        }
        line += formatValue(argument.value);
    }
    return line;
}

std::string formatReply(const Reply& reply) {
    if (reply.ok) return "OK\t" + formatValue(reply.value);
    return "ERR\t" + percentEncode(reply.error);
}

Parsed<Request> parseRequest(std::string_view line) {
    const std::vector<std::string_view> fields = splitTabs(line);
    Request request;
    if (fields[0] == "GET") {
        request.verb = Verb::Get;
    } else if (fields[0] == "CALL") {
        request.verb = Verb::Call;
    } else if (fields[0] == "RELEASE") {
        request.verb = Verb::Release;
    } else {
        return {std::nullopt, "unknown request '" + std::string(fields[0].substr(0, 40)) + "'"};
    }
    if (fields.size() < 2) return {std::nullopt, "the request names no object"};
    const auto handle = parseInt<std::int32_t>(fields[1]);
    if (!handle || *handle < 0) return {std::nullopt, "not an object handle: " + std::string(fields[1].substr(0, 40))};
    request.handle = *handle;
    if (request.verb == Verb::Release) {
        if (fields.size() != 2) return {std::nullopt, "RELEASE takes only a handle"};
        return {std::move(request), {}};
    }
    if (fields.size() < 3) return {std::nullopt, "the request names no member"};
    auto member = percentDecode(fields[2]);
    if (!member) return {std::nullopt, "the member name has a broken %-escape"};
    request.member = std::move(*member);
    if (request.verb == Verb::Get && fields.size() != 3) return {std::nullopt, "GET takes no arguments"};
    for (std::size_t i = 3; i < fields.size(); ++i) {
        auto argument = parseArgument(fields[i]);
        if (!argument.value) return {std::nullopt, "argument " + std::to_string(i - 2) + ": " + argument.error};
        request.arguments.push_back(std::move(*argument.value));
    }
    return {std::move(request), {}};
}

Parsed<Reply> parseReply(std::string_view line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return {std::nullopt, "a reply is OK or ERR, a tab and a value"};
    const std::string_view kind = line.substr(0, tab);
    const std::string_view body = line.substr(tab + 1);
    if (kind == "OK") {
        auto value = parseValue(body, true);
        if (!value.value) return {std::nullopt, value.error};
        return {Reply::success(std::move(*value.value)), {}};
    }
    if (kind == "ERR") {
        auto text = percentDecode(body);
        if (!text) return {std::nullopt, "the error text has a broken %-escape"};
        return {Reply::failure(std::move(*text)), {}};
    }
    return {std::nullopt, "a reply is OK or ERR, a tab and a value"};
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}  // namespace orvane::protocol
