#include "Console.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {
std::atomic<bool> failureReported{false};
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
                             "status 1.\n", flushed ? "an earlier write failed" : std::strerror(error));
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
    return std::fputc(c, stdout) == EOF ? traits_type::eof() : c;
}

std::streamsize ConsoleStreams::Output::xsputn(const char* text, std::streamsize count)
{
    return static_cast<std::streamsize>(std::fwrite(text, 1, static_cast<std::size_t>(count), stdout));
}

int ConsoleStreams::Output::sync()
{
    return flushConsole() ? 0 : -1;
}
