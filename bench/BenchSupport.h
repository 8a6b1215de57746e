#pragma once

#include "Landscape.h"
#include "Planet.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <iostream>
#include <memory>
#include <unistd.h>

// What the benchmarks share: standard output kept out of their tables,
// scratch folders of their own, and planets made from a fixed seed.

// Sends standard output to /dev/null while it lives, so that progress lines
// and the log's echo stay out of the table.
class QuietStdout {
public:
    QuietStdout()
    {
        std::fflush(stdout);
        std::cout.flush();
        saved = dup(STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int saved;
};

// A batch planet of seed, made without a word on standard output.
inline std::unique_ptr<Planet> quietPlanet(std::uint32_t seed, int subdivisions, int iterations)
{
    setFixedSeed(seed);
    QuietStdout quiet;
    auto planet = std::make_unique<Planet>(subdivisions, iterations, false);
    setFixedSeed(std::nullopt);
    return planet;
}

// A new folder under the system's temporary one, this run's alone (a fixed
// name would be shared with any other run), removed with what it holds.
// Empty when none could be made.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* prefix)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()))
            folder = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return folder; }

private:
    std::filesystem::path folder;
};
