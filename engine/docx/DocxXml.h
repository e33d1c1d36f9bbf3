// Parsing one XML part of a package, plus the small attribute helpers of the
// WordprocessingML reader.
//
// Every element and attribute name is rewritten to the conventional prefix of
// its namespace ("w:", "a:", "wp:", ...), so the reader can compare plain names
// even when a producer declared its own prefixes or a default namespace.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "reader/Reader.h"
#include "xml/XmlPart.h"

namespace orvane::docx {


// Parses `bytes` (taken over) as the XML of part `name`. On failure returns
// false with `error` set to a message for the user; `refuse` is set when the
// failure must stop the whole document (a DOCTYPE, excessive nesting), not
// just this part.
bool parseXmlPart(std::string name, std::string bytes, const ReadLimits& limits, xml::Part& out,
                  std::string& error, bool* refuse = nullptr);

// The local part of a qualified name ("w:p" -> "p").
inline std::string_view localName(const char* qname) {
    std::string_view s(qname);
    const auto colon = s.find(':');
    return colon == std::string_view::npos ? s : s.substr(colon + 1);
}

inline bool isName(pugi::xml_node node, std::string_view qname) {
    return qname == node.name();
}

// w:val and friends.
inline const char* attr(pugi::xml_node node, const char* name) {
    return node.attribute(name).value();
}

// ST_OnOff: absent element -> nullopt; element without w:val -> true.
std::optional<bool> onOff(pugi::xml_node element);
// An on/off attribute value ("1", "true", "on" / "0", "false", "off").
std::optional<bool> parseOnOff(std::string_view value);

// Integers, tolerant of surrounding blanks; nullopt when not a number.
std::optional<long long> parseInteger(std::string_view value);
// A length in twips: a plain number is twips; "12pt", "1in", "2.5cm", "10mm",
// "3pc" and "1pi" are converted (strict documents write those).
std::optional<int> parseTwips(std::string_view value);
// A plain number of the given unit attribute, nullopt when absent/bad.
std::optional<int> intAttr(pugi::xml_node node, const char* name);
std::optional<int> twipsAttr(pugi::xml_node node, const char* name);
// Hexadecimal ("FF00AA") -> value, nullopt when bad.
std::optional<unsigned long> parseHex(std::string_view value);

// Clamps a 64-bit value into a model field.
inline int clampInt(long long v, long long lo, long long hi) {
    return static_cast<int>(v < lo ? lo : (v > hi ? hi : v));
}

}  // namespace orvane::docx
