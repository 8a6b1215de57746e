#include "ResourcePath.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string resourcePath(const std::string& relative)
{
    std::error_code error;
    if (fs::exists(relative, error))
        return relative;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return relative;
    const fs::path installed = program.parent_path().parent_path() / "share" / "orbivane" / relative;
    if (fs::exists(installed, error))
        return installed.string();
    return relative;
}
