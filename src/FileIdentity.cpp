#include "FileIdentity.h"

#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string inodeText(const struct stat& status)
{
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

// Follows a dangling symlink at path (up to 40 hops) to the path its target
// would have.
fs::path danglingTarget(fs::path path)
{
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++hop) {
        const fs::path target = fs::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

} // namespace

std::string fileIdentity(const std::string& given)
{
    struct stat status;
    if (stat(given.c_str(), &status) == 0)
        return "file " + inodeText(status);
    const fs::path path = danglingTarget(given);
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (stat(folder.c_str(), &status) == 0)
        return "in " + inodeText(status) + " " + path.filename().string();
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return "path " + (error ? path : absolute).lexically_normal().string();
}
