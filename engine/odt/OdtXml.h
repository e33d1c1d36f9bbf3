// Parsing the XML streams of an OpenDocument file, and the value parsers the
// OpenDocument reader shares (lengths, colours, percentages).
//
// Element and attribute names are rewritten to the prefixes LibreOffice writes
// ("text:", "style:", "fo:", ...), so the reader compares plain names even when
// a producer bound its own prefixes. A DOCTYPE is refused (no entities of any
// kind are expanded), and so is nesting deeper than the limits allow.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "reader/Reader.h"
#include "xml/XmlPart.h"
#include "model/Document.h"

namespace orvane::odt {


// Parses `bytes` (taken over). On failure returns false with `error` set to a
// message for the user.
bool parseXml(std::string name, std::string bytes, const ReadLimits& limits, xml::Part& out,
              std::string& error);

inline bool is(pugi::xml_node node, std::string_view qname) { return qname == node.name(); }
inline std::string_view attr(pugi::xml_node node, const char* name) {
    return node.attribute(name).value();
}

std::string_view trim(std::string_view s);

// A length ("2.5cm", "10mm", "1in", "12pt", "3pc", "96px") in twips. A bare
// number counts as points. Nullopt for anything else (percentages included).
std::optional<int> parseLength(std::string_view value);
std::optional<int> lengthAttr(pugi::xml_node node, const char* name);
// "75%" -> 75.0; nullopt when not a percentage.
std::optional<double> parsePercent(std::string_view value);
// "#RRGGBB" (or "#RGB") -> 0xRRGGBB.
std::optional<model::Rgb> parseColor(std::string_view value);
// A plain integer, nullopt when not one.
std::optional<long long> parseInteger(std::string_view value);
// A plain decimal number, nullopt when not one.
std::optional<double> parseNumber(std::string_view value);

// "2024-11-27T18:42:34.403636470" -> "2024-11-27T18:42:34" (a trailing "Z"
// kept); a bare date stays a date; anything else gives "".
std::string isoDate(std::string_view value);

// Style names encode characters outside XML names as "_xx_" hex ("Heading_20_1");
// the name a user sees has them decoded ("Heading 1").
std::string decodeStyleName(std::string_view name);

}  // namespace orvane::odt
