// The OpenDocument reader over packages whose parts are the input as text:
// content.xml, then (after a NUL byte) styles.xml. Mutations reach the
// reader's XML handling instead of breaking the archive.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Engine.h"
#include "StoredZip.h"
#include "odt/OdtReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = orvane::fuzzing::splitAtNul(std::string_view(reinterpret_cast<const char*>(data), size), 2);
    std::vector<std::pair<std::string, std::string>> members = {
        {"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", parts[0]}};
    if (parts.size() > 1) members.emplace_back("styles.xml", parts[1]);
    return orvane::fuzzing::readAndWrite(orvane::fuzzing::storedZip(members), orvane::readOdt);
}
