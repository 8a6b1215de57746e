#include "ResourcePath.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::vector<std::string> resourceCandidates(const std::string& relative)
{
    std::vector<std::string> candidates{relative};
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error)
        return candidates;
    const fs::path folder = program.parent_path();
    candidates.push_back((folder / relative).string());
    candidates.push_back((folder.parent_path() / "share" / "orbivane" / relative).string());
    return candidates;
}

std::string resourcePath(const std::string& relative)
{
    const std::vector<std::string> candidates = resourceCandidates(relative);
    std::string looked;
    for (const std::string& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error))
            return candidate;
        looked += (looked.empty() ? "" : ", ") + fs::absolute(candidate, error).string();
    }
    std::fprintf(stderr, "Orbivane: cannot find %s; looked in %s\n", relative.c_str(), looked.c_str());
    return relative;
}
