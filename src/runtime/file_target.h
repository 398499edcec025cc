#pragma once
// Where a file may be written: a save goes through a temporary file renamed over the target, and that
// rename would turn a device, a pipe or a folder behind the name into a plain file.
#include <string>

namespace quorvel {

// Whether a save may replace what `path` names: nothing there yet, or a regular file once symbolic
// links are followed. When the name cannot be looked at, the write itself reports why.
bool IsReplaceableFile(const std::string& path);

}  // namespace quorvel
