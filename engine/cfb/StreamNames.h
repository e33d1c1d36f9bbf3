// The streams and storages of a compound file, for format detection: asked
// for by name in any letter case, as compound files compare names. They are
// read from the directory; where the directory cannot be read (a damaged or
// cut-off file), a name is looked for anywhere in the file as UTF-16.
#pragma once

#include <string_view>

#include "cfb/CompoundFile.h"
#include "reader/Reader.h"

namespace orvane::cfb {

// Whether `bytes` begin with the compound-file signature.
bool looksLikeCompoundFile(std::string_view bytes);

class StreamNames : public ContainerIndex {
public:
    explicit StreamNames(std::string_view bytes);

    bool holds(std::string_view name) const override;
    bool holdsUnder(std::string_view) const override { return false; }
    bool damaged() const override { return !m_directoryRead; }

private:
    std::string_view m_bytes;
    CompoundFile m_file;
    bool m_directoryRead = false;
};

}  // namespace orvane::cfb
