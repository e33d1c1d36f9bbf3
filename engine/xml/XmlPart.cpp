#include "xml/XmlPart.h"

#include <cstring>

namespace orvane::xml {

namespace {

// How many element start tags the text holds, counted up to `bound` + 1.
std::size_t countElements(std::string_view text, std::size_t bound) {
    std::size_t count = 0;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (count <= bound) {
        at = static_cast<const char*>(std::memchr(at, '<', static_cast<std::size_t>(end - at)));
        if (!at || ++at == end) break;
        if (*at != '/' && *at != '!' && *at != '?') ++count;
    }
    return count;
}

}  // namespace

bool parse(Part& out, std::string name, std::string bytes, const ParseOptions& options, std::string& error,
           bool* refused) {
    out.name = std::move(name);
    out.text = std::move(bytes);
    if (countElements(out.text, options.maxElements) > options.maxElements) {
        const std::size_t n = options.maxElements;
        error = "The document is too large to convert: " + out.name + " holds more than " +
                (n >= 1000000 && n % 1000000 == 0 ? std::to_string(n / 1000000) + " million" : std::to_string(n)) +
                " XML elements";
        if (refused) *refused = true;
        return false;
    }
    const bool rewrite = needsPrefixRewrite(out.text, options.known);
    const unsigned flags = pugi::parse_default | pugi::parse_doctype |
                           (options.keepBlankText ? pugi::parse_ws_pcdata : pugi::parse_ws_pcdata_single);
    const pugi::xml_parse_result parsed =
        out.doc.load_buffer_inplace(out.text.data(), out.text.size(), flags, pugi::encoding_auto);
    const std::string subject = std::string(options.subject) + out.name;
    if (!parsed) {
        error = subject + " is not well-formed XML (" + parsed.description() + " at byte " +
                std::to_string(parsed.offset) + ")";
        return false;
    }
    for (pugi::xml_node n = out.doc.first_child(); n; n = n.next_sibling()) {
        if (n.type() == pugi::node_doctype) {
            error = "The file declares XML entities (a DOCTYPE in " + out.name + "), which Orvane does not read";
            if (refused) *refused = true;
            return false;
        }
    }
    if (!out.doc.document_element()) {
        error = subject + " holds no XML element";
        return false;
    }
    if (!walkTree(out.doc, options.known, rewrite, options.maxNesting)) {
        error = subject + " is nested more than " + std::to_string(options.maxNesting) + " levels deep";
        if (refused) *refused = true;
        return false;
    }
    return true;
}

}  // namespace orvane::xml
