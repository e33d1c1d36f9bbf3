// The engine's public entry points: read any supported document from bytes,
// write the model as RTF to a sink. No I/O beyond what callers hand in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Document.h"

namespace orvane {

// Limits that keep a hostile file from exhausting the process.
struct ReadLimits {
    std::size_t maxExpandedBytes = 512u * 1024 * 1024;  // total inflated size of an archive
    std::size_t maxArchiveEntries = 10000;
    std::size_t maxEntryBytes = 256u * 1024 * 1024;     // one inflated archive member
    int maxNesting = 200;                               // tables in tables, RTF groups, XML depth
};

// The outcome of reading a document: the model, or a message a user can act on.
struct ReadResult {
    std::optional<model::Document> document;  // set on success
    std::string error;                        // set on failure, e.g. "The file is encrypted"
    std::vector<std::string> warnings;        // recoverable problems; conversion went on

    bool ok() const { return document.has_value(); }
    static ReadResult failure(std::string message) {
        ReadResult r;
        r.error = std::move(message);
        return r;
    }
};

enum class InputFormat { Unknown, Empty, Rtf, Docx, Odt, Doc, Text, Html, Encrypted };

// Decides what the bytes are by their content, never by a file name.
InputFormat detectFormat(std::string_view bytes);

// Reads any supported format, choosing the reader by content.
ReadResult readDocument(std::string_view bytes, const ReadLimits& limits = {});

// One-method output sink, so tests write to memory and the server to a file.
class Sink {
public:
    virtual ~Sink() = default;
    // Returns false when the data could not be written; the writer then stops.
    virtual bool write(std::string_view data) = 0;
};

class StringSink : public Sink {
public:
    bool write(std::string_view data) override {
        m_text.append(data);
        return true;
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

// Writes the document as RTF. Returns false when the sink failed.
bool writeRtf(const model::Document& document, Sink& sink);

// A stable, human-readable text dump of the model for golden tests.
std::string dumpModel(const model::Document& document);

}  // namespace orvane
