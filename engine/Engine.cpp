// The engine's entry points: decide what a file is by walking the table of
// readers, hand it to the reader that recognises it, and turn anything a
// reader throws into a failure a user can read.
#include "Engine.h"

#include <cctype>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>

#include "cfb/StreamNames.h"
#include "doc/DocReader.h"
#include "docx/DocxReader.h"
#include "odt/OdtReader.h"
#include "rtf/RtfReader.h"
#include "text/TextReader.h"
#include "zip/MemberNames.h"

namespace orvane {

namespace {

using namespace std::string_view_literals;

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

bool containsNoCase(std::string_view s, std::string_view needle) {
    if (needle.empty()) return true;
    for (std::size_t i = 0; i + needle.size() <= s.size(); ++i) {
        if (startsWithNoCase(s.substr(i), needle)) return true;
    }
    return false;
}

// Skips a UTF-8 byte-order mark and leading white space.
std::string_view skipLeadingSpace(std::string_view s) {
    if (s.substr(0, 3) == "\xEF\xBB\xBF"sv) s.remove_prefix(3);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) {
        s.remove_prefix(1);
    }
    return s;
}

std::string hexStart(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, 8);
    std::string out;
    std::string printable;
    for (const char ch : head) {
        const auto c = static_cast<unsigned char>(ch);
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", c);
        if (!out.empty()) out.push_back(' ');
        out += buf;
        printable.push_back(c >= 0x20 && c < 0x7F ? ch : '.');
    }
    return out + " (\"" + printable + "\")";
}

// A format the engine recognises: the reader that reads it, or why it is not
// read (`refusal`); neither means "recognised as something Orvane cannot read".
struct FormatEntry {
    const ReaderInfo* reader = nullptr;
    InputFormat refused = InputFormat::Unknown;
    RecogniseFunction recognisesRefused = nullptr;
    const char* refusal = nullptr;

    constexpr FormatEntry(const ReaderInfo& r) : reader(&r) {}
    constexpr FormatEntry(InputFormat f, RecogniseFunction r, const char* why)
        : refused(f), recognisesRefused(r), refusal(why) {}

    InputFormat format() const { return reader ? reader->format : refused; }
    bool recognises(const Probe& probe) const {
        return reader ? reader->recognises(probe) : recognisesRefused(probe);
    }
};

bool isEmpty(const Probe& p) { return p.bytes.empty(); }
bool isWebPage(const Probe& p) {
    return startsWithNoCase(p.text, "<html"sv) || startsWithNoCase(p.text, "<!doctype html"sv);
}
// An XHTML page: an XML declaration and an html element soon after.
bool isXmlWebPage(const Probe& p) {
    return startsWithNoCase(p.text, "<?xml"sv) && containsNoCase(p.text.substr(0, 4096), "<html"sv);
}
bool isEncryptedPackage(const Probe& p) { return p.container == Container::Compound && p.holds("EncryptedPackage"); }
bool isWorkbook(const Probe& p) { return p.container == Container::Compound && p.holds("Workbook"); }
bool isPresentation(const Probe& p) { return p.container == Container::Compound && p.holds("PowerPoint Document"); }
bool isCompoundFile(const Probe& p) { return p.container == Container::Compound; }
bool isDamagedCompoundFile(const Probe& p) { return p.container == Container::Compound && p.damaged(); }
// Word processors whose files Orvane does not read, by their signatures.
bool isOldWordForWindows(const Probe& p) {
    return p.bytes.starts_with("\x9B\xA5"sv) || p.bytes.starts_with("\xDB\xA5"sv);  // Word 1 and 2
}
bool isWordForDos(const Probe& p) { return p.bytes.starts_with("\x31\xBE\x00\x00"sv); }
bool isMacWord(const Probe& p) {
    return p.bytes.starts_with("\xFE\x37\x00\x1C"sv) || p.bytes.starts_with("\xFE\x37\x00\x23"sv);
}
bool isWordPerfect(const Probe& p) { return p.bytes.starts_with("\xFFWPC"sv); }

#define ORVANE_READS "Orvane reads Word 6 to 2003 (.doc), Word 2007 and later (.docx), OpenDocument (.odt), RTF and plain text"
bool isArchive(const Probe& p) { return p.container == Container::Zip; }
// A PDF starts with a line of text; its binary streams come later than the
// text test looks.
bool isPdf(const Probe& p) { return p.bytes.starts_with("%PDF-"sv); }

// Asked in this order; the first that recognises the file decides. Refusals
// that look at the same bytes as a reader come before it: a web page is not
// read as text, a password-protected package (a compound file holding it
// encrypted) is not taken for a Word 97-2003 file.
constexpr FormatEntry kFormats[] = {
    {InputFormat::Empty, &isEmpty, "The file is empty."},
    kRtfReader,
    // Read as plain text, a web page would come out as its markup, which
    // looks like a broken conversion; better to say plainly what it is.
    {InputFormat::Html, &isWebPage, "The file is a web page (HTML), which this version cannot read yet."},
    kDocxReader,
    kOdtReader,
    {InputFormat::Unknown, &isArchive, nullptr},
    {InputFormat::Encrypted, &isEncryptedPackage, "The file is encrypted with a password."},
    kDocReader,
    {InputFormat::Unknown, &isWorkbook, "The file is an Excel workbook, not a word-processing document."},
    {InputFormat::Unknown, &isPresentation, "The file is a PowerPoint presentation, not a word-processing document."},
    {InputFormat::Unknown, &isDamagedCompoundFile,
     "The file is damaged or cut short: the directory of its streams cannot be read, and no Word document was "
     "found in it."},
    {InputFormat::Unknown, &isCompoundFile,
     "The file is an Office compound file but holds no Word document (it has no WordDocument stream)."},
    {InputFormat::Unknown, &isOldWordForWindows,
     "The file is a Word for Windows 1 or 2 document, an older format than Orvane reads. " ORVANE_READS "."},
    {InputFormat::Unknown, &isWordForDos, "The file is a Word for DOS document, which Orvane cannot read. " ORVANE_READS "."},
    {InputFormat::Unknown, &isMacWord,
     "The file is a Word for Macintosh 4 or 5 document, which Orvane cannot read. " ORVANE_READS "."},
    {InputFormat::Unknown, &isWordPerfect, "The file is a WordPerfect document, which Orvane cannot read. " ORVANE_READS "."},
    {InputFormat::Unknown, &isPdf, nullptr},
    {InputFormat::Html, &isXmlWebPage, "The file is a web page (HTML), which this version cannot read yet."},
    kTextReader,
};

#undef ORVANE_READS

// The first entry that recognises `bytes`, or null.
const FormatEntry* recognise(std::string_view bytes) {
    Probe probe;
    probe.bytes = bytes;
    probe.text = skipLeadingSpace(bytes);
    std::optional<zip::MemberNames> members;
    std::optional<cfb::StreamNames> streams;
    if (zip::looksLikeArchive(bytes)) {
        members.emplace(bytes);
        probe.container = Container::Zip;
        probe.index = &*members;
        probe.firstMember = members->firstMember();
        probe.firstContent = members->firstContent();
    } else if (cfb::looksLikeCompoundFile(bytes)) {
        streams.emplace(bytes);
        probe.container = Container::Compound;
        probe.index = &*streams;
    }
    for (const FormatEntry& entry : kFormats) {
        if (entry.recognises(probe)) return &entry;
    }
    return nullptr;
}

}  // namespace

InputFormat detectFormat(std::string_view bytes) {
    const FormatEntry* entry = recognise(bytes);
    return entry ? entry->format() : InputFormat::Unknown;
}

ReadResult readDocument(std::string_view bytes, const ReadLimits& limits) {
    try {
        const FormatEntry* entry = recognise(bytes);
        if (entry && entry->reader) {
            ReadResult result = entry->reader->read(bytes, limits);
            if (!result.ok() && result.error.empty()) result.error = "The file could not be read.";
            return result;
        }
        if (entry && entry->refusal) return ReadResult::failure(entry->refusal);
        return ReadResult::failure("The file is not a document that Orvane can read: it begins with " +
                                   hexStart(bytes) + ".");
    } catch (const std::bad_alloc&) {
        return ReadResult::failure("There was not enough memory to read the file.");
    } catch (const std::exception& e) {
        return ReadResult::failure(std::string("The file could not be read: ") + e.what());
    } catch (...) {
        return ReadResult::failure("The file could not be read.");
    }
}

}  // namespace orvane
