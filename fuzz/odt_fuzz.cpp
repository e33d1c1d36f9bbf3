// Feeds arbitrary bytes to the OpenDocument reader (packages and flat XML alike)
// and writes whatever it reads as RTF: neither may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Engine.h"
#include "odt/OdtReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orvane::ReadLimits limits;
    limits.maxExpandedBytes = 64u * 1024 * 1024;
    limits.maxEntryBytes = 32u * 1024 * 1024;
    const orvane::ReadResult result =
        orvane::readOdt(std::string_view(reinterpret_cast<const char*>(data), size), limits);
    if (result.ok()) {
        orvane::StringSink sink;
        orvane::writeRtf(*result.document, sink);
    }
    return 0;
}
