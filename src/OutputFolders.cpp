#include "OutputFolders.h"

#include "SafeFile.h"
#include "SafePath.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The folder part of path, up to and with its last '/'; "" for the working folder.
std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// 0 when folder exists and new files may be made in it by this process's
// effective user (the kernel's check: a read-only file system refuses even
// root); else UNTRUSTED_LINK or the errno that says why not.
int folderRefusal(const std::string& folder)
{
    FileDescriptor found;
    if (const int failure = findFolder(folder, found))
        return failure;
    return faccessat(found.get(), ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

} // namespace

std::optional<std::string> unwritableOutputFolder(const Options& options)
{
    for (const auto& [option, path] : outputFiles(options)) {
        const std::string folder = folderOf(path);
        if (const int failure = folderRefusal(folder))
            return std::string(option) + " " + path + " cannot be saved: its folder " +
                   (folder.empty() ? "." : folder) + " cannot be written into: " + failureText(failure);
    }
    return std::nullopt;
}
