// libFuzzer target for the Word 97-2003 reader: any bytes, read as a .doc.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "doc/DocReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orvane::ReadLimits limits;
    limits.maxEntryBytes = 64u * 1024 * 1024;
    const orvane::ReadResult result =
        orvane::readDoc(std::string_view(reinterpret_cast<const char*>(data), size), limits);
    if (!result.ok() && result.error.empty()) __builtin_trap();  // a failure must say why
    return 0;
}
