#include "odt/OdtXml.h"

#include "encoding/Encoding.h"
#include "xml/XmlNames.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace orvane::odt {

namespace {

// The namespaces the reader looks at, under the prefixes LibreOffice writes.
// The second "fo" and "svg" are what StarOffice-era producers declared.
constexpr std::array<xml::KnownNamespace, 22> kNamespaces{{
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

}  // namespace

bool parseXml(std::string name, std::string bytes, const ReadLimits& limits, xml::Part& out, std::string& error) {
    // Whitespace-only text matters inside paragraphs (the space between two
    // spans), so it is kept everywhere; the reader skips it between blocks.
    const xml::ParseOptions options{kNamespaces, limits.maxNesting, limits.maxXmlElements, true, "The file's "};
    return xml::parse(out, std::move(name), std::move(bytes), options, error);
}

std::string_view trim(std::string_view s) { return xml::trimBlanks(s); }

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
