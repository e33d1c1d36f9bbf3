// The per-user registry of running orvane-word instances: a folder that only the
// user can enter, holding one Unix-domain socket "<pid>.sock" per instance that
// listens. The server registers there; the client looks there for a running one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::protocol {

struct RegistryFolder {
    std::string path;   // set when usable
    std::string error;  // why no folder is usable
    bool ok() const { return error.empty(); }
};

// For a server: the folder to register in, created (mode 0700) when missing.
// An empty explicitPath means the user's own: $XDG_RUNTIME_DIR/orvane-word, or
// /tmp/orvane-word-<uid> when XDG_RUNTIME_DIR is unset or unusable. A folder that
// belongs to another user, or is not a folder, is refused.
RegistryFolder prepareRegistryFolder(const std::string& explicitPath);

// For a client: the folders in which a server may have registered, most likely
// first. They may not exist.
std::vector<std::string> registryFoldersToSearch(const std::string& explicitPath);

// True when path is a folder (not a link) owned by the user and closed to others.
bool isPrivateFolder(const std::string& path);

std::string socketFileName(long pid);  // "<pid>.sock"
// The pid in a name "<pid>.sock"; nullopt for any other name.
std::optional<long> pidFromSocketFileName(std::string_view name);

}  // namespace orvane::protocol
