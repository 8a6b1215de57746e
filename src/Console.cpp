#include "Console.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {
std::atomic<bool> failureReported{false};
// errno of the first write through std::cout that failed, 0 while none has:
// a long text is written past stdout's buffer at once, and its failure would
// otherwise be seen only later, by the error indicator, without its reason.
std::atomic<int> firstWriteError{0};

void noteWriteError()
{
    int none = 0;
    firstWriteError.compare_exchange_strong(none, errno != 0 ? errno : EIO);
}
} // namespace

bool flushConsole()
{
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno;
    // The error indicator stays set: a write lost inside printf is seen here too.
    if (flushed && !std::ferror(stdout))
        return true;
    if (!failureReported.exchange(true))
        std::fprintf(stderr, "Cannot write standard output (%s); console messages are lost, and the run ends with "
                             "status 1.\n",
                     firstWriteError != 0 ? std::strerror(firstWriteError)
                     : flushed            ? "an earlier write failed"
                                          : std::strerror(error));
    return false;
}

ConsoleStreams::ConsoleStreams()
    : previousInput(std::cin.rdbuf(&input)), previousOutput(std::cout.rdbuf(&output))
{
}

ConsoleStreams::~ConsoleStreams()
{
    std::cout.flush();
    std::cin.rdbuf(previousInput);
    std::cout.rdbuf(previousOutput);
}

// End of input at the end of the file, or at a read error (stdin's own way).
ConsoleStreams::Input::int_type ConsoleStreams::Input::underflow()
{
    ssize_t got = 0;
    do
        got = read(STDIN_FILENO, buffer, sizeof buffer);
    while (got < 0 && errno == EINTR);
    if (got <= 0)
        return traits_type::eof();
    setg(buffer, buffer, buffer + got);
    return traits_type::to_int_type(buffer[0]);
}

ConsoleStreams::Output::int_type ConsoleStreams::Output::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    if (std::fputc(c, stdout) != EOF)
        return c;
    noteWriteError();
    return traits_type::eof();
}

std::streamsize ConsoleStreams::Output::xsputn(const char* text, std::streamsize count)
{
    const std::size_t written = std::fwrite(text, 1, static_cast<std::size_t>(count), stdout);
    if (written < static_cast<std::size_t>(count))
        noteWriteError();
    return static_cast<std::streamsize>(written);
}

int ConsoleStreams::Output::sync()
{
    return flushConsole() ? 0 : -1;
}
