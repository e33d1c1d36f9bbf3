// libFuzzer target for the compound-file reader: open, walk every storage,
// read every stream.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cfb/CompoundFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    orvane::cfb::CompoundFile file;
    std::string error;
    if (!file.open(std::string_view(reinterpret_cast<const char*>(data), size), 16u * 1024 * 1024, error)) return 0;
    for (std::uint32_t i = 0; i < file.entries().size(); ++i) {
        (void)file.children(i);
        std::string stream;
        if (file.entries()[i].type == orvane::cfb::EntryType::Stream) (void)file.read(i, stream, error);
    }
    (void)file.find(0, "WordDocument");
    return 0;
}
