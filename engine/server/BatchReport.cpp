#include "BatchReport.h"

#include <cmath>
#include <cstdio>

namespace orvane::server {

namespace {

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is not one.
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t least = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, least = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, least = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, least = 0x10000;
    else return 0;
    if (text.size() < length) return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

std::string rate(double documents, double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds > 0 ? documents / seconds : 0.0);
    return text;
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text[0]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            text.remove_prefix(1);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            text.remove_prefix(1);
        } else if (const std::size_t length = utf8Length(text); length > 0) {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        } else {
            out += "\xEF\xBF\xBD";
            text.remove_prefix(1);
        }
    }
    return out + "\"";
}

std::string reportRecord(const std::string& input, const std::string& output, const WorkResult& result) {
    std::string line = "{\"input\":" + jsonString(input) + ",\"output\":" + (output.empty() ? "null" : jsonString(output)) +
                       ",\"status\":" + jsonString(result.status) +
                       ",\"error\":" + (result.error.empty() ? "null" : jsonString(result.error)) +
                       ",\"ms\":" + std::to_string(result.milliseconds) + ",\"bytes_in\":" + std::to_string(result.bytesIn) +
                       ",\"bytes_out\":" + std::to_string(result.bytesOut) + ",\"warnings\":[";
    for (std::size_t i = 0; i < result.warnings.size(); ++i) line += (i ? "," : "") + jsonString(result.warnings[i]);
    return line + "]}";
}

std::string describeSeconds(double seconds) {
    const long long s = std::llround(std::max(0.0, seconds));
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

std::string progressLine(const Tally& tally, double elapsedSeconds, std::size_t width) {
    std::string line = std::to_string(tally.done()) + "/" + std::to_string(tally.total) + " done, " +
                       std::to_string(tally.failed) + " failed";
    // Skipped documents cost next to nothing, so they say nothing about the time left.
    const std::size_t worked = tally.converted + tally.failed;
    if (elapsedSeconds >= 0.5 && worked > 0) {
        line += ", " + rate(static_cast<double>(worked), elapsedSeconds) + " documents/s";
        const double left = static_cast<double>(tally.total - tally.done()) * elapsedSeconds / static_cast<double>(worked);
        line += ", " + describeSeconds(left) + " left";
    }
    if (width > 1 && line.size() >= width) line.resize(width - 1);
    return line;
}

std::string summaryLine(const Tally& tally, double elapsedSeconds, bool interrupted) {
    std::string line = std::to_string(tally.converted) + " converted, " + std::to_string(tally.failed) + " failed, " +
                       std::to_string(tally.skipped) + " skipped of " + std::to_string(tally.total) +
                       (tally.total == 1 ? " document" : " documents") + " in " + describeSeconds(elapsedSeconds) +
                       " (" + rate(static_cast<double>(tally.converted + tally.failed), elapsedSeconds) +
                       " documents/s).";
    if (interrupted) {
        const std::size_t left = tally.total - tally.done();
        line += " Interrupted: " + std::to_string(left) + (left == 1 ? " document was" : " documents were") +
                " not converted.";
    }
    return line;
}

}  // namespace orvane::server
