#pragma once

#include <cstdint>
#include <memory>
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

// A program started in the background with its output collected in files;
// killed if still running when destroyed. Its standard input is either the
// whole input string at once, or (interactive) a pipe fed by send().
class BackgroundProgram {
public:
    BackgroundProgram(const std::vector<std::string>& argv, const std::string& input,
                      const std::vector<std::string>& environment = {}, bool interactive = false);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    void send(const std::string& text); // interactive only
    void closeInput();                  // interactive only: end of input

    // Exit status once it ended within timeoutSeconds; -1 on a timeout or a signal.
    int waitForExit(double timeoutSeconds);
    bool running();
    std::string out() const;
    std::string err() const;
    int pid() const { return child; }
    long residentKib() const; // now, from /proc
    long peakKib() const { return peakResidentKib; } // after the exit

private:
    int child = -1;
    int status = -1;
    int inputPipe = -1;
    bool ended = false;
    long peakResidentKib = 0;
    std::string dir;
};

// What a binary PLY the program wrote holds: its first comment (the header's), each vertex's
// first three properties (x, y, z) and the faces' indices. whole is false,
// and the rest empty, when the body's length disagrees with the header.
struct PlyFile {
    std::string comment;
    std::vector<float> xyz;
    std::vector<std::uint32_t> faces;
    bool whole = false;
};
PlyFile readPlyFile(const std::string& path);

// A planet of a fixed seed, not live, its console output kept off the test's.
class Planet;
std::unique_ptr<Planet> quietPlanet(std::uint32_t seed, int subdivisions, int iterations);
