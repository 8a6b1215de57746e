#include "StandardDescriptors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

int openClosedStandardDescriptors()
{
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        // Usually lands on this descriptor, the lowest free one; moved there otherwise.
        const int opened = open("/dev/null", descriptor == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened < 0)
            return errno;
        if (opened == descriptor)
            continue;
        const int moved = dup2(opened, descriptor);
        const int error = errno;
        close(opened);
        if (moved < 0)
            return error;
    }
    return 0;
}
