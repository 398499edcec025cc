#include "runtime/file_target.h"

#include <filesystem>
#include <system_error>

namespace quorvel {

bool IsReplaceableFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

}  // namespace quorvel
