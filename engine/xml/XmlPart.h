// One parsed XML stream of a package (a .docx part, an OpenDocument member):
// its bytes and the tree pugixml builds over them in place.
//
// Parsing refuses a DOCTYPE (no entities of any kind are expanded) and
// nesting deeper than the caller allows, and renames every element and
// attribute to its namespace's conventional prefix (XmlNames.h). The readers
// bring their own namespace tables and value parsers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "xml/XmlNames.h"

namespace orvane::xml {

// Not movable: pugixml points into `text`.
struct Part {
    Part() = default;
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    std::string name;  // the member name ("word/document.xml", "content.xml"), for messages
    std::string text;  // the bytes; pugixml parses them in place
    pugi::xml_document doc;
    pugi::xml_node root() const { return doc.document_element(); }
};

struct ParseOptions {
    Namespaces known;           // the namespaces the reader compares names under
    int maxNesting = 200;       // deepest element nesting accepted
    std::size_t maxElements = 10u * 1000 * 1000;  // most elements one stream may hold
    bool keepBlankText = false; // keep text that is only blanks everywhere, not just as an element's only child
    std::string_view subject;   // how messages name the stream, before its name: "The package part "
};

// Parses `bytes` (taken over) as the XML of `name`. On failure returns false
// with `error` set to a message for the user; `refused` is set when the file
// must be refused as a whole (a DOCTYPE, excessive nesting, more elements than
// allowed), not just this stream. The elements are counted before the tree is
// built, so a small archive that inflates into millions of them fails at once
// instead of after its tree has taken gigabytes.
bool parse(Part& out, std::string name, std::string bytes, const ParseOptions& options, std::string& error,
           bool* refused = nullptr);

}  // namespace orvane::xml
