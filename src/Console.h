#pragma once

#include <streambuf>

// Flushes standard output and says whether every write to it so far has
// reached it. The first failure (a full device, a file size limit) is said
// once per process on standard error; the program goes on, its console text
// lost, and its run ends with status 1. Safe from any thread.
bool flushConsole();

// While it lives, std::cin reads descriptor 0 through a buffer of its own,
// so that a long input line is skipped at the device's speed (through C's
// stdin, which std::cin shares by default, every byte costs calls), and
// std::cout writes to C's stdout, in order with printf, with every flush
// checked by flushConsole(). One per process, made before any console text.
class ConsoleStreams {
public:
    ConsoleStreams();
    ~ConsoleStreams();
    ConsoleStreams(const ConsoleStreams&) = delete;
    ConsoleStreams& operator=(const ConsoleStreams&) = delete;

private:
    class Input : public std::streambuf {
    protected:
        int_type underflow() override;

    private:
        char buffer[1 << 16]; // bytes read at most by one read(); a terminal gives a line at a time
    };

    class Output : public std::streambuf {
    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;
    };

    Input input;
    Output output;
    std::streambuf* previousInput;
    std::streambuf* previousOutput;
};
