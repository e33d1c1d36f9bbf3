#include "odt/OdtReader.h"

#include <memory>
#include <new>

#include "zip/ZipArchive.h"
#include "odt/OdtConverter.h"
#include "odt/OdtXml.h"

namespace orvane {

namespace {

using odt::OdtError;


bool contains(std::string_view haystack, std::string_view needle) { return haystack.find(needle) != std::string_view::npos; }

// What an OpenDocument file that is not a text is instead.
std::string notText(std::string_view mimetype) {
    if (contains(mimetype, "opendocument.spreadsheet"))
        return "The file is an OpenDocument spreadsheet (.ods), not a text document";
    if (contains(mimetype, "opendocument.presentation"))
        return "The file is an OpenDocument presentation (.odp), not a text document";
    if (contains(mimetype, "opendocument.graphics"))
        return "The file is an OpenDocument drawing (.odg), not a text document";
    if (contains(mimetype, "opendocument")) return "The file is an OpenDocument file (" + std::string(mimetype) + "), not a text document";
    return "The file is a ZIP archive of type " + std::string(mimetype) + ", not an OpenDocument text";
}

bool isTextType(std::string_view mimetype) {
    return mimetype.starts_with("application/vnd.oasis.opendocument.text");
}

ReadResult readPackage(std::string_view bytes, const ReadLimits& limits) {
    std::string error;
    std::unique_ptr<zip::ZipArchive> zip = zip::ZipArchive::open(bytes, limits, error);
    if (!zip) return ReadResult::failure(error);

    if (zip->contains("mimetype")) {
        std::string mimetype;
        if (!zip->read("mimetype", mimetype, error)) {
            if (zip->limitHit()) return ReadResult::failure(error);
        } else {
            const std::string_view type = odt::trim(mimetype);
            if (!isTextType(type)) return ReadResult::failure(notText(type.substr(0, 120)));
        }
    }
    if (zip->contains("META-INF/manifest.xml")) {
        std::string manifest;
        if (zip->read("META-INF/manifest.xml", manifest, error) && contains(manifest, "encryption-data"))
            return ReadResult::failure("The file is encrypted with a password.");
        if (zip->limitHit()) return ReadResult::failure(error);
    }
    if (!zip->contains("content.xml")) {
        if (zip->contains("word/document.xml"))
            return ReadResult::failure("The file is an Office Open XML document, not an OpenDocument text");
        return ReadResult::failure("The file is damaged: its content (content.xml) is missing");
    }

    ReadResult result;
    auto readStream = [&](const char* name, xml::Part& stream, bool required) -> bool {
        std::string bytesOf;
        std::string why;
        if (!zip->read(name, bytesOf, why)) {
            if (zip->limitHit() || required) throw OdtError(why);
            result.warnings.push_back(why + "; the document was read without it");
            return false;
        }
        if (!odt::parseXml(name, std::move(bytesOf), limits, stream, why)) {
            // A DOCTYPE or runaway nesting refuses the whole file, wherever it is.
            if (required || contains(why, "DOCTYPE") || contains(why, "nested")) throw OdtError(why);
            result.warnings.push_back(why + "; the document was read without it");
            return false;
        }
        return true;
    };

    xml::Part content, styles, meta, settings;
    readStream("content.xml", content, true);
    if (std::string_view(content.root().name()) != "office:document-content")
        return ReadResult::failure("The file is damaged: its content.xml is not OpenDocument content");
    odt::OdtSources sources;
    sources.content = content.root();
    if (zip->contains("styles.xml") && readStream("styles.xml", styles, false)) sources.styles = styles.root();
    if (zip->contains("meta.xml") && readStream("meta.xml", meta, false)) sources.meta = meta.root();
    if (zip->contains("settings.xml") && readStream("settings.xml", settings, false)) sources.settings = settings.root();
    sources.readMember = [&](const std::string& path, std::string& out, std::string& why) {
        if (!zip->read(path, out, why)) {
            if (zip->limitHit()) throw OdtError(why);
            return false;
        }
        return true;
    };
    odt::OdtConverter converter(sources, limits, result.warnings);
    result.document = converter.convert();
    return result;
}

ReadResult readFlat(std::string_view bytes, const ReadLimits& limits) {
    xml::Part stream;
    std::string error;
    if (!odt::parseXml("flat XML", std::string(bytes), limits, stream, error)) return ReadResult::failure(error);
    if (std::string_view(stream.root().name()) != "office:document")
        return ReadResult::failure("The file is XML but not a flat OpenDocument file (its root is <" +
                                   std::string(stream.root().name()).substr(0, 80) + ">)");
    if (const pugi::xml_attribute type = stream.root().attribute("office:mimetype")) {
        if (!isTextType(odt::trim(type.value()))) return ReadResult::failure(notText(std::string_view(type.value()).substr(0, 120)));
    }
    ReadResult result;
    odt::OdtSources sources;
    sources.content = sources.styles = sources.meta = sources.settings = stream.root();
    sources.flat = true;
    odt::OdtConverter converter(sources, limits, result.warnings);
    result.document = converter.convert();
    return result;
}

}  // namespace

ReadResult readOdt(std::string_view bytes, const ReadLimits& limits) {
    try {
        if (bytes.empty()) return ReadResult::failure("The file is empty");
        if (bytes.starts_with("PK")) return readPackage(bytes, limits);
        return readFlat(bytes, limits);
    } catch (const OdtError& e) {
        return ReadResult::failure(e.what());
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("Not enough memory to read the file");
    } catch (const std::exception& e) {
        return ReadResult::failure(std::string("The file could not be read: ") + e.what());
    }
}

namespace {
// A package whose "mimetype" says text (or that holds content.xml without
// one), or flat XML with the office namespace near its start.
bool recognisesOdt(const Probe& probe) {
    if (probe.container == Container::Zip) {
        if (probe.firstMember == "mimetype")
            return probe.firstContent.starts_with("application/vnd.oasis.opendocument.text");
        return probe.holds("content.xml");
    }
    if (probe.container != Container::None || !probe.text.starts_with("<")) return false;
    const std::string_view head = probe.text.substr(0, 4096);
    return head.find("office:document") != std::string_view::npos ||
           head.find("urn:oasis:names:tc:opendocument:xmlns:office:1.0") != std::string_view::npos;
}
}  // namespace

const ReaderInfo kOdtReader{InputFormat::Odt, &recognisesOdt, &readOdt};

}  // namespace orvane
