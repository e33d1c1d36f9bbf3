#include "xml/XmlNames.h"

#include <string>
#include <vector>

namespace orvane::xml {

namespace {

const KnownNamespace* knownByUri(Namespaces known, std::string_view uri) {
    for (const KnownNamespace& ns : known) {
        if (ns.uri == uri) return &ns;
    }
    return nullptr;
}

// A prefix the reader compares names under. (Unprefixed names are never
// taken for a known namespace's, so "" does not count.)
bool isKnownPrefix(Namespaces known, std::string_view prefix) {
    if (prefix.empty()) return false;
    for (const KnownNamespace& ns : known) {
        if (ns.prefix == prefix) return true;
    }
    return false;
}

bool declarationNeedsRewrite(Namespaces known, std::string_view prefix, std::string_view uri) {
    if (const KnownNamespace* ns = knownByUri(known, uri)) return ns->prefix != prefix;
    // A foreign namespace under a prefix the reader relies on would be taken
    // for the known one.
    return isKnownPrefix(known, prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

struct Binding {
    int depth;
    std::string prefix;
    std::string conventional;  // what names under `prefix` are renamed to
};

const std::string* lookup(const std::vector<Binding>& scope, std::string_view prefix) {
    for (auto it = scope.rbegin(); it != scope.rend(); ++it) {
        if (it->prefix == prefix) return &it->conventional;
    }
    return nullptr;
}

// Renames `qname` under the bindings in scope; false when it stays as it is.
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
    const std::string* conventional = lookup(scope, prefix);
    if (!conventional || *conventional == prefix) return false;
    out.clear();
    if (!conventional->empty()) {
        out.append(*conventional);
        out.push_back(':');
    }
    out.append(local);
    return true;
}

void collectDeclarations(Namespaces known, pugi::xml_node element, int depth, std::vector<Binding>& scope) {
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view n = a.name();
        if (n.substr(0, 5) != "xmlns") continue;
        std::string_view prefix;
        if (n.size() > 5) {
            if (n[5] != ':') continue;
            prefix = n.substr(6);
        }
        std::string conventional;
        if (const KnownNamespace* ns = knownByUri(known, a.value())) {
            conventional = std::string(ns->prefix);
        } else if (isKnownPrefix(known, prefix)) {
            conventional = "_" + std::string(prefix);  // kept apart from the known one
        } else {
            conventional = std::string(prefix);
        }
        scope.push_back({depth, std::string(prefix), std::move(conventional)});
    }
}

}  // namespace

bool needsPrefixRewrite(std::string_view raw, Namespaces known) {
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
        if (declarationNeedsRewrite(known, prefix, raw.substr(pos, end - pos))) return true;
        pos = end + 1;
    }
    return false;
}

bool walkTree(pugi::xml_document& doc, Namespaces known, bool rewrite, int maxDepth) {
    std::vector<Binding> scope;
    std::string renamed;
    pugi::xml_node node = doc.document_element();
    int depth = 1;
    while (node) {
        if (node.type() == pugi::node_element) {
            if (depth > maxDepth) return false;
            if (rewrite) {
                while (!scope.empty() && scope.back().depth >= depth) scope.pop_back();
                collectDeclarations(known, node, depth, scope);
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

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace orvane::xml
