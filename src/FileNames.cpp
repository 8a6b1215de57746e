#include "FileNames.h"

bool hasExtension(std::string_view path, std::string_view extension)
{
    const std::string_view name = path.substr(path.find_last_of('/') + 1);
    if (name.size() <= extension.size())
        return false;
    const std::string_view end = name.substr(name.size() - extension.size());
    for (std::size_t i = 0; i < end.size(); ++i) {
        const char c = end[i] >= 'A' && end[i] <= 'Z' ? char(end[i] - 'A' + 'a') : end[i];
        if (c != extension[i])
            return false;
    }
    return true;
}
