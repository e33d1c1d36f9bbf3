// The docx reader over packages whose parts are the input as text: the document
// part, then (after a NUL byte) the styles, then the numbering. Mutations reach
// the reader's XML handling instead of breaking the archive.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Engine.h"
#include "StoredZip.h"
#include "docx/DocxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = orvane::fuzzing::splitAtNul(std::string_view(reinterpret_cast<const char*>(data), size), 3);
    constexpr const char* kTypes =
        "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
    constexpr const char* kRels =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
        "officeDocument\" Target=\"word/document.xml\"/></Relationships>";
    constexpr const char* kDocumentRels =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
        "Target=\"styles.xml\"/><Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
        "2006/relationships/numbering\" Target=\"numbering.xml\"/></Relationships>";
    std::vector<std::pair<std::string, std::string>> members = {
        {"[Content_Types].xml", kTypes}, {"_rels/.rels", kRels}, {"word/_rels/document.xml.rels", kDocumentRels},
        {"word/document.xml", parts[0]}};
    if (parts.size() > 1) members.emplace_back("word/styles.xml", parts[1]);
    if (parts.size() > 2) members.emplace_back("word/numbering.xml", parts[2]);
    return orvane::fuzzing::readAndWrite(orvane::fuzzing::storedZip(members), orvane::readDocx);
}
