#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

struct Options {
    std::optional<std::uint32_t> seed; // every generation's seed, instead of the time
    std::string exportPath;            // .ply or .obj written after each generation; empty: none
};

struct ParsedCommandLine {
    Options options;
    // -1: run the program; otherwise exit at once with this status (0 after
    // --help or --version, 2 after a bad option with the usage on err).
    int exitStatus = -1;
};

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

std::string usageText();
