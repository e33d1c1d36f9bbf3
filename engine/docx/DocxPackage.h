// The Open Packaging layer of a .docx: parts, their content types and the
// relationships between them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "docx/DocxXml.h"
#include "zip/ZipArchive.h"

namespace orvane::docx {

struct Relationship {
    std::string id;
    std::string type;    // full relationship type URI
    std::string target;     // resolved part name, or the URI as written when external
    std::string rawTarget;  // as written (hyperlinks some producers do not mark external)
    bool external = false;
};

// The relationships of one part.
class Relationships {
public:
    void add(Relationship r);
    const Relationship* byId(std::string_view id) const;
    // The first relationship whose type ends in "/<kind>" (transitional and
    // strict type URIs differ only before the last segment).
    const Relationship* byKind(std::string_view kind) const;
    const std::vector<Relationship>& all() const { return m_list; }

private:
    std::vector<Relationship> m_list;
    std::unordered_map<std::string, std::size_t> m_byId;
};

// Whether a relationship type URI ends in "/<kind>".
bool relationshipIs(std::string_view type, std::string_view kind);

// "word/document.xml" + "media/a.png" -> "word/media/a.png"; handles "../",
// absolute targets and %-escapes.
std::string resolvePartName(std::string_view sourcePart, std::string_view target);

class Package {
public:
    // Opens the ZIP container and reads [Content_Types].xml. Null with `error`
    // set when the bytes are no readable package.
    static std::unique_ptr<Package> open(std::string_view bytes, const ReadLimits& limits,
                                         std::string& error);

    zip::ZipArchive& zip() { return *m_zip; }
    const ReadLimits& limits() const { return m_limits; }

    // The content type of a part ("" when unknown).
    std::string contentType(std::string_view partName) const;
    bool hasPart(std::string_view partName) const { return m_zip->contains(partName); }

    // Reads and parses an XML part. Null with `error` set on failure.
    std::unique_ptr<xml::Part> readXml(std::string_view partName, std::string& error);
    // Set once a failure means the whole file must be refused (size limits,
    // DOCTYPE, nesting), as opposed to one damaged part that can be skipped.
    bool refused() const { return m_refused || m_zip->limitHit(); }
    // Raw bytes of a part; false with `error` set on failure.
    bool readBytes(std::string_view partName, std::string& out, std::string& error);

    // The relationships of a part ("" for the package itself). A missing
    // relationships part is no error: it means no relationships.
    // Throws nothing; a damaged relationships part also yields an empty set and
    // a note in `warning`.
    const Relationships& relationships(std::string_view partName, std::string& warning);

private:
    Package() = default;

    std::unique_ptr<zip::ZipArchive> m_zip;
    ReadLimits m_limits;
    std::map<std::string, std::string> m_defaults;   // extension (lower case) -> type
    std::map<std::string, std::string> m_overrides;  // part name (lower case, no '/') -> type
    std::map<std::string, Relationships> m_rels;
    bool m_refused = false;
};

}  // namespace orvane::docx
