#include "text/TextReader.h"

#include <langinfo.h>

#include <cstdint>

#include "encoding/Encoding.h"

namespace orvane {

namespace {

using namespace model;

enum class TextEncoding { Utf8, Utf16Le, Utf16Be, Windows1252 };

struct Paper {
    Twips width = 11906;  // A4, the paper of the C locale
    Twips height = 16838;
};

// The paper the user's locale prints on (LC_PAPER, as the program set it up;
// the C locale's is A4), within sizes paper comes in.
Paper userPaper() {
    Paper paper;
#ifdef _NL_PAPER_WIDTH
    const auto millimetres = [](const char* item) {
        // glibc answers these two with the number in place of the pointer.
        return static_cast<long>(reinterpret_cast<std::intptr_t>(item));
    };
    const long width = millimetres(nl_langinfo(_NL_PAPER_WIDTH));
    const long height = millimetres(nl_langinfo(_NL_PAPER_HEIGHT));
    if (width >= 50 && width <= 2000 && height >= 50 && height <= 2000) {
        paper.width = static_cast<Twips>((width * 14400 + 127) / 254);
        paper.height = static_cast<Twips>((height * 14400 + 127) / 254);
        // The locale keeps whole millimetres; inch sizes get their exact twips.
        if (width == 216 && height == 279) paper = {12240, 15840};  // Letter
        if (width == 216 && height == 356) paper = {12240, 20160};  // Legal
    }
#endif
    return paper;
}

// Builds the document one character at a time.
class TextBuilder {
public:
    explicit TextBuilder(Document& document) : m_doc(document) { newParagraph(); }

    void add(char32_t cp) {
        switch (cp) {
        case '\r':
            m_afterCr = true;
            endParagraph();
            return;
        case '\n':
            if (!m_afterCr) endParagraph();
            m_afterCr = false;
            return;
        case 0x85:    // next line
        case 0x2029:  // paragraph separator
            m_afterCr = false;
            endParagraph();
            return;
        default: break;
        }
        m_afterCr = false;
        if (cp == '\f') {
            pageBreak();
        } else if (cp == 0x2028) {  // line separator: a line break, as Word's Shift+Enter
            m_text.push_back('\n');
        } else if (cp == '\t' || !isControl(cp)) {
            encoding::appendUtf8(m_text, cp);
        }
    }

    void finish() {
        flushRun();
        // A file that ends with a line end has no further line after it.
        if (m_pendingEmpty && m_doc.sections.front().blocks.size() > 1) m_doc.sections.front().blocks.pop_back();
    }

private:
    static bool isControl(char32_t cp) {
        return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0xFEFF;
    }
    Paragraph& paragraph() { return std::get<Paragraph>(m_doc.sections.front().blocks.back().value); }
    void newParagraph() {
        Block block;
        Paragraph p;
        p.props = m_doc.defaultPara;
        p.props.style = 0;  // Plain Text
        p.markProps = m_doc.defaultChars;
        block.value = std::move(p);
        m_doc.sections.front().blocks.push_back(std::move(block));
        m_pendingEmpty = true;
    }
    void flushRun() {
        if (m_text.empty()) return;
        TextRun run;
        run.text = std::move(m_text);
        run.props = m_doc.defaultChars;
        paragraph().content.push_back(Inline{std::move(run)});
        m_text.clear();
        m_pendingEmpty = false;
    }
    void pageBreak() {
        flushRun();
        Break b;
        b.kind = BreakKind::Page;
        b.props = m_doc.defaultChars;
        paragraph().content.push_back(Inline{b});
        m_pendingEmpty = false;
    }
    void endParagraph() {
        flushRun();
        newParagraph();
    }

    Document& m_doc;
    std::string m_text;
    bool m_afterCr = false;
    bool m_pendingEmpty = false;  // the last paragraph was opened by a line end and is still empty
};

void decodeUtf16(std::string_view bytes, bool bigEndian, TextBuilder& out) {
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 3 < bytes.size()) {
                const char32_t low = unit(i + 2);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    out.add(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            out.add(encoding::kReplacement);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            out.add(encoding::kReplacement);
        } else {
            out.add(u);
        }
    }
    if (i < bytes.size()) out.add(encoding::kReplacement);  // an odd byte at the end
}

}  // namespace

ReadResult readText(std::string_view bytes, const ReadLimits& /*limits*/) {
    // Plain text carries no formatting: it was written for a fixed-pitch
    // screen, with columns lined up by spaces. Word opens it in its "Plain
    // Text" style and LibreOffice in "Preformatted Text", both fixed-pitch at
    // about 10 pt, so it gets Courier New at 10 pt (every system has it or a
    // face of its metrics), on the user's paper with 2 cm margins, which keep
    // 80 columns on one line on A4 and on Letter alike.
    Document doc;
    Font font;
    font.name = "Courier New";
    font.family = FontFamily::Modern;
    font.charset = 0;
    font.pitch = 1;
    doc.fonts.push_back(font);
    doc.defaultChars.font = 0;
    doc.defaultChars.sizeHalfPoints = 20;
    Style plain;
    plain.name = "Plain Text";
    plain.chars = doc.defaultChars;
    plain.para = doc.defaultPara;
    doc.styles.push_back(plain);
    doc.sections.emplace_back();
    SectionProps& page = doc.sections.front().props;
    const Paper paper = userPaper();
    page.pageWidth = paper.width;
    page.pageHeight = paper.height;
    page.marginLeft = page.marginRight = page.marginTop = page.marginBottom = 1134;

    TextEncoding format = TextEncoding::Utf8;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    } else if (bytes.substr(0, 2) == "\xFF\xFE") {
        format = TextEncoding::Utf16Le;
        bytes.remove_prefix(2);
    } else if (bytes.substr(0, 2) == "\xFE\xFF") {
        format = TextEncoding::Utf16Be;
        bytes.remove_prefix(2);
    } else if (!encoding::isValidUtf8(bytes)) {
        format = TextEncoding::Windows1252;
    }

    TextBuilder builder(doc);
    switch (format) {
    case TextEncoding::Utf8:
        for (std::size_t pos = 0; pos < bytes.size();) builder.add(encoding::decodeUtf8(bytes, pos));
        break;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        decodeUtf16(bytes, format == TextEncoding::Utf16Be, builder);
        break;
    case TextEncoding::Windows1252:
        for (const char c : bytes) builder.add(encoding::cp1252ToUnicode(static_cast<unsigned char>(c)));
        break;
    }
    builder.finish();

    ReadResult result;
    result.document = std::move(doc);
    return result;
}

namespace {

constexpr std::size_t kSniffBytes = 64 * 1024;  // how much of a file the text test looks at

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

// UTF-16 with its byte-order mark, or bytes without NUL and with hardly any
// control characters. Asked last: anything more specific comes first.
bool recognisesText(const Probe& probe) {
    if (probe.container != Container::None) return false;
    if (probe.bytes.starts_with("\xFF\xFE") || probe.bytes.starts_with("\xFE\xFF")) return true;
    return looksLikeText(probe.bytes);
}

}  // namespace

const ReaderInfo kTextReader{InputFormat::Text, &recognisesText, &readText};

}  // namespace orvane
