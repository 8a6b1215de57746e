#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>

// The three answers of one console cycle, with their defaults.
struct Answers {
    int subdivisions = 4;
    int iterations = 1000; // the prompt suggests 5000, but 1000 is the default
    char render = 'n';

    // Only a lowercase 'n' chooses batch generation.
    bool liveGeneration() const { return render != 'n'; }
};

// Answers given on the command line: the questions they answer are not asked.
struct GivenAnswers {
    std::optional<int> subdivisions; // 0 to the most this machine can hold
    std::optional<int> iterations;   // 0 or more
    std::optional<char> render;      // 'y' (live) or 'n' (batch)

    bool all() const { return subdivisions && iterations && render; }
};

// Bytes one planet needs while it is generated and saved: land and water
// arrays, the weld's tables, and the generation's working arrays. 0 for a count whose vertices overflow.
std::uint64_t planetBytes(int subdivisions);

// Largest subdivision count whose vertex count fits an int and whose arrays
// fit in availableBytes; -1 when not even 0 fits.
int maxSubdivisions(std::uint64_t availableBytes);

// Memory the system could give this process now, in bytes.
std::uint64_t availableMemoryBytes();

// Asks the three questions on out and reads the answers from in. An answer
// is a token (answers on one line are separated by blanks); one that cannot
// be read as a whole ("3.7", "4x") keeps its default, and the rest of its
// line is thrown away. A subdivision count outside 0..maxSubdivisionCount and
// a negative iteration count are refused and asked again, as is an answer on
// a line longer than 4096 bytes, whose rest is skipped unstored. Returns
// nothing when input ends at any of the questions, or when 8 lines in a row
// were too long (or, from a source of endless NUL bytes, 8 stretches of 4096).
// The answers in given are taken as they are and their questions are not
// asked; when all three are given, in is not read.
std::optional<Answers> askQuestions(std::istream& in, std::ostream& out, int maxSubdivisionCount,
                                    const GivenAnswers& given = {});

// The figure of the triangle report: land and water triangles together.
float reportedTriangles(int subdivisions);
