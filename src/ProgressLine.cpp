#include "ProgressLine.h"

#include "Console.h"
#include "Landscape.h"

#include <cstdio>

ProgressLine::ProgressLine(int units) : units(units), step(progressStep(units)) {}

ProgressLine::~ProgressLine()
{
    if (next > 0 && !ended) {
        std::printf("\n");
        flushConsole();
    }
}

void ProgressLine::advance(std::int64_t done, std::int64_t total)
{
    while (next < units && done * units >= next * total) {
        printProgress(static_cast<int>(next * 100 / units));
        next += step;
    }
}

void ProgressLine::end()
{
    advance(1, 1);
    std::printf("100%%\n");
    flushConsole();
    ended = true;
}
