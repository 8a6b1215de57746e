#include "SafeFile.h"

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
// Name characters of the target kept in the temporary name, so that
// ".NAME.XXXXXX" stays within the 255 bytes a file name may have.
constexpr std::size_t TEMP_NAME_KEEP = 200;

// The temporary file a SIGINT or SIGTERM handler removes: one at a time,
// process-wide. Written before the handler is installed and read only by it.
char signalTempPath[PATH_MAX];
volatile std::sig_atomic_t signalTempArmed = 0;
std::atomic<bool> signalSlotTaken{false};
struct sigaction previousActions[2];
bool handlerInstalled[2] = {false, false};
constexpr int HANDLED_SIGNALS[2] = {SIGINT, SIGTERM};

// Async-signal-safe: unlink, sigaction and raise only.
void removeTempAndReraise(int signal)
{
    if (signalTempArmed)
        unlink(signalTempPath);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

// Takes the process-wide slot; false when another file holds it. Only
// signals still at their default action get the handler, so a program that
// ignores Ctrl-C keeps ignoring it.
bool claimSignalCleanup()
{
    if (signalSlotTaken.exchange(true))
        return false;
    signalTempArmed = 0;
    struct sigaction action {};
    action.sa_handler = removeTempAndReraise;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 2; ++i) {
        handlerInstalled[i] = false;
        if (sigaction(HANDLED_SIGNALS[i], nullptr, &previousActions[i]) == 0 &&
            previousActions[i].sa_handler == SIG_DFL && !(previousActions[i].sa_flags & SA_SIGINFO))
            handlerInstalled[i] = sigaction(HANDLED_SIGNALS[i], &action, nullptr) == 0;
    }
    return true;
}

// The file the handler removes: set before the file is created, so that no
// moment exists where it is there and the handler does not know it; empty
// for none.
void pointSignalCleanupAt(const std::string& path)
{
    signalTempArmed = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (path.empty() || path.size() >= sizeof signalTempPath)
        return;
    std::memcpy(signalTempPath, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    signalTempArmed = 1;
}

void disarmSignalCleanup()
{
    for (int i = 0; i < 2; ++i)
        if (handlerInstalled[i])
            sigaction(HANDLED_SIGNALS[i], &previousActions[i], nullptr);
    signalTempArmed = 0;
    signalSlotTaken = false;
}

// Follows the symlinks a user's path leads through to the file they name; a
// dangling link gives the path its target would have. ELOOP after 40 hops.
std::string resolveLinks(std::string path, int& failure)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
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

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
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

// Creates ".NAME.XXXXXX" in folder exclusively, never through a symlink;
// the mode is 0666 less the umask, as for any new file. -1 with errno set.
// watched: the signal handler is told each name before it is tried.
int createTemp(const std::string& folder, const std::string& name, std::string& tempPath, bool watched)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "/." + name.substr(0, TEMP_NAME_KEEP) + "." + randomSuffix();
        if (watched)
            pointSignalCleanupAt(tempPath);
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        const int error = errno;
        if (watched)
            pointSignalCleanupAt("");
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
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

SafeFile::SafeFile(const SaveTarget& target) : target(target), buffer(new char[BUFFER_BYTES])
{
    std::string name = std::filesystem::path(target.prefix + target.suffix).filename().string();
    if (!target.isNumbered) {
        this->target.path = resolveLinks(target.path, failure);
        struct stat status;
        if (failure == 0 && stat(this->target.path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
            failure = S_ISDIR(status.st_mode) ? EISDIR : NOT_REGULAR;
        name = std::filesystem::path(this->target.path).filename().string();
    }
    if (failure != 0)
        return;
    signalSlot = claimSignalCleanup();
    try {
        fd = createTemp(this->target.folder(), name, tempPath, signalSlot);
    } catch (...) { // no destructor runs for a constructor that throws
        if (signalSlot)
            disarmSignalCleanup();
        throw;
    }
    if (fd < 0) {
        failure = errno;
        tempPath.clear();
    }
}

SafeFile::~SafeFile()
{
    if (fd >= 0)
        close(fd);
    if (!tempPath.empty() && finalPath.empty())
        unlink(tempPath.c_str());
    if (signalSlot)
        disarmSignalCleanup();
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

bool SafeFile::commit()
{
    if (fd < 0)
        return false;
    flush();
    if (failure == 0 && fsync(fd) != 0)
        failure = errno;
    if (close(fd) != 0 && failure == 0)
        failure = errno;
    fd = -1;
    if (failure == 0) {
        if (target.isNumbered)
            placeNumbered();
        else if (std::rename(tempPath.c_str(), target.path.c_str()) != 0)
            failure = errno;
        else
            finalPath = target.path;
    }
    if (failure != 0)
        return false;
    syncFolder(target.folder());
    return true;
}

bool SafeFile::placeNumbered()
{
    // Beyond a million names something else is wrong; say the name is taken.
    for (int n = target.first; n <= target.last; ++n) {
        const std::string name = target.prefix + std::to_string(n) + target.suffix;
        const int error = moveWithoutReplacing(tempPath, name);
        if (error == 0) {
            finalPath = name;
            return true;
        }
        if (error != EEXIST) {
            failure = error;
            return false;
        }
    }
    failure = EEXIST;
    return false;
}

std::string failureText(int failure)
{
    return failure == NOT_REGULAR ? "not a regular file" : std::strerror(failure);
}

std::string writeErrorText(const std::string& path, int failure)
{
    return "cannot write \"" + path + "\": " + failureText(failure);
}
