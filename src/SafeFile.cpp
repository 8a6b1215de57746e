#include "SafeFile.h"

#include "LogManager.h"
#include "SignalCleanup.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t BUFFER_BYTES = std::size_t(256) << 10;
// failure value for a target that exists but is no regular file (a device, a
// pipe): replacing it would swap a system file for ours, so it is refused.
constexpr int NOT_REGULAR = -1;
// failure value for a symlink the kernel's protected_symlinks rule would not
// follow: another user's link in a sticky world-writable folder.
constexpr int UNTRUSTED_LINK = -2;
// Name characters of the target kept in the temporary name, so that
// ".NAME.XXXXXX" stays within the 255 bytes a file name may have.
constexpr std::size_t TEMP_NAME_KEEP = 200;

std::atomic<bool> namedTemporaryFilesOnly{false};

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// The kernel's protected_symlinks rule, applied whatever the sysctl says: in
// a sticky world-writable folder a link is followed only when the running
// user or the folder's owner owns it, so another user's link in /tmp cannot
// turn a save into a write to a file of theirs choosing.
bool mayFollow(const std::string& linkPath, const struct stat& link)
{
    if (link.st_uid == geteuid())
        return true;
    struct stat folder;
    if (stat(folderOf(linkPath).c_str(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || folder.st_uid == link.st_uid;
}

// Follows the symlinks a user's path leads through to the file they name; a
// dangling link gives the path its target would have. ELOOP after 40 hops.
std::string resolveLinks(std::string path, int& failure)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        if (!mayFollow(path, status)) {
            failure = UNTRUSTED_LINK;
            return path;
        }
        char link[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), link, sizeof link);
        if (length < 0 || std::size_t(length) >= sizeof link) {
            failure = length < 0 ? errno : ENAMETOOLONG;
            return path;
        }
        const std::filesystem::path target(std::string(link, std::size_t(length)));
        path = target.is_absolute() ? target.string() : (std::filesystem::path(path).parent_path() / target).string();
    }
    failure = ELOOP;
    return path;
}

// Six characters that differ between processes and between calls.
std::string randomSuffix()
{
    static std::atomic<unsigned> counter{0};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t mix = std::uint64_t(getpid()) * 0x9E3779B97F4A7C15u ^
                        std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                        (std::uint64_t(counter++) << 40);
    std::string suffix(6, 'x');
    for (char& c : suffix) {
        mix = mix * 6364136223846793005u + 1442695040888963407u;
        c = letters[(mix >> 33) % 62];
    }
    return suffix;
}

// Tries fresh names ".NAME.XXXXXX" in folder until make(path), which
// returns 0 or an errno, does not fail with EEXIST; its result. watched: the
// signal handler is told each name before it is tried.
template <class Make>
int underFreshName(const std::string& folder, const std::string& name, std::string& tempPath, bool watched,
                   const Make& make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "/." + name.substr(0, TEMP_NAME_KEEP) + "." + randomSuffix();
        if (watched)
            signalcleanup::pointAt(tempPath);
        const int error = make(tempPath);
        if (error == 0)
            return 0;
        if (watched)
            signalcleanup::pointAt("");
        if (error != EEXIST) {
            tempPath.clear();
            return error;
        }
    }
    tempPath.clear();
    return EEXIST;
}

std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A file in folder that has no name until linkUnnamed gives it one, so that
// nothing is left whatever ends the process first. -1 with errno set;
// EOPNOTSUPP, EISDIR or EINVAL where the file system or the kernel has no
// such files, or /proc (through which it gets its name) is missing.
int createUnnamed(const std::string& folder, unsigned mode)
{
    const int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    struct stat status;
    if (fd >= 0 && lstat(descriptorPath(fd).c_str(), &status) != 0) {
        close(fd);
        errno = EOPNOTSUPP;
        return -1;
    }
    return fd;
}

// Gives an unnamed file the name path; EEXIST when anything has that name
// (linkat never replaces), or another errno.
int linkUnnamed(int fd, const std::string& path)
{
    return linkat(AT_FDCWD, descriptorPath(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Makes a directory entry durable after a rename; a folder that cannot be
// synced (some file systems refuse) changes nothing about the file itself.
void syncFolder(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// renameat2(RENAME_NOREPLACE), or link() and unlink() where the file system
// lacks it; EEXIST when to is taken, by anything at all.
int moveWithoutReplacing(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    unlink(from.c_str());
    return 0;
}

} // namespace

SaveTarget SaveTarget::replacing(const std::string& path)
{
    SaveTarget target;
    target.path = path;
    return target;
}

SaveTarget SaveTarget::numbered(const std::string& prefix, const std::string& suffix, int first, int last)
{
    SaveTarget target;
    target.first = std::max(first, 1);
    target.last = last;
    target.prefix = prefix;
    target.suffix = suffix;
    target.isNumbered = true;
    return target;
}

int SaveTarget::firstFreeNumber(const std::string& prefix, const std::vector<std::string>& suffixes)
{
    struct stat status;
    int n = 1;
    for (std::size_t free = 0; free < suffixes.size() && n <= 1000000;) {
        if (lstat((prefix + std::to_string(n) + suffixes[free]).c_str(), &status) == 0) {
            ++n;
            free = 0;
        } else {
            ++free;
        }
    }
    return n;
}

std::string SaveTarget::name() const
{
    if (!isNumbered)
        return path;
    struct stat status;
    std::string candidate;
    for (int n = first; n <= last; ++n) {
        candidate = prefix + std::to_string(n) + suffix;
        if (lstat(candidate.c_str(), &status) != 0)
            break;
    }
    return candidate;
}

std::string SaveTarget::folder() const
{
    int ignored = 0;
    return folderOf(isNumbered ? prefix : resolveLinks(path, ignored));
}

SafeFile::SafeFile(const SaveTarget& given) : target(given), buffer(new char[BUFFER_BYTES])
{
    std::string name = std::filesystem::path(given.prefix + given.suffix).filename().string();
    if (!given.isNumbered) {
        target.path = resolveLinks(given.path, failure);
        if (failure == 0)
            noteReplaced();
        name = std::filesystem::path(target.path).filename().string();
    }
    if (failure != 0)
        return;
    signalSlot = signalcleanup::claim();
    try {
        openTemp(name);
    } catch (...) { // no destructor runs for a constructor that throws
        if (signalSlot)
            signalcleanup::release();
        throw;
    }
}

SafeFile::~SafeFile()
{
    if (fd >= 0)
        close(fd);
    if (!tempPath.empty() && finalPath.empty())
        unlink(tempPath.c_str());
    if (signalSlot)
        signalcleanup::release();
}

// What the new file takes over from the one it replaces; a folder, a device
// or a pipe in the target's place is refused.
void SafeFile::noteReplaced()
{
    struct stat status;
    if (stat(target.path.c_str(), &status) != 0)
        return; // nothing there yet
    if (!S_ISREG(status.st_mode)) {
        failure = S_ISDIR(status.st_mode) ? EISDIR : NOT_REGULAR;
        return;
    }
    replaced = {true, unsigned(status.st_mode & 0777), unsigned(status.st_uid), unsigned(status.st_gid),
                static_cast<unsigned long>(status.st_nlink)};
}

// An unnamed file where the file system has them, else a named one. Over an
// old file it starts as 0600, so that the new data is never readable by more
// users than the old; the old mode is given at commit.
void SafeFile::openTemp(const std::string& name)
{
    const std::string folder = folderOf(target.isNumbered ? target.prefix : target.path);
    const unsigned mode = replaced.exists ? 0600 : 0666; // less the umask
    if (!namedTemporaryFilesOnly) {
        fd = createUnnamed(folder, mode);
        unnamed = fd >= 0;
        if (unnamed || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
            failure = unnamed ? 0 : errno;
            return;
        }
    }
    failure = underFreshName(folder, name, tempPath, signalSlot, [&](const std::string& path) {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        return fd >= 0 ? 0 : errno;
    });
}

void SafeFile::write(const void* data, std::size_t size) noexcept
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && failure == 0) {
        if (used == BUFFER_BYTES)
            flush();
        const std::size_t part = std::min(size, BUFFER_BYTES - used);
        std::memcpy(buffer.get() + used, bytes, part);
        used += part;
        bytes += part;
        size -= part;
    }
}

void SafeFile::fail(int error) noexcept
{
    if (failure == 0)
        failure = error;
}

// EFBIG (a file size limit) is a failure like ENOSPC: the program ignores
// SIGXFSZ, so the write returns instead of ending the process.
void SafeFile::flush() noexcept
{
    for (std::size_t done = 0; done < used && failure == 0;) {
        const ssize_t written = ::write(fd, buffer.get() + done, used - done);
        if (written < 0 && errno != EINTR)
            failure = errno;
        else if (written == 0)
            failure = EIO;
        else if (written > 0)
            done += std::size_t(written);
    }
    used = 0;
}

// Best effort: a file system without Unix owners or modes refuses, and the
// new file then keeps its 0600, never more open than the old one. Only root
// may give a file away.
void SafeFile::giveOldAttributes() noexcept
{
    if (!replaced.exists)
        return;
    if (geteuid() == 0 && fchown(fd, replaced.owner, replaced.group) != 0)
        return; // root's and 0600 rather than the old mode with root as owner
    fchmod(fd, replaced.mode);
}

bool SafeFile::commit()
{
    if (fd < 0)
        return false;
    flush();
    if (failure == 0)
        giveOldAttributes(); // before the fsync, which makes them durable too
    if (failure == 0 && fsync(fd) != 0)
        failure = errno;
    if (failure == 0 && unnamed) {
        if (target.isNumbered)
            placeNumbered(); // straight to its name: nothing to rename
        else
            failure = underFreshName(folderOf(target.path), std::filesystem::path(target.path).filename().string(),
                                     tempPath, signalSlot, [&](const std::string& path) { return linkUnnamed(fd, path); });
    }
    if (close(fd) != 0 && failure == 0)
        failure = errno;
    fd = -1;
    if (failure == 0 && target.isNumbered && !unnamed)
        placeNumbered();
    else if (failure == 0 && !target.isNumbered)
        replaceTarget();
    if (failure != 0 && !finalPath.empty()) { // linked to its number, then the close failed
        unlink(finalPath.c_str());
        finalPath.clear();
    }
    if (failure != 0)
        return false;
    syncFolder(folderOf(finalPath));
    return true;
}

void SafeFile::placeNumbered()
{
    // Beyond a million names something else is wrong; say the name is taken.
    for (int n = target.first; n <= target.last; ++n) {
        const std::string name = target.prefix + std::to_string(n) + target.suffix;
        const int error = unnamed ? linkUnnamed(fd, name) : moveWithoutReplacing(tempPath, name);
        if (error == 0) {
            finalPath = name;
            if (signalSlot)
                signalcleanup::pointAt(""); // the temporary name is gone
            return;
        }
        if (error != EEXIST) {
            failure = error;
            return;
        }
    }
    failure = EEXIST;
}

// Renames the temporary file onto the target, and says when the old file
// lives on under other names: those hard links still hold the old planet.
void SafeFile::replaceTarget()
{
    if (std::rename(tempPath.c_str(), target.path.c_str()) != 0) {
        failure = errno;
        return;
    }
    finalPath = target.path;
    if (signalSlot)
        signalcleanup::pointAt("");
    if (replaced.links < 2)
        return;
    const unsigned long others = replaced.links - 1;
    try {
        ORB_LOG(Warning, "\"%s\" is a new file now; its %lu other name%s (hard link%s) keep%s the old planet.",
                target.path.c_str(), others, others == 1 ? "" : "s", others == 1 ? "" : "s", others == 1 ? "s" : "");
    } catch (...) { // the file is in place; a record that cannot be made changes nothing about it
    }
}

void useNamedTemporaryFilesOnly(bool namedOnly) { namedTemporaryFilesOnly = namedOnly; }

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

std::string failureText(int failure)
{
    if (failure == UNTRUSTED_LINK)
        return "not following a symlink another user owns in a sticky world-writable folder";
    return failure == NOT_REGULAR ? "not a regular file" : std::strerror(failure);
}

std::string writeErrorText(const std::string& path, int failure)
{
    return "cannot write \"" + path + "\": " + failureText(failure);
}
