#include "OldFile.h"

#include "FileDescriptor.h"
#include "LogManager.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

constexpr const char* ACL_ATTRIBUTE = "system.posix_acl_access";

// No list there, or none possible: the mode says it all.
bool noList(int error) { return error == ENODATA || error == ENOTSUP; }

// The access list of the file open as fd (O_PATH, so through /proc), or
// the errno that kept it from being read.
int readList(int fd, std::string& list)
{
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 3; ++attempt) { // it may grow between the two calls
        const ssize_t size = getxattr(path.c_str(), ACL_ATTRIBUTE, nullptr, 0);
        if (size < 0)
            return noList(errno) ? 0 : errno;
        list.resize(std::size_t(size));
        const ssize_t length = getxattr(path.c_str(), ACL_ATTRIBUTE, list.data(), list.size());
        if (length >= 0) {
            list.resize(std::size_t(length));
            return 0;
        }
        if (errno != ERANGE)
            return noList(errno) ? (list.clear(), 0) : errno;
    }
    return ERANGE;
}

} // namespace

int OldFile::read(int folder, const std::string& name)
{
    const FileDescriptor file(openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (!file.valid())
        return errno == ENOENT ? 0 : errno;
    if (fstat(file.get(), &status) != 0)
        return errno;
    if (!S_ISREG(status.st_mode))
        return S_ISDIR(status.st_mode) ? EISDIR : NOT_REGULAR;
    exists = true;
    mode = unsigned(status.st_mode & 0777);
    owner = unsigned(status.st_uid);
    group = unsigned(status.st_gid);
    links = static_cast<unsigned long>(status.st_nlink);
    aclUnread = readList(file.get(), acl);
    return 0;
}

void OldFile::giveTo(int fd, const std::string& name) const noexcept
{
    if (!exists)
        return;
    if (geteuid() == 0 && fchown(fd, owner, group) != 0)
        return; // root's and 0600 rather than the old mode with root as owner
    if (fchmod(fd, mode) != 0)
        return;
    // A list the folder's default gave the new file goes too, where the old had none.
    int error = aclUnread;
    if (error == 0 && acl.empty())
        error = fremovexattr(fd, ACL_ATTRIBUTE) == 0 || noList(errno) ? 0 : errno;
    else if (error == 0)
        error = fsetxattr(fd, ACL_ATTRIBUTE, acl.data(), acl.size(), 0) == 0 ? 0 : errno;
    if (error == 0 || fchmod(fd, mode & 0700) != 0)
        return;
    try {
        ORB_LOG(Warning, "\"%s\" is open to its owner only: the old file's access control list could not be carried "
                         "over (%s).", name.c_str(), std::strerror(error));
    } catch (...) { // the file stays as safe as it is; a record that cannot be made changes nothing about it
    }
}
