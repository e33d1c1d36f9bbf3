#include "docx/DocxXml.h"

#include "xml/XmlNames.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace orvane::docx {

namespace {

// The namespaces the readers look at, with the prefixes Word itself writes.
constexpr std::array<xml::KnownNamespace, 33> kNamespaces{{
    {"http://schemas.openxmlformats.org/wordprocessingml/2006/main", "w"},
    {"http://purl.oclc.org/ooxml/wordprocessingml/main", "w"},
    {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", "r"},
    {"http://purl.oclc.org/ooxml/officeDocument/relationships", "r"},
    {"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing", "wp"},
    {"http://purl.oclc.org/ooxml/drawingml/wordprocessingDrawing", "wp"},
    {"http://schemas.openxmlformats.org/drawingml/2006/main", "a"},
    {"http://purl.oclc.org/ooxml/drawingml/main", "a"},
    {"http://schemas.openxmlformats.org/drawingml/2006/picture", "pic"},
    {"http://purl.oclc.org/ooxml/drawingml/picture", "pic"},
    {"http://schemas.openxmlformats.org/officeDocument/2006/math", "m"},
    {"http://purl.oclc.org/ooxml/officeDocument/math", "m"},
    {"http://schemas.openxmlformats.org/markup-compatibility/2006", "mc"},
    {"http://schemas.microsoft.com/office/word/2010/wordprocessingShape", "wps"},
    {"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup", "wpg"},
    {"http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas", "wpc"},
    {"http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing", "wp14"},
    {"http://schemas.microsoft.com/office/word/2010/wordml", "w14"},
    {"http://schemas.microsoft.com/office/word/2012/wordml", "w15"},
    {"http://schemas.microsoft.com/office/word/2006/wordml", "wne"},
    {"http://schemas.microsoft.com/office/drawing/2010/main", "a14"},
    {"http://schemas.microsoft.com/office/drawing/2016/SVG/main", "asvg"},
    {"urn:schemas-microsoft-com:vml", "v"},
    {"urn:schemas-microsoft-com:office:office", "o"},
    {"urn:schemas-microsoft-com:office:word", "w10"},
    {"http://schemas.openxmlformats.org/package/2006/relationships", ""},
    {"http://schemas.openxmlformats.org/package/2006/content-types", ""},
    {"http://schemas.openxmlformats.org/package/2006/metadata/core-properties", "cp"},
    {"http://purl.org/dc/elements/1.1/", "dc"},
    {"http://purl.org/dc/terms/", "dcterms"},
    {"http://schemas.openxmlformats.org/drawingml/2006/chart", "c"},
    {"http://purl.oclc.org/ooxml/drawingml/chart", "c"},
    {"http://schemas.openxmlformats.org/officeDocument/2006/sharedTypes", "s"},
}};

}  // namespace

bool parseXmlPart(std::string name, std::string bytes, const ReadLimits& limits, xml::Part& out,
                  std::string& error, bool* refuse) {
    const xml::ParseOptions options{kNamespaces, limits.maxNesting, limits.maxXmlElements, false, "The package part "};
    return xml::parse(out, std::move(name), std::move(bytes), options, error, refuse);
}

std::optional<bool> parseOnOff(std::string_view v) {
    if (v == "1" || v == "true" || v == "on" || v == "True" || v == "TRUE") return true;
    if (v == "0" || v == "false" || v == "off" || v == "False" || v == "FALSE" || v == "none")
        return false;
    return std::nullopt;
}

std::optional<bool> onOff(pugi::xml_node element) {
    if (!element) return std::nullopt;
    pugi::xml_attribute val = element.attribute("w:val");
    if (!val) return true;
    if (auto b = parseOnOff(val.value())) return b;
    return true;
}

namespace {
std::string_view trim(std::string_view s) { return xml::trimBlanks(s); }
}  // namespace

std::optional<long long> parseInteger(std::string_view value) {
    std::string_view s = trim(value);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    long long v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range) return std::nullopt;
    if (ec != std::errc()) return std::nullopt;
    if (ptr != s.data() + s.size()) {
        // Some producers write decimals where integers belong ("720.0"):
        // take the integral part.
        if (*ptr != '.') return std::nullopt;
    }
    return v;
}

std::optional<int> parseTwips(std::string_view value) {
    std::string_view s = trim(value);
    if (s.empty()) return std::nullopt;
    double factor = 1.0;
    auto endsWith = [&](std::string_view suffix) {
        return s.size() > suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
    };
    if (endsWith("pt")) factor = 20.0;
    else if (endsWith("in")) factor = 1440.0;
    else if (endsWith("cm")) factor = 1440.0 / 2.54;
    else if (endsWith("mm")) factor = 1440.0 / 25.4;
    else if (endsWith("pc") || endsWith("pi")) factor = 240.0;
    if (factor != 1.0) {
        s.remove_suffix(2);
        std::string number(trim(s));
        char* end = nullptr;
        const double v = std::strtod(number.c_str(), &end);
        if (end == number.c_str() || !std::isfinite(v)) return std::nullopt;
        return clampInt(std::llround(std::clamp(v * factor, -1e9, 1e9)), -100000000, 100000000);
    }
    auto v = parseInteger(s);
    if (!v) return std::nullopt;
    return clampInt(*v, -100000000, 100000000);
}

std::optional<int> intAttr(pugi::xml_node node, const char* name) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) return std::nullopt;
    auto v = parseInteger(a.value());
    if (!v) return std::nullopt;
    return clampInt(*v, -1000000000, 1000000000);
}

std::optional<int> twipsAttr(pugi::xml_node node, const char* name) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) return std::nullopt;
    return parseTwips(a.value());
}

std::optional<unsigned long> parseHex(std::string_view value) {
    std::string_view s = trim(value);
    if (s.empty() || s.size() > 8) return std::nullopt;
    unsigned long v = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

}  // namespace orvane::docx
