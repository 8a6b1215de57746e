#pragma once

// An open file descriptor, closed when the object goes; -1 holds none.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd(other.fd) { other.fd = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }
    bool valid() const { return fd >= 0; }

    // Closes it now: 0, or the errno of a close that failed (a delayed write
    // error on some file systems).
    int close() noexcept;

private:
    int fd = -1;
};
