#include "Orbivane.h"

#include "Console.h"
#include "Dialogue.h"
#include "Failure.h"
#include "Landscape.h"
#include "LogManager.h"
#include "OutputFolders.h"
#include "PlanetSaving.h"
#include "PlanetShaping.h"
#include "Poster.h"
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
// The record of a planet made: its generation time, and the window opening
// unless there is none.
void logGenerated(const Answers& answers, double elapsed)
{
    if (runOptions.noWindow || !runOptions.renderPath.empty()) {
        if (!answers.liveGeneration())
            ORB_LOG(Info, "Planet generation done in %f seconds", elapsed);
    } else if (answers.liveGeneration()) {
        ORB_LOG(Info, "Opening OpenGL window and initializing OpenGL...");
    } else {
        ORB_LOG(Info, "Planet generation done in %f seconds, opening OpenGL window and initializing OpenGL...",
                elapsed);
    }
}

// False, after saying why on err, when --subdivisions asks for more than the
// machine's memory holds.
bool givenSubdivisionsFit(std::ostream& err)
{
    const std::optional<int> given = runOptions.answers.subdivisions;
    const int most = given ? maxSubdivisions(availableMemoryBytes()) : 0;
    if (!given || *given <= most)
        return true;
    err << refusalText("--subdivisions " + std::to_string(*given) +
                       " needs more memory than this machine has; it holds at most " + std::to_string(most) + " now");
    return false;
}
} // namespace

bool runWithoutWindow()
{
    if (currentPlanet && currentPlanet->liveJob) {
        const double t0 = monotonicSeconds();
        finishLiveGeneration(*currentPlanet);
        ORB_LOG(Info, "Live generation done in %f seconds", monotonicSeconds() - t0);
    }
    releaseCurrentPlanet();
    return true;
}

double monotonicSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

CycleResult runConsoleCycle(std::istream& in, std::ostream& out, const WindowStage& windowStage)
{
    const std::optional<Answers> answers =
        askQuestions(in, out, maxSubdivisions(availableMemoryBytes()), runOptions.answers);
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
    logGenerated(*answers, monotonicSeconds() - t0);

    exportFinishedPlanet(*currentPlanet);

    if (!windowStage())
        return CycleResult::Stop;
    out << "\n\n\n\n" << std::flush;
    return CycleResult::Continue;
}

namespace {
// The program after its console is set up; the exit status.
int runProgram(int argc, char** argv)
{
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
    if (parsed.exitStatus >= 0)
        return parsed.exitStatus;
    runOptions = parsed.options;
    setFixedSeed(runOptions.seed);
    if (!givenSubdivisionsFit(std::cerr))
        return 2;
    const bool window = runOptions.renderPath.empty() && !runOptions.noWindow;
    setLivePace({runOptions.liveSeconds, window});
    if (const std::optional<std::string> why = unwritableOutputFolder(runOptions)) {
        std::cerr << refusalText(*why);
        return 2;
    }
    const WindowStage stage = !runOptions.renderPath.empty() ? WindowStage(runPoster)
                              : runOptions.noWindow         ? WindowStage(runWithoutWindow)
                                                            : WindowStage(runWindow);
    // With every answer given there is nothing to ask again: one planet.
    while (runConsoleCycle(std::cin, std::cout, stage) == CycleResult::Continue && !runOptions.answers.all()) {
    }
    return savesAskedFailed() ? 1 : 0;
}
} // namespace

int orbivaneMain(int argc, char** argv)
{
    ignoreFileSizeSignal(); // before the first record: ulimit -f must not end the program
    // Before anything opens a file: a closed standard output would otherwise
    // become the log file or the X connection, and console text would go there.
    if (const int error = openClosedStandardDescriptors())
        std::fprintf(stderr, "Orbivane: cannot open /dev/null on a closed standard descriptor: %s\n",
                     std::strerror(error));
    const ConsoleStreams console;
    const int status = runProgram(argc, argv);
    // Lost console text fails a run that would otherwise succeed, as a lost save does.
    const bool written = flushConsole();
    return status == 0 && !written ? 1 : status;
}
