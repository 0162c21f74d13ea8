#pragma once

// What Glimmet keeps on disk names the user's prompts, commands and paths, so its folders and
// files are for the user alone.

#include <optional>
#include <string>
#include <vector>

#include "base/result.hpp"

namespace glimmet {

// Creates `path` and its missing parents, each made here with mode 0700 whatever the umask;
// folders that already exist keep their mode.
Status createPrivateDirectories(const std::string& path);

// Why `directory` cannot be trusted with something only the user may reach: it is a symbolic
// link, is not a directory, belongs to another user, or can be written by group or others.
// Absent when only the user controls it. A missing directory is reported too.
std::optional<std::string> untrustedDirectoryReason(const std::string& directory);

// Takes the group and other permission bits off each existing path that belongs to the user,
// and returns the paths it changed. Links are not followed, so a file that points elsewhere is
// never changed through them.
std::vector<std::string> removeOthersAccess(const std::vector<std::string>& paths);

}  // namespace glimmet
