// Language tags (BCP 47, as XML formats write them) to the Windows language
// ids that RTF's \lang words, and with them the choice of code page, use.
#pragma once

#include <string_view>

namespace orvane::encoding {

// "en-US" -> 0x0409, any letter case, "_" taken for "-"; a bare language code
// gives its main country, an unknown country its language; four hex digits are
// taken as the id itself. 0 when unknown.
int languageId(std::string_view tag);

}  // namespace orvane::encoding
