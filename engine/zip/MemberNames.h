// A quick look at what a ZIP archive holds, for format detection: the member
// names from the central directory, or from the local headers when the
// directory is missing (a cut-off download). Nothing is inflated, and the
// names are views into the archive's bytes.
#pragma once

#include <string_view>
#include <vector>

#include "reader/Reader.h"

namespace orvane::zip {

// Whether `bytes` begin as a ZIP archive does.
bool looksLikeArchive(std::string_view bytes);

class MemberNames : public ContainerIndex {
public:
    explicit MemberNames(std::string_view bytes);

    // Names compare exactly, as a package's readers look them up first.
    bool holds(std::string_view name) const override;
    bool holdsUnder(std::string_view folder) const override;

    // The first member by its local header, and the first bytes of its data
    // (what is stored there; meaningful when it is stored uncompressed).
    std::string_view firstMember() const { return m_firstMember; }
    std::string_view firstContent() const { return m_firstContent; }

private:
    std::vector<std::string_view> m_names;
    std::string_view m_firstMember;
    std::string_view m_firstContent;
};

}  // namespace orvane::zip
