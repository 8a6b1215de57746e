#include "NewFile.h"

#include "SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <cctype>
#include <chrono>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Name characters of the target kept in a hidden name, so that
// ".NAME.XXXXXX" stays within the 255 bytes a file name may have.
constexpr std::size_t HIDDEN_NAME_KEEP = 200;

std::atomic<bool> namedOnly{false};

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

std::string descriptorPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// An unnamed file in folder; -1 with errno set. EOPNOTSUPP, EISDIR or EINVAL
// where the file system or the kernel has no such files, or /proc (through
// which it gets its name) is missing.
int createUnnamed(int folder, unsigned mode)
{
    const int fd = openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    struct stat status;
    if (fd >= 0 && lstat(descriptorPath(fd).c_str(), &status) != 0) {
        close(fd);
        errno = EOPNOTSUPP;
        return -1;
    }
    return fd;
}

// renameat2(RENAME_NOREPLACE) in folder, or link and unlink where the file
// system lacks it; EEXIST when `to` is taken, by anything at all.
int moveWithoutReplacing(int folder, const std::string& from, const std::string& to)
{
    if (renameat2(folder, from.c_str(), folder, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (linkat(folder, from.c_str(), folder, to.c_str(), 0) != 0)
        return errno;
    unlinkat(folder, from.c_str(), 0);
    return 0;
}

// Takes an open file description lock (type F_RDLCK or F_WRLCK) on the whole
// file, without waiting: 0, EAGAIN where another holds one, or another errno
// (ENOLCK, or EINVAL where the file system has no such locks).
int lockWhole(int fd, short type)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : (errno == EACCES ? EAGAIN : errno);
}

// Whether name is "." + stem + "." and six letters or digits: a hidden name
// this program makes for stem.
bool isHiddenNameOf(const std::string& stem, const char* name)
{
    const std::size_t length = std::strlen(name);
    if (length != stem.size() + 8 || name[0] != '.' || stem.compare(0, stem.size(), name + 1, stem.size()) != 0 ||
        name[stem.size() + 1] != '.')
        return false;
    for (std::size_t at = stem.size() + 2; at < length; ++at)
        if (!std::isalnum(static_cast<unsigned char>(name[at])))
            return false;
    return true;
}

// Whether status is the same file as the one seen, and a regular file of this user's.
bool sameOwnFile(const struct stat& status, const struct stat& seen)
{
    return S_ISREG(status.st_mode) && status.st_uid == geteuid() && status.st_dev == seen.st_dev &&
           status.st_ino == seen.st_ino;
}

// Removes the hidden file `name` in folder where it is a regular file of
// this user's that no running save holds (its lock is free), and the name
// still leads to the file tested. Looked at before it is opened, so that no
// device or pipe is ever opened. Whether it was removed.
bool removeIfLeft(int folder, const char* name)
{
    struct stat seen {}, opened {}, named {};
    if (fstatat(folder, name, &seen, AT_SYMLINK_NOFOLLOW) != 0 || !sameOwnFile(seen, seen))
        return false;
    const FileDescriptor file(openat(folder, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.valid() || fstat(file.get(), &opened) != 0 || !sameOwnFile(opened, seen) ||
        lockWhole(file.get(), F_WRLCK) != 0 || fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !sameOwnFile(named, seen))
        return false;
    return unlinkat(folder, name, 0) == 0;
}

// 0 for a regular file at name, EISDIR for a folder, EEXIST for anything else.
int notRegular(int folder, const std::string& name)
{
    struct stat status {};
    if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode))
        return 0;
    return S_ISDIR(status.st_mode) ? EISDIR : EEXIST;
}

} // namespace

NewFile::~NewFile()
{
    const signalcleanup::Transition step;
    if (!hidden.empty())
        unlinkat(folder, hidden.c_str(), 0);
}

// Tries fresh hidden names until make(name), 0 or an errno, does not fail
// with EEXIST; the handler is told each name before it is tried.
template <class Make>
int NewFile::underHiddenName(std::string& name, const Make& make)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = "." + stem + "." + randomSuffix();
        const signalcleanup::Transition step; // a name another made (EEXIST) is never the handler's to remove
        const int error = make(name);
        if (error == 0) {
            signalcleanup::pointAt(signalEntry, folder, name);
            signalcleanup::afterStep();
            return 0;
        }
        if (error != EEXIST) {
            name.clear();
            return error;
        }
    }
    name.clear();
    return EEXIST;
}

int NewFile::create(int in, const std::string& name, unsigned mode, int entry)
{
    folder = in;
    stem = name.substr(0, HIDDEN_NAME_KEEP);
    signalEntry = entry;
    if (!namedOnly) {
        fd = FileDescriptor(createUnnamed(folder, mode));
        unnamed = fd.valid();
        if (unnamed)
            lockWhole(fd.get(), F_WRLCK); // before it has any name
        if (unnamed || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
            return unnamed ? 0 : errno;
    }
    return underHiddenName(hidden, [&](const std::string& path) {
        fd = FileDescriptor(openat(folder, path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (!fd.valid())
            return errno;
        if (lockWhole(fd.get(), F_WRLCK) == EAGAIN) { // a later save found it before the lock: it removes the name
            fd = FileDescriptor();
            return EEXIST;
        }
        return 0;
    });
}

// An unnamed file gets a hidden name, so that it can be renamed.
int NewFile::giveHiddenName()
{
    if (!hidden.empty())
        return 0;
    return underHiddenName(hidden, [&](const std::string& path) {
        const std::string source = descriptorPath(fd.get());
        return linkat(AT_FDCWD, source.c_str(), folder, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
    });
}

int NewFile::placeAt(const std::string& name, int set)
{
    const signalcleanup::Transition step;
    int error = 0;
    if (!hidden.empty())
        error = moveWithoutReplacing(folder, hidden, name);
    else if (linkat(AT_FDCWD, descriptorPath(fd.get()).c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) != 0)
        error = errno;
    if (error != 0)
        return error;
    hidden.clear();
    placed = name;
    created = true;
    signalcleanup::pointAtPlaced(signalEntry, set, folder, "", placed, true);
    signalcleanup::afterStep();
    return 0;
}

// Kept: the old and the new file swap names in one step (RENAME_EXCHANGE),
// or, where the file system cannot, the old one gets a second name first.
int NewFile::replace(const std::string& name, bool oldThere, bool keepOld, int set)
{
    const signalcleanup::Transition step; // from the rename until the handler knows which file has which name
    if (const int error = giveHiddenName())
        return error;
    keepOld = keepOld && oldThere;
    if (keepOld) // held until the kept name goes, so that no later save takes it for one left behind
        if ((keptLock = FileDescriptor(openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)))
                .valid())
            lockWhole(keptLock.get(), F_RDLCK);
    if (keepOld && renameat2(folder, hidden.c_str(), folder, name.c_str(), RENAME_EXCHANGE) == 0) {
        signalcleanup::afterStep();
        if (const int error = notRegular(folder, hidden)) { // a folder or a link put there since: swapped back
            renameat2(folder, hidden.c_str(), folder, name.c_str(), RENAME_EXCHANGE);
            return error;
        }
        kept = hidden;
    } else {
        if (keepOld && errno == ENOENT)
            oldThere = keepOld = false; // gone meanwhile: nothing to keep
        else if (keepOld && errno != EINVAL && errno != ENOSYS)
            return errno;
        if (keepOld) {
            const int error = underHiddenName(kept, [&](const std::string& path) {
                return linkat(folder, name.c_str(), folder, path.c_str(), 0) == 0 ? 0 : errno;
            });
            if (error != 0)
                return error;
        }
        const int error = renameat(folder, hidden.c_str(), folder, name.c_str()) == 0 ? 0 : errno;
        signalcleanup::afterStep();
        if (error != 0) {
            if (!kept.empty() && unlinkat(folder, kept.c_str(), 0) == 0)
                kept.clear();
            signalcleanup::pointAt(signalEntry, folder, hidden);
            return error;
        }
    }
    hidden.clear();
    placed = name;
    created = !oldThere;
    signalcleanup::pointAtPlaced(signalEntry, set, folder, kept, placed, created);
    return 0;
}

int NewFile::undo() noexcept
{
    const signalcleanup::Transition step;
    int error = 0;
    if (!kept.empty())
        error = renameat(folder, kept.c_str(), folder, placed.c_str()) == 0 ? 0 : errno;
    else if (created)
        error = unlinkat(folder, placed.c_str(), 0) == 0 ? 0 : errno;
    signalcleanup::afterStep();
    signalcleanup::pointAt(signalEntry, folder, "");
    if (error == 0) {
        kept.clear();
        keptLock = FileDescriptor();
    }
    placed.clear();
    created = false;
    return error;
}

std::string NewFile::settle() noexcept
{
    const signalcleanup::Transition step;
    if (!kept.empty() && unlinkat(folder, kept.c_str(), 0) == 0) {
        kept.clear();
        keptLock = FileDescriptor();
    }
    signalcleanup::afterStep();
    signalcleanup::pointAt(signalEntry, folder, "");
    return kept;
}

int removeLeftHiddenFiles(int folder, const std::string& name)
{
    const std::string stem = name.substr(0, HIDDEN_NAME_KEEP);
    DIR* const entries = fdopendir(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (entries == nullptr)
        return 0;
    int removed = 0;
    while (const dirent* entry = readdir(entries))
        if (isHiddenNameOf(stem, entry->d_name) && removeIfLeft(folder, entry->d_name))
            ++removed;
    closedir(entries);
    return removed;
}

void useNamedTemporaryFilesOnly(bool namedOnly_) { namedOnly = namedOnly_; }
