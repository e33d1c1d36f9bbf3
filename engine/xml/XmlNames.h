// What the XML readers (Office Open XML, OpenDocument) share once a stream is
// parsed: names rewritten to one conventional prefix per namespace, so that
// the readers compare plain names ("w:p", "text:p") whatever prefixes a
// producer declared, and a bound on the nesting depth, checked without
// recursion so that a hostile file cannot exhaust the stack.
#pragma once

#include <span>
#include <string_view>

#include <pugixml.hpp>

namespace orvane::xml {

// A namespace a reader looks at, and the prefix it compares names under
// ("" for names without one).
struct KnownNamespace {
    std::string_view uri;
    std::string_view prefix;
};
using Namespaces = std::span<const KnownNamespace>;

// A quick look at the raw bytes: does any namespace declaration bind a prefix
// other than the conventional one (or a foreign namespace under a prefix the
// reader relies on)? Almost every producer writes the usual prefixes, and then
// the renaming walk can be skipped. UTF-16 text always answers yes.
bool needsPrefixRewrite(std::string_view raw, Namespaces known);

// Walks the whole tree once: false when an element is nested deeper than
// `maxDepth`. With `rewrite`, every element and attribute name is renamed to
// its namespace's conventional prefix; an unknown namespace declared under a
// known prefix is kept apart as "_prefix".
bool walkTree(pugi::xml_document& doc, Namespaces known, bool rewrite, int maxDepth);

// `s` without the XML blanks (space, tab, CR, LF) around it.
std::string_view trimBlanks(std::string_view s);

}  // namespace orvane::xml
