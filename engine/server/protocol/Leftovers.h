// What an orvane-word process leaves on disk while it runs, named so that whoever
// ends it can tidy up after it: its registry entry "<pid>.sock" (and the
// "<pid>.sock.new" it binds first), and the temporary file of a save in
// progress, ".orvane-word-<pid>-XXXXXX" beside the file it will replace.
//
// A process that is killed (SIGKILL, or stopped and then killed) cannot remove
// them itself; its parent can, once the process is dead and before it is reaped,
// while no other process can have been given that pid.
#pragma once

#include <string>
#include <sys/types.h>

namespace orvane::protocol {

// ".orvane-word-<pid>-": the beginning of every temporary that process writes.
std::string temporaryFilePrefix(pid_t pid);

// Removes the temporaries of that process in the folder; returns how many went.
// Only files whose name begins with the prefix are touched.
int removeTemporariesOf(pid_t pid, const std::string& folder);

// Removes the registry entry of that process (and its half-made one) from every
// folder where it may have registered (see registryFoldersToSearch).
void removeRegistryEntryOf(pid_t pid, const std::string& explicitRegistry);

// The folder in which a save to `path` makes its temporary: the folder of the
// file a symbolic link points at, as the save itself resolves it.
std::string temporaryFolderFor(const std::string& path);

}  // namespace orvane::protocol
