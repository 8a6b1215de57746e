#include "SafeFile.h"

#include "LogManager.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t BUFFER_BYTES = std::size_t(256) << 10;

// Makes the folder's entries durable after a rename; a folder that cannot be
// synced (some file systems refuse) changes nothing about the file itself.
void syncFolder(int folder)
{
    const FileDescriptor entries(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (entries.valid())
        fsync(entries.get());
}

// A record that cannot be made changes nothing about the files.
template <typename... Values>
void warn(const char* format, Values... values) noexcept
{
    try {
        ORB_LOG(Warning, format, values...);
    } catch (...) {
    }
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

// Over an old file the new one starts as 0600, so that the new data is never
// readable by more users than the old; the old file's attributes come with
// prepare().
SafeFile::SafeFile(const SaveTarget& given) : target(given), buffer(new char[BUFFER_BYTES])
{
    if (given.isNumbered) {
        const std::size_t slash = given.prefix.rfind('/');
        where.name = given.prefix.substr(slash == std::string::npos ? 0 : slash + 1);
        where.path = given.prefix;
        failure = findFolder(given.prefix.substr(0, slash == std::string::npos ? 0 : slash + 1), where.folder);
    } else {
        failure = findPlace(given.path, true, where);
        if (failure == 0)
            failure = old.read(where.folder.get(), where.name);
    }
    const std::string stem = where.name + (given.isNumbered ? given.suffix : "");
    if (failure != 0)
        return;
    if (const int removed = removeLeftHiddenFiles(where.folder.get(), stem))
        ORB_LOG(Info, "Removed %d hidden file%s that an earlier save of \"%s\" left behind when it was killed.", removed,
                removed == 1 ? "" : "s", target.isNumbered ? inFolder(stem).c_str() : where.path.c_str());
    failure = file.create(where.folder.get(), stem, old.exists ? 0600 : 0666, signalEntry.get());
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
        const ssize_t written = ::write(file.descriptor(), buffer.get() + done, used - done);
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
    int number = 0;
    if (prepare() != 0 || place(number, false, -1) != 0)
        return false;
    settle();
    return true;
}

int SafeFile::prepare() noexcept
{
    if (failure == 0 && file.descriptor() < 0)
        failure = EBADF; // committed before
    if (failure != 0)
        return failure;
    flush();
    if (failure == 0)
        old.giveTo(file.descriptor(), where.path); // before the fsync, which makes them durable too
    if (failure == 0 && fsync(file.descriptor()) != 0)
        failure = errno;
    return failure;
}

// The file is closed once in place: a close that fails (a delayed write
// error) takes the placing back.
int SafeFile::place(int& number, bool keepOld, int set)
{
    failure = target.isNumbered ? placeNumbered(number, set) : file.replace(where.name, old.exists, keepOld, set);
    if (failure == 0 && !target.isNumbered)
        finalPath = where.path;
    if (failure == 0 && (failure = file.close()) != 0)
        undo();
    return failure;
}

// Beyond a million names something else is wrong; say the name is taken.
int SafeFile::placeNumbered(int& number, int set)
{
    const int first = number > 0 ? number : target.first, last = number > 0 ? number : target.last;
    for (int n = first; n <= last; ++n) {
        const int error = file.placeAt(where.name + std::to_string(n) + target.suffix, set);
        if (error == EEXIST)
            continue;
        if (error == 0) {
            number = n;
            finalPath = target.prefix + std::to_string(n) + target.suffix;
        }
        return error;
    }
    return EEXIST;
}

std::string SafeFile::inFolder(const std::string& name) const
{
    if (target.isNumbered)
        return target.prefix.substr(0, target.prefix.size() - where.name.size()) + name;
    return (std::filesystem::path(where.path).parent_path() / name).string();
}

bool SafeFile::undo() noexcept
{
    const std::string placed = finalPath, kept = file.keptName();
    const int error = file.undo();
    finalPath.clear();
    if (error != 0 && !kept.empty())
        warn("\"%s\" holds the new planet, and \"%s\" the old one: it could not be put back (%s).", placed.c_str(),
             inFolder(kept).c_str(), std::strerror(error));
    else if (error != 0)
        warn("\"%s\" holds the new planet: it could not be removed again (%s).", placed.c_str(), std::strerror(error));
    return error == 0;
}

// Says when the old file lives on under other names: those hard links still
// hold the old planet.
void SafeFile::settle() noexcept
{
    const std::string left = file.settle();
    if (!left.empty())
        warn("\"%s\" still holds the old planet of \"%s\": it could not be removed.", inFolder(left).c_str(),
             finalPath.c_str());
    syncFolder(where.folder.get());
    if (!old.exists || old.links < 2 || target.isNumbered)
        return;
    const unsigned long others = old.links - 1;
    warn("\"%s\" is a new file now; its %lu other name%s (hard link%s) keep%s the old planet.", finalPath.c_str(),
         others, others == 1 ? "" : "s", others == 1 ? "" : "s", others == 1 ? "s" : "");
}

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

std::string failureText(int failure)
{
    if (const char* refusal = untrustedText(failure))
        return refusal;
    return failure == NOT_REGULAR ? "not a regular file" : std::strerror(failure);
}

std::string writeErrorText(const std::string& path, int failure)
{
    return "cannot write \"" + path + "\": " + failureText(failure);
}
