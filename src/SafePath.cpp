#include "SafePath.h"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The kernel's own limit of links followed in one path.
constexpr int MAX_LINKS = 40;

// The walk so far: the folder reached and the components still to go.
struct Walk {
    FileDescriptor folder;
    std::deque<std::string> rest;
    int links = 0;
};

int openFolder(int at, const char* name)
{
    return openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Puts the components of path in front of what is left, empty ones dropped.
void putInFront(std::deque<std::string>& rest, const std::string& path)
{
    std::deque<std::string> parts;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    rest.insert(rest.begin(), parts.begin(), parts.end());
}

// Follows the link open as linkFd (O_PATH, the link itself, so that its owner
// and its text belong to one link) in walk.folder: its target goes in front
// of what is left; target gets its text.
int follow(Walk& walk, int linkFd, const struct stat& link, std::string& target)
{
    struct stat folder;
    if (++walk.links > MAX_LINKS)
        return ELOOP;
    if (fstat(walk.folder.get(), &folder) != 0)
        return errno;
    if (!trustedIn(link.st_uid, folder))
        return UNTRUSTED_LINK;
    char text[PATH_MAX];
    const ssize_t length = readlinkat(linkFd, "", text, sizeof text);
    if (length < 0)
        return errno;
    if (length == 0 || std::size_t(length) >= sizeof text)
        return length == 0 ? ENOENT : ENAMETOOLONG;
    target.assign(text, std::size_t(length));
    if (target[0] == '/') {
        walk.folder = FileDescriptor(openFolder(AT_FDCWD, "/"));
        if (!walk.folder.valid())
            return errno;
    }
    putInFront(walk.rest, target);
    return 0;
}

// Enters name, a folder or a link to one (followed under the rule).
int enter(Walk& walk, const std::string& name)
{
    FileDescriptor next(openFolder(walk.folder.get(), name.c_str()));
    if (next.valid()) {
        walk.folder = std::move(next);
        return 0;
    }
    if (errno != ENOTDIR && errno != ELOOP)
        return errno;
    const FileDescriptor link(openat(walk.folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat status;
    if (!link.valid() || fstat(link.get(), &status) != 0)
        return errno;
    if (!S_ISLNK(status.st_mode))
        return ENOTDIR;
    std::string target;
    return follow(walk, link.get(), status, target);
}

int startWalk(Walk& walk, const std::string& path)
{
    if (path.empty())
        return ENOENT;
    walk.folder = FileDescriptor(openFolder(AT_FDCWD, path[0] == '/' ? "/" : "."));
    putInFront(walk.rest, path);
    return walk.folder.valid() ? 0 : errno;
}

} // namespace

bool trustedIn(uid_t owner, const struct stat& folder)
{
    if (owner == geteuid())
        return true;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || folder.st_uid == owner;
}

const char* untrustedText(int failure)
{
    if (failure == UNTRUSTED_LINK)
        return "not following a symlink another user owns in a sticky world-writable folder";
    if (failure == UNTRUSTED_FILE)
        return "not writing into a file another user owns in a sticky world-writable folder";
    return nullptr;
}

int findFolder(const std::string& path, FileDescriptor& folder)
{
    Walk walk;
    if (const int error = startWalk(walk, path.empty() ? "." : path))
        return error;
    while (!walk.rest.empty()) {
        const std::string name = walk.rest.front();
        walk.rest.pop_front(); // before a link's target goes in front
        if (const int error = enter(walk, name))
            return error;
    }
    folder = std::move(walk.folder);
    return 0;
}

int findPlace(const std::string& path, bool followLast, FilePlace& place)
{
    Walk walk;
    if (const int error = startWalk(walk, path))
        return error;
    std::string shown = path;
    bool folderMeant = path.back() == '/';
    while (!walk.rest.empty()) {
        const std::string name = walk.rest.front();
        walk.rest.pop_front();
        if (!walk.rest.empty()) {
            if (const int error = enter(walk, name))
                return error;
            continue;
        }
        if (name == "." || name == "..")
            return EISDIR;
        const FileDescriptor link(openat(walk.folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status {};
        const bool absent = !link.valid() && errno == ENOENT;
        if (!absent && (!link.valid() || fstat(link.get(), &status) != 0))
            return errno;
        if (absent || !S_ISLNK(status.st_mode) || !followLast) {
            if (folderMeant)
                return EISDIR;
            place = {std::move(walk.folder), name, shown};
            return 0;
        }
        std::string target;
        if (const int refused = follow(walk, link.get(), status, target))
            return refused;
        const std::filesystem::path text(target);
        shown = text.is_absolute() ? target : (std::filesystem::path(shown).parent_path() / text).string();
        folderMeant = target.back() == '/';
    }
    return EISDIR; // the last link led to "/"
}
