#include "ResourcePath.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::vector<std::string> resourceFolders()
{
    std::vector<std::string> folders{""};
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return folders;
    const fs::path folder = program.parent_path();
    folders.push_back(folder.string());
    folders.push_back((folder.parent_path() / "share" / "orbivane").string());
    return folders;
}

std::vector<std::string> resourcePaths(const std::vector<std::string>& relatives, const std::vector<std::string>& folders)
{
    std::string looked;
    for (const std::string& folder : folders) {
        std::vector<std::string> paths;
        for (const std::string& relative : relatives)
            paths.push_back(folder.empty() ? relative : (fs::path(folder) / relative).string());
        const bool all = std::all_of(paths.begin(), paths.end(), [](const std::string& path) {
            std::error_code error;
            return fs::is_regular_file(path, error);
        });
        if (all)
            return paths;
        std::error_code error;
        looked += (looked.empty() ? "" : ", ") + fs::absolute(folder.empty() ? "." : folder, error).string();
    }
    std::string names;
    for (const std::string& relative : relatives)
        names += (names.empty() ? "" : ", ") + relative;
    std::fprintf(stderr, "Orbivane: cannot find %s in one place; looked in %s\n", names.c_str(), looked.c_str());
    return relatives;
}
