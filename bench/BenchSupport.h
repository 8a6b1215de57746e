#pragma once

#include "Landscape.h"
#include "Planet.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <unistd.h>

// What the benchmarks share: standard output kept out of their tables, and
// planets made from a fixed seed.

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
