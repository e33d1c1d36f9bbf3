#include "odt/OdtXml.h"

#include "model/Encoding.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace orvane::odt {

namespace {

struct KnownNamespace {
    std::string_view uri;
    std::string_view prefix;
};

// The namespaces the reader looks at, under the prefixes LibreOffice writes.
// The second "fo" and "svg" are what StarOffice-era producers declared.
constexpr std::array<KnownNamespace, 22> kNamespaces{{
    {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", "office"},
    {"urn:oasis:names:tc:opendocument:xmlns:style:1.0", "style"},
    {"urn:oasis:names:tc:opendocument:xmlns:text:1.0", "text"},
    {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", "table"},
    {"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", "draw"},
    {"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0", "fo"},
    {"http://www.w3.org/1999/XSL/Format", "fo"},
    {"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0", "svg"},
    {"http://www.w3.org/2000/svg", "svg"},
    {"http://www.w3.org/1999/xlink", "xlink"},
    {"http://purl.org/dc/elements/1.1/", "dc"},
    {"urn:oasis:names:tc:opendocument:xmlns:meta:1.0", "meta"},
    {"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0", "number"},
    {"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0", "manifest"},
    {"urn:oasis:names:tc:opendocument:xmlns:form:1.0", "form"},
    {"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0", "presentation"},
    {"urn:oasis:names:tc:opendocument:xmlns:chart:1.0", "chart"},
    {"urn:oasis:names:tc:opendocument:xmlns:config:1.0", "config"},
    {"urn:org:documentfoundation:names:experimental:office:xmlns:loext:1.0", "loext"},
    {"http://openoffice.org/2009/office", "officeooo"},
    {"http://www.w3.org/1998/Math/MathML", "math"},
    {"http://www.w3.org/XML/1998/namespace", "xml"},
}};

const KnownNamespace* knownByUri(std::string_view uri) {
    for (const auto& ns : kNamespaces) {
        if (ns.uri == uri) return &ns;
    }
    return nullptr;
}

bool isKnownPrefix(std::string_view prefix) {
    for (const auto& ns : kNamespaces) {
        if (ns.prefix == prefix) return true;
    }
    return false;
}

bool declarationNeedsRewrite(std::string_view prefix, std::string_view uri) {
    if (const KnownNamespace* ns = knownByUri(uri)) return ns->prefix != prefix;
    // A foreign namespace under a prefix the reader relies on would be taken
    // for the known one.
    return isKnownPrefix(prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A look at the raw bytes: does any declaration bind a prefix other than the
// usual one? Nearly every file uses LibreOffice's prefixes, and then the
// renaming walk is skipped.
bool needsPrefixRewrite(std::string_view raw) {
    if (raw.size() >= 2 && (raw[0] == '\0' || raw[1] == '\0' ||
                            (static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) ||
                            (static_cast<unsigned char>(raw[0]) == 0xFE && static_cast<unsigned char>(raw[1]) == 0xFF))) {
        return true;  // UTF-16: this scan cannot see the declarations
    }
    std::size_t pos = 0;
    while ((pos = raw.find("xmlns", pos)) != std::string_view::npos) {
        pos += 5;
        std::string_view prefix;
        if (pos < raw.size() && raw[pos] == ':') {
            const std::size_t start = ++pos;
            while (pos < raw.size() && raw[pos] != '=' && !isBlank(raw[pos]) && raw[pos] != '>') ++pos;
            prefix = raw.substr(start, pos - start);
        }
        while (pos < raw.size() && isBlank(raw[pos])) ++pos;
        if (pos >= raw.size() || raw[pos] != '=') continue;
        ++pos;
        while (pos < raw.size() && isBlank(raw[pos])) ++pos;
        if (pos >= raw.size() || (raw[pos] != '"' && raw[pos] != '\'')) continue;
        const char quote = raw[pos++];
        const std::size_t end = raw.find(quote, pos);
        if (end == std::string_view::npos) return true;
        if (declarationNeedsRewrite(prefix, raw.substr(pos, end - pos))) return true;
        pos = end + 1;
    }
    return false;
}

struct Binding {
    int depth;
    std::string prefix;
    std::string usual;  // what names under `prefix` become
};

const std::string* lookup(const std::vector<Binding>& scope, std::string_view prefix) {
    for (auto it = scope.rbegin(); it != scope.rend(); ++it) {
        if (it->prefix == prefix) return &it->usual;
    }
    return nullptr;
}

bool rewriteName(const std::vector<Binding>& scope, std::string_view qname, bool isAttribute, std::string& out) {
    const auto colon = qname.find(':');
    std::string_view prefix;
    std::string_view local = qname;
    if (colon != std::string_view::npos) {
        prefix = qname.substr(0, colon);
        local = qname.substr(colon + 1);
    } else if (isAttribute) {
        return false;  // unprefixed attributes belong to no namespace
    }
    if (prefix == "xml" || prefix == "xmlns") return false;
    const std::string* usual = lookup(scope, prefix);
    if (!usual || *usual == prefix) return false;
    out.clear();
    if (!usual->empty()) {
        out.append(*usual);
        out.push_back(':');
    }
    out.append(local);
    return true;
}

void collectDeclarations(pugi::xml_node element, int depth, std::vector<Binding>& scope) {
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n = a.name();
        if (n.substr(0, 5) != "xmlns") continue;
        std::string_view prefix;
        if (n.size() > 5) {
            if (n[5] != ':') continue;
            prefix = n.substr(6);
        }
        std::string usual;
        if (const KnownNamespace* ns = knownByUri(a.value())) {
            usual = std::string(ns->prefix);
        } else if (isKnownPrefix(prefix)) {
            usual = "_" + std::string(prefix);  // kept apart from the known one
        } else {
            usual = std::string(prefix);
        }
        scope.push_back({depth, std::string(prefix), std::move(usual)});
    }
}

// One iterative walk: bounds the depth and, when asked, renames prefixes.
// Iterative, so that a hostile file cannot exhaust the stack here.
bool walkTree(pugi::xml_document& doc, bool rewrite, int maxDepth) {
    std::vector<Binding> scope;
    std::string renamed;
    pugi::xml_node node = doc.document_element();
    int depth = 1;
    while (node) {
        if (node.type() == pugi::node_element) {
            if (depth > maxDepth) return false;
            if (rewrite) {
                while (!scope.empty() && scope.back().depth >= depth) scope.pop_back();
                collectDeclarations(node, depth, scope);
                if (rewriteName(scope, node.name(), false, renamed)) node.set_name(renamed.c_str());
                for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
                    if (rewriteName(scope, a.name(), true, renamed)) a.set_name(renamed.c_str());
                }
            }
            if (pugi::xml_node child = node.first_child()) {
                node = child;
                ++depth;
                continue;
            }
        }
        while (node && !node.next_sibling()) {
            node = node.parent();
            --depth;
            if (depth <= 0) return true;
        }
        if (node) node = node.next_sibling();
    }
    return true;
}

}  // namespace

bool parseXml(std::string name, std::string bytes, const ReadLimits& limits, XmlStream& out, std::string& error) {
    out.name = std::move(name);
    out.text = std::move(bytes);
    const bool rewrite = needsPrefixRewrite(out.text);
    // Whitespace-only text matters inside paragraphs (the space between two
    // spans), so it is kept everywhere; the reader skips it between blocks.
    const unsigned flags = pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_doctype;
    const pugi::xml_parse_result parsed =
        out.doc.load_buffer_inplace(out.text.data(), out.text.size(), flags, pugi::encoding_auto);
    if (!parsed) {
        error = "The file's " + out.name + " is not well-formed XML (" + parsed.description() + " at byte " +
                std::to_string(parsed.offset) + ")";
        return false;
    }
    for (pugi::xml_node n = out.doc.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype) {
            error = "The file declares XML entities (a DOCTYPE in " + out.name + "), which Orvane does not read";
            return false;
        }
    }
    if (!out.doc.document_element()) {
        error = "The file's " + out.name + " holds no XML element";
        return false;
    }
    if (!walkTree(out.doc, rewrite, limits.maxNesting)) {
        error = "The file's " + out.name + " is nested more than " + std::to_string(limits.maxNesting) +
                " levels deep";
        return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<double> parseNumber(std::string_view value) {
    const std::string_view s = trim(value);
    if (s.empty() || s.size() > 64) return std::nullopt;
    const std::string text(s);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<long long> parseInteger(std::string_view value) {
    std::string_view s = trim(value);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    long long v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<int> parseLength(std::string_view value) {
    std::string_view s = trim(value);
    std::size_t unitAt = s.size();
    while (unitAt > 0 && ((s[unitAt - 1] >= 'a' && s[unitAt - 1] <= 'z') || (s[unitAt - 1] >= 'A' && s[unitAt - 1] <= 'Z')))
        --unitAt;
    const std::string_view unit = s.substr(unitAt);
    double factor = 0;
    if (unit == "cm") factor = 1440.0 / 2.54;
    else if (unit == "mm") factor = 1440.0 / 25.4;
    else if (unit == "in" || unit == "inch") factor = 1440.0;
    else if (unit == "pt" || unit.empty()) factor = 20.0;
    else if (unit == "pc" || unit == "pi") factor = 240.0;
    else if (unit == "px") factor = 15.0;
    else if (unit == "twip") factor = 1.0;
    else return std::nullopt;
    const auto number = parseNumber(s.substr(0, unitAt));
    if (!number) return std::nullopt;
    const double twips = std::clamp(*number * factor, -1.0e8, 1.0e8);
    return static_cast<int>(std::lround(twips));
}

std::optional<int> lengthAttr(pugi::xml_node node, const char* name) {
    const pugi::xml_attribute a = node.attribute(name);
    if (!a) return std::nullopt;
    return parseLength(a.value());
}

std::optional<double> parsePercent(std::string_view value) {
    std::string_view s = trim(value);
    if (s.empty() || s.back() != '%') return std::nullopt;
    s.remove_suffix(1);
    return parseNumber(s);
}

std::optional<model::Rgb> parseColor(std::string_view value) {
    std::string_view s = trim(value);
    if (s.empty() || s.front() != '#') return std::nullopt;
    s.remove_prefix(1);
    unsigned long v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    if (s.size() == 6) return static_cast<model::Rgb>(v);
    if (s.size() == 3) {
        const unsigned long r = (v >> 8) & 0xF, g = (v >> 4) & 0xF, b = v & 0xF;
        return static_cast<model::Rgb>((r * 17) << 16 | (g * 17) << 8 | b * 17);
    }
    return std::nullopt;
}

std::string isoDate(std::string_view v) {
    v = trim(v);
    const auto digits = [&](std::size_t from, std::size_t count) {
        if (v.size() < from + count) return false;
        for (std::size_t i = from; i < from + count; ++i) {
            if (v[i] < '0' || v[i] > '9') return false;
        }
        return true;
    };
    if (!digits(0, 4) || v.size() < 10 || v[4] != '-' || !digits(5, 2) || v[7] != '-' || !digits(8, 2)) return {};
    if (v.size() >= 19 && v[10] == 'T' && digits(11, 2) && v[13] == ':' && digits(14, 2) && v[16] == ':' &&
        digits(17, 2)) {
        std::string out(v.substr(0, 19));
        if (v.back() == 'Z') out.push_back('Z');
        return out;
    }
    return std::string(v.substr(0, 10));
}

std::string decodeStyleName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '_') {
            const std::size_t close = name.find('_', i + 1);
            if (close != std::string_view::npos && close > i + 1 && close - i - 1 <= 6) {
                const std::string_view hex = name.substr(i + 1, close - i - 1);
                unsigned long cp = 0;
                const auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), cp, 16);
                if (ec == std::errc() && ptr == hex.data() + hex.size() && cp >= 0x20 && cp <= 0x10FFFF &&
                    !(cp >= 0xD800 && cp <= 0xDFFF)) {
                    encoding::appendUtf8(out, static_cast<char32_t>(cp));
                    i = close;
                    continue;
                }
            }
        }
        out.push_back(name[i]);
    }
    return out;
}

}  // namespace orvane::odt
