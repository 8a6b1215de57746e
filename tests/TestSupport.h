#pragma once

#include <string>
#include <vector>

// A fresh directory under /tmp that is the working directory while the
// object lives; removed with its contents afterwards.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    const std::string& path() const { return dir; }

private:
    std::string dir;
    std::string previous;
};

std::string readFile(const std::string& path);
std::vector<std::string> readLines(const std::string& path);

struct CommandResult {
    int status = -1;  // exit status, or -1 when the command did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs a shell command line with input on its standard input.
CommandResult runCommand(const std::string& command, const std::string& input = "");

// Quotes text for a POSIX shell.
std::string shellQuote(const std::string& text);
