#include "FileDescriptor.h"

#include <cerrno>
#include <unistd.h>

FileDescriptor::~FileDescriptor()
{
    close();
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        close();
        fd = other.fd;
        other.fd = -1;
    }
    return *this;
}

int FileDescriptor::close() noexcept
{
    if (fd < 0)
        return 0;
    const int result = ::close(fd);
    fd = -1;
    return result == 0 ? 0 : errno;
}
