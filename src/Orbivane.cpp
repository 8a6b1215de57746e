#include "Orbivane.h"

#include "Dialogue.h"
#include "Failure.h"
#include "Landscape.h"
#include "LogManager.h"
#include "PlanetSaving.h"
#include "PlanetShaping.h"
#include "SafeFile.h"
#include "StandardDescriptors.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

std::unique_ptr<Planet> currentPlanet;
Options runOptions;

void exportFinishedPlanet(Planet& planet)
{
    settleShape(planet, runOptions);
    saveAskedFiles(planet, runOptions);
}

void releaseCurrentPlanet()
{
    if (!currentPlanet)
        return;
    stopLiveGeneration(*currentPlanet);
    exportFinishedPlanet(*currentPlanet);
    currentPlanet.reset();
}

void finishGenerationForExport()
{
    if (currentPlanet && savesAsked(runOptions))
        finishLiveGeneration(*currentPlanet);
}

namespace {
// Makes the cycle's planet; false, after saying why, when it cannot be had.
bool makePlanet(const Answers& answers)
{
    const FailureReport report{"Not enough memory for a planet with " + std::to_string(answers.subdivisions) +
                                   " subdivisions; try fewer.",
                               "Could not start the generation"};
    if (runAtBoundary([&answers] {
            currentPlanet = std::make_unique<Planet>(answers.subdivisions, answers.iterations,
                                                     answers.liveGeneration());
        }, report))
        return true;
    currentPlanet.reset();
    return false;
}
} // namespace

double monotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

CycleResult runConsoleCycle(std::istream& in, std::ostream& out, const WindowStage& windowStage)
{
    const std::optional<Answers> answers = askQuestions(in, out, maxSubdivisions(availableMemoryBytes()));
    if (!answers)
        return CycleResult::Stop;

    const int triangles = 2 * static_cast<int>(intPow(4.0f, answers->subdivisions) * 20);
    ORB_LOG(Info, "Generating planet with %d triangles and %d iterations...", triangles, answers->iterations);

    const double t0 = monotonicSeconds();
    if (!makePlanet(*answers)) {
        oweAskedFiles(runOptions);
        out << "\n\n\n\n" << std::flush;
        return CycleResult::Continue;
    }
    const double elapsed = monotonicSeconds() - t0;

    if (answers->liveGeneration())
        ORB_LOG(Info, "Opening OpenGL window and initializing OpenGL...");
    else
        ORB_LOG(Info, "Planet generation done in %f seconds, opening OpenGL window and initializing OpenGL...",
                elapsed);

    exportFinishedPlanet(*currentPlanet);

    if (!windowStage())
        return CycleResult::Stop;
    out << "\n\n\n\n" << std::flush;
    return CycleResult::Continue;
}

int orbivaneMain(int argc, char** argv)
{
    ignoreFileSizeSignal(); // before the first record: ulimit -f must not end the program
    // Before anything opens a file: a closed standard output would otherwise
    // become the log file or the X connection, and console text would go there.
    if (const int error = openClosedStandardDescriptors())
        std::fprintf(stderr, "Orbivane: cannot open /dev/null on a closed standard descriptor: %s\n",
                     std::strerror(error));
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
    if (parsed.exitStatus >= 0)
        return parsed.exitStatus;
    runOptions = parsed.options;
    setFixedSeed(runOptions.seed);
    while (runConsoleCycle(std::cin, std::cout, runWindow) == CycleResult::Continue) {
    }
    return savesAskedFailed() ? 1 : 0;
}
