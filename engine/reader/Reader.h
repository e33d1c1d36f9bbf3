// What every reader shares with the engine: the limits a read must stay
// within, the result it gives back, and the entry by which it declares its
// format (how the format is recognised, and the read function).
//
// Header only; depends on model/ and the standard library. A reader folder
// includes this, model/ and the building blocks (zip/, cfb/, xml/, picture/,
// encoding/), never another reader.
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
    std::size_t maxXmlElements = 10u * 1000 * 1000;     // in one XML stream of a package
    // GIF and BMP pictures decoded to PNG: one picture, and all of a document's.
    std::size_t maxPicturePixels = 40u * 1000 * 1000;
    std::size_t maxDocumentPixels = 300u * 1000 * 1000;
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

// The names a container holds, as format detection sees them before any
// reader runs. Each container (zip/, cfb/) says how its names compare.
class ContainerIndex {
public:
    virtual ~ContainerIndex() = default;
    // Whether the container holds a member, stream or storage of this name.
    virtual bool holds(std::string_view name) const = 0;
    // Whether any member name begins with `folder` ("word/").
    virtual bool holdsUnder(std::string_view folder) const = 0;
    // Whether the container's own index could not be read (a file cut short
    // or damaged); the names then come from a search of the bytes.
    virtual bool damaged() const { return false; }
};

enum class Container { None, Zip, Compound };

// What format detection knows of a file when it asks the readers.
struct Probe {
    std::string_view bytes;  // the whole file
    std::string_view text;   // the file after a UTF-8 byte-order mark and leading blanks
    Container container = Container::None;
    const ContainerIndex* index = nullptr;  // set for a container
    // A ZIP archive's first member by its local header, and its first bytes as
    // stored (an OpenDocument package's uncompressed "mimetype").
    std::string_view firstMember;
    std::string_view firstContent;

    bool holds(std::string_view name) const { return index && index->holds(name); }
    bool holdsUnder(std::string_view folder) const { return index && index->holdsUnder(folder); }
    bool damaged() const { return index && index->damaged(); }
};

using ReadFunction = ReadResult (*)(std::string_view bytes, const ReadLimits& limits);
using RecogniseFunction = bool (*)(const Probe& probe);

// How a reader declares itself to the engine's table of readers.
struct ReaderInfo {
    InputFormat format;
    RecogniseFunction recognises;  // from the first bytes and, for containers, what they hold
    ReadFunction read;
};

}  // namespace orvane
