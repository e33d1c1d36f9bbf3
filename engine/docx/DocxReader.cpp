#include "docx/DocxReader.h"

#include <cstring>
#include <new>

#include "docx/DocxConverter.h"
#include "docx/DocxPackage.h"

namespace orvane {

namespace {

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

// Names what a package that holds no word-processing document is instead.
std::string notAWordDocument(docx::Package& pkg, std::string_view mainType) {
    if (contains(mainType, "spreadsheetml") || contains(mainType, "ms-excel"))
        return "The file is an Office Open XML package but holds a spreadsheet (.xlsx), not a "
               "word-processing document";
    if (contains(mainType, "presentationml") || contains(mainType, "ms-powerpoint"))
        return "The file is an Office Open XML package but holds a presentation (.pptx), not a "
               "word-processing document";
    if (!mainType.empty())
        return "The file is an Office Open XML package but holds no word-processing document (" +
               std::string(mainType) + ")";
    if (pkg.hasPart("mimetype")) {
        std::string type;
        std::string error;
        if (pkg.readBytes("mimetype", type, error)) {
            if (type.size() > 200) type.resize(200);
            if (contains(type, "opendocument.text"))
                return "The file is an OpenDocument text (.odt), not an Office Open XML document";
            if (contains(type, "opendocument"))
                return "The file is an OpenDocument file (" + type + "), not a word-processing "
                       "document Orvane reads as .docx";
            if (contains(type, "epub")) return "The file is an EPUB book, not a Word document";
        }
    }
    return "The file is a ZIP archive but not an Office Open XML document (no main document part)";
}

bool isWordType(std::string_view type) {
    return contains(type, "wordprocessingml") || contains(type, "ms-word");
}

}  // namespace

ReadResult readDocx(std::string_view bytes, const ReadLimits& limits) {
    ReadResult result;
    try {
        if (bytes.empty()) return ReadResult::failure("The file is empty");
        if (bytes.size() >= 8 && std::memcmp(bytes.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
            return ReadResult::failure(
                "The file is an OLE compound file (an encrypted document or a legacy Word file), "
                "not an Office Open XML package");

        std::string error;
        std::unique_ptr<docx::Package> pkg = docx::Package::open(bytes, limits, error);
        if (!pkg) return ReadResult::failure(error);

        std::string warning;
        const docx::Relationships& rels = pkg->relationships("", warning);
        if (pkg->refused()) return ReadResult::failure(warning);
        std::string mainPart;
        if (const docx::Relationship* rel = rels.byKind("officeDocument"); rel && !rel->external)
            mainPart = rel->target;
        if (mainPart.empty() && pkg->hasPart("word/document.xml")) mainPart = "word/document.xml";
        if (mainPart.empty()) return ReadResult::failure(notAWordDocument(*pkg, {}));

        const std::string mainType = pkg->contentType(mainPart);
        if (!mainType.empty() && !isWordType(mainType))
            return ReadResult::failure(notAWordDocument(*pkg, mainType));
        if (!pkg->hasPart(mainPart))
            return ReadResult::failure("The file is damaged: its main document part (" + mainPart +
                                       ") is missing");
        if (!warning.empty()) result.warnings.push_back(warning);

        docx::DocxConverter converter(*pkg, mainPart, result.warnings);
        result.document = converter.convert();
        return result;
    } catch (const docx::DocxError& e) {
        return ReadResult::failure(e.what());
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("Not enough memory to read the file");
    } catch (const std::exception& e) {
        return ReadResult::failure(std::string("The file could not be read: ") + e.what());
    }
}

namespace {
// A package that is not OpenDocument (whose first member, "mimetype", says
// what it is) with a word/ folder or content types: the reader itself says
// when it turns out to be a workbook or a slide show.
bool recognisesDocx(const Probe& probe) {
    return probe.container == Container::Zip && probe.firstMember != "mimetype" &&
           (probe.holdsUnder("word/") || probe.holds("[Content_Types].xml"));
}
}  // namespace

const ReaderInfo kDocxReader{InputFormat::Docx, &recognisesDocx, &readDocx};

}  // namespace orvane
