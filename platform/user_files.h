// Files that are the user's own: where a program keeps the user's state,
// and directories and files that nobody else can reach.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/os_error.h"

namespace vellumar::platform {

// The directory for the user's state data (logs, histories): the one the
// user has chosen for it, else the system's usual place in the user's home.
// It need not exist yet. Empty when the user's home cannot be found.
std::optional<std::string> UserStateDirectory();

// Creates the directories above `path` that are missing, each for the user
// alone. On failure, the error, with `failedDirectory` set to the directory
// that could not be made; no error (0) when all are there.
OsError CreateParentDirectories(const std::string& path, std::string& failedDirectory);

// Opens `path` for appending, creating it for the user alone when it is not
// there. The file is not handed on to programs that this one starts. nullptr
// on failure, with the reason in `error` when one is given.
std::FILE* OpenPrivateAppend(const std::string& path, OsError* error = nullptr);

}  // namespace vellumar::platform
