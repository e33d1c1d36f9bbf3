// The engine's entry points: decide what a file is by its first bytes, hand
// it to the reader for that format, and turn anything a reader throws into a
// failure a user can read.
#include "Engine.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>

#include "doc/Cfb.h"
#include "doc/DocReader.h"
#include "docx/DocxReader.h"
#include "odt/OdtReader.h"
#include "rtf/RtfReader.h"
#include "text/TextReader.h"

namespace orvane {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kZipMagic = "PK\x03\x04"sv;
constexpr std::string_view kOleMagic = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv;
constexpr std::size_t kSniffBytes = 64 * 1024;  // how much of a file the text test looks at

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

// Whether `bytes` holds `name` in UTF-16LE, the way compound files spell
// their stream names, in any letter case (some writers use lower case).
bool containsUtf16Name(std::string_view bytes, std::string_view name) {
    // ASCII folding inline: the scan may run over megabytes.
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    const std::size_t length = name.size() * 2;
    if (name.empty() || bytes.size() < length) return name.empty();
    const char first = lower(name[0]);
    const std::size_t last = bytes.size() - length;
    for (std::size_t i = 0; i <= last; ++i) {
        if (bytes[i + 1] != '\0' || lower(bytes[i]) != first) continue;
        std::size_t k = 1;
        while (k < name.size() && bytes[i + 2 * k + 1] == '\0' && lower(bytes[i + 2 * k]) == lower(name[k])) ++k;
        if (k == name.size()) return true;
    }
    return false;
}

// The streams and storages of a compound file, asked for by name in any
// letter case. They are read from the directory; where the directory cannot be
// read, a name is looked for anywhere in the file.
class CompoundNames {
public:
    explicit CompoundNames(std::string_view bytes) : m_bytes(bytes) {
        std::string error;
        m_directoryRead = m_file.open(bytes, 0, error);
    }

    bool has(std::string_view name) const {
        if (!m_directoryRead) return containsUtf16Name(m_bytes, name);
        const auto sameLetters = [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        };
        for (const cfb::Entry& entry : m_file.entries()) {
            if (entry.type != cfb::EntryType::Empty && entry.name.size() == name.size() &&
                std::equal(name.begin(), name.end(), entry.name.begin(), sameLetters))
                return true;
        }
        return false;
    }

private:
    std::string_view m_bytes;
    cfb::CompoundFile m_file;
    bool m_directoryRead = false;
};

std::uint32_t le16(std::string_view s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8;
}

std::uint32_t le32(std::string_view s, std::size_t at) {
    return le16(s, at) | le16(s, at + 2) << 16;
}

// What a zip archive holds, judged by its member names.
InputFormat detectZip(std::string_view bytes) {
    // An OpenDocument file starts with an uncompressed "mimetype" member.
    constexpr std::size_t kNameAt = 30;
    if (bytes.size() > kNameAt) {
        const std::size_t nameLength = le16(bytes, 26);
        const std::size_t extraLength = le16(bytes, 28);
        const std::string_view name = bytes.substr(kNameAt, nameLength);
        if (name == "mimetype"sv) {
            const std::string_view content = bytes.substr(std::min(bytes.size(), kNameAt + nameLength + extraLength), 80);
            if (content.starts_with("application/vnd.oasis.opendocument.text"sv)) return InputFormat::Odt;
            return InputFormat::Unknown;  // a spreadsheet, a presentation, ...
        }
    }
    // The central directory at the end lists every member; find it through
    // the end-of-directory record (which may be followed by a comment).
    bool word = false, contentTypes = false, odfContent = false;
    const auto noteName = [&](std::string_view name) {
        if (name.starts_with("word/"sv)) word = true;
        if (name == "[Content_Types].xml"sv) contentTypes = true;
        if (name == "content.xml"sv) odfContent = true;
    };
    bool listed = false;
    const std::size_t searchFrom = bytes.size() > 65557 ? bytes.size() - 65557 : 0;
    for (std::size_t at = bytes.size() >= 22 ? bytes.size() - 22 : std::string_view::npos;
         at != std::string_view::npos && at >= searchFrom; --at) {
        if (bytes.substr(at, 4) != "PK\x05\x06"sv) {
            if (at == 0) break;
            continue;
        }
        const std::size_t entries = le16(bytes, at + 10);
        std::size_t pos = le32(bytes, at + 16);
        for (std::size_t n = 0; n < entries && pos + 46 <= bytes.size(); ++n) {
            if (bytes.substr(pos, 4) != "PK\x01\x02"sv) break;
            const std::size_t nameLength = le16(bytes, pos + 28);
            const std::size_t extra = le16(bytes, pos + 30);
            const std::size_t comment = le16(bytes, pos + 32);
            noteName(bytes.substr(pos + 46, nameLength));
            listed = true;
            pos += 46 + nameLength + extra + comment;
        }
        break;
    }
    if (!listed) {
        // No usable directory (a cut-off download, say): walk the local headers.
        std::size_t pos = 0;
        for (int n = 0; n < 10000 && pos + 30 <= bytes.size() && bytes.substr(pos, 4) == kZipMagic; ++n) {
            const std::size_t nameLength = le16(bytes, pos + 26);
            const std::size_t extra = le16(bytes, pos + 28);
            const std::uint32_t flags = le16(bytes, pos + 6);
            const std::size_t compressed = le32(bytes, pos + 18);
            noteName(bytes.substr(pos + 30, nameLength));
            if (flags & 0x08) break;  // the size follows the data, so the next header cannot be found
            pos += 30 + nameLength + extra + compressed;
        }
    }
    if (word) return InputFormat::Docx;
    // An Office package without a word/ folder is a workbook or a slide show;
    // the .docx reader still gets to say so in its own words.
    if (contentTypes) return InputFormat::Docx;
    if (odfContent) return InputFormat::Odt;
    return InputFormat::Unknown;
}

bool looksLikeText(std::string_view bytes) {
    const std::string_view sample = bytes.substr(0, kSniffBytes);
    std::size_t controls = 0;
    for (const char ch : sample) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0) return false;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A) || c == 0x7F) ++controls;
    }
    // A stray control character or two is noise; binary data is full of them.
    return controls * 100 <= sample.size();
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

using Reader = ReadResult (*)(std::string_view, const ReadLimits&);

// Every format the engine knows: the reader that reads it, or why it cannot.
struct FormatEntry {
    InputFormat format;
    Reader reader;
    const char* refusal;
};

constexpr FormatEntry kFormats[] = {
    {InputFormat::Rtf, &readRtf, nullptr},
    {InputFormat::Docx, &readDocx, nullptr},
    {InputFormat::Text, &readText, nullptr},
    {InputFormat::Empty, nullptr, "The file is empty."},
    {InputFormat::Doc, &readDoc, nullptr},
    {InputFormat::Odt, &readOdt, nullptr},
    // Read as plain text, a web page would come out as its markup, which
    // looks like a broken conversion; better to say plainly what it is.
    {InputFormat::Html, nullptr, "The file is a web page (HTML), which this version cannot read yet."},
    {InputFormat::Encrypted, nullptr, "The file is encrypted with a password."},
};

}  // namespace

InputFormat detectFormat(std::string_view bytes) {
    if (bytes.empty()) return InputFormat::Empty;
    const std::string_view start = skipLeadingSpace(bytes);
    if (start.starts_with("{\\rtf"sv)) return InputFormat::Rtf;
    if (bytes.starts_with(kZipMagic)) return detectZip(bytes);
    if (bytes.starts_with(kOleMagic)) {
        // A password-protected .docx is a compound file holding the package
        // encrypted; a Word 97-2003 file has a WordDocument stream.
        const CompoundNames names(bytes);
        if (names.has("EncryptedPackage")) return InputFormat::Encrypted;
        if (names.has("WordDocument")) return InputFormat::Doc;
        return InputFormat::Unknown;
    }
    if (bytes.starts_with("\xFF\xFE"sv) || bytes.starts_with("\xFE\xFF"sv)) return InputFormat::Text;
    // A PDF starts with a line of text; its binary streams come later than
    // the text test looks.
    if (bytes.starts_with("%PDF-"sv)) return InputFormat::Unknown;
    const std::string_view head = start.substr(0, 4096);
    if (startsWithNoCase(start, "<html"sv) || startsWithNoCase(start, "<!doctype html"sv)) return InputFormat::Html;
    if (start.starts_with("<"sv)) {
        // Flat OpenDocument: the office namespace on the root, with or without
        // an XML declaration or a comment before it.
        if (head.find("office:document"sv) != std::string_view::npos ||
            head.find("urn:oasis:names:tc:opendocument:xmlns:office:1.0"sv) != std::string_view::npos)
            return InputFormat::Odt;
        if (startsWithNoCase(start, "<?xml"sv) && containsNoCase(head, "<html"sv)) return InputFormat::Html;
    }
    if (looksLikeText(bytes)) return InputFormat::Text;
    return InputFormat::Unknown;
}

ReadResult readDocument(std::string_view bytes, const ReadLimits& limits) {
    try {
        const InputFormat format = detectFormat(bytes);
        for (const FormatEntry& entry : kFormats) {
            if (entry.format != format) continue;
            if (entry.reader) {
                ReadResult result = entry.reader(bytes, limits);
                if (!result.ok() && result.error.empty()) result.error = "The file could not be read.";
                return result;
            }
            return ReadResult::failure(entry.refusal);
        }
        if (bytes.starts_with(kOleMagic)) {
            // A compound file of another program: say which, where its streams tell.
            const CompoundNames names(bytes);
            if (names.has("Workbook"))
                return ReadResult::failure("The file is an Excel workbook, not a word-processing document.");
            if (names.has("PowerPoint Document"))
                return ReadResult::failure("The file is a PowerPoint presentation, not a word-processing document.");
            return ReadResult::failure(
                "The file is an Office compound file but holds no Word document (it has no WordDocument stream).");
        }
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
