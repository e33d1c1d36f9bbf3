#include "docx/DocxUtil.h"

#include "encoding/Encoding.h"

namespace orvane::docx {

using model::Inline;

std::string cleanText(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    encoding::appendCleanText(out, in, ' ');
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\n' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

void appendPlainText(std::string& out, const std::vector<Inline>& inlines, int depth) {
    if (depth > 64) return;
    for (const Inline& in : inlines) {
        if (const auto* run = std::get_if<model::TextRun>(&in.value)) out += run->text;
        else if (const auto* field = std::get_if<model::Field>(&in.value))
            appendPlainText(out, field->result, depth + 1);
    }
}

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

}  // namespace orvane::docx
