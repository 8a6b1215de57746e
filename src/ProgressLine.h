#pragma once

#include <cstdint>

// A console progress line of a long batch step (generation, erosion):
// "0%..  5%..  " and so on, an entry a twentieth of units apart (at least
// one unit), each printed once the work done reaches it, then "100%".
class ProgressLine {
public:
    explicit ProgressLine(int units);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A step that failed or was stopped part way still ends the line it began.
    ~ProgressLine();

    // done out of total of the whole step's work (total > 0).
    void advance(std::int64_t done, std::int64_t total);

    // The last entries, "100%", and the line's end.
    void end();

private:
    std::int64_t units;
    std::int64_t step;
    std::int64_t next = 0; // the unit whose entry comes next
    bool ended = false;
};
