#include "Orbivane.h"

#include "Dialogue.h"
#include "Failure.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MeshExport.h"
#include "StandardDescriptors.h"
#include "WorldMap.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

std::unique_ptr<Planet> currentPlanet;
Options runOptions;

namespace {
// Set by a failed export; the exit status with --export says so.
bool anExportFailed = false;
// Set by a map that could not be saved; the exit status with --map or
// --heightmap says so.
bool aMapFailed = false;

bool mapsAsked()
{
    return !runOptions.mapPath.empty() || !runOptions.heightMapPath.empty();
}

// Writes one map and logs the outcome; what names the map in the messages.
template <typename Picture>
bool writeMap(const Picture& picture, const SaveTarget& target, const std::string& comment, const char* what,
              std::uint32_t seed)
{
    std::string error, written;
    if (!writePng(target, picture, comment, error, &written, PngCompression::Fast)) {
        ORB_LOG(Error, "Could not save the %s %s: %s", what, target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u): %s saved to %s", seed, what, written.c_str());
    return true;
}

bool writeMaps(Planet& planet, const MapTargets& targets, int width)
{
    const HeightGrid grid = buildHeightGrid(planet, width);
    const std::string header = headerComment(meshInfoOf(planet));
    bool written = true;
    if (targets.colour)
        written = writeMap(colourMapOf(grid), *targets.colour, header, "map", planet.seed) && written;
    if (targets.height)
        written = writeMap(heightMapOf(grid), *targets.height, heightMapComment(header, grid), "height map",
                           planet.seed) && written;
    return written;
}
} // namespace

bool saveMapsOf(Planet& planet, const MapTargets& targets, int width)
{
    bool written = false;
    const bool ran = runAtBoundary([&] { written = writeMaps(planet, targets, width); },
                                   {"Not enough memory for the maps of the planet; they are not saved.",
                                    "Could not start the thread that makes the maps"});
    aMapFailed = aMapFailed || !ran || !written;
    return ran && written;
}

MeshInfo meshInfoOf(const Planet& planet)
{
    MeshInfo info{planet.seed, planet.subdivisions, planet.iterations};
    if (planet.liveJob) {
        info.applied = planet.liveJob->applied.load();
        info.stopped = planet.liveJob->finished && info.applied < planet.iterations;
    }
    return info;
}

bool exportPlanetTo(Planet& planet, const SaveTarget& target)
{
    std::string error, written;
    const LandView land{planet.weld, planet.vertices.data(), &planet.mutex};
    if (!exportMesh(target, land, meshInfoOf(planet), error, &written)) {
        anExportFailed = true;
        ORB_LOG(Error, "Could not export the planet to %s: %s", target.name().c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u) exported to %s", planet.seed, written.c_str());
    return true;
}

namespace {
// Whether the land is final: batch, or a live thread that has ended.
bool generationFinished(const Planet& planet)
{
    return !planet.liveJob || planet.liveJob->finished;
}
} // namespace

void exportFinishedPlanet(Planet& planet)
{
    if ((runOptions.exportPath.empty() && !mapsAsked()) || planet.exported || !generationFinished(planet))
        return;
    planet.exported = true;
    if (!runOptions.exportPath.empty())
        exportPlanetTo(planet, SaveTarget::replacing(runOptions.exportPath));
    if (!mapsAsked())
        return;
    MapTargets targets;
    if (!runOptions.mapPath.empty())
        targets.colour = SaveTarget::replacing(runOptions.mapPath);
    if (!runOptions.heightMapPath.empty())
        targets.height = SaveTarget::replacing(runOptions.heightMapPath);
    saveMapsOf(planet, targets, runOptions.mapWidth);
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
    if (currentPlanet && (!runOptions.exportPath.empty() || mapsAsked()))
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
    return (anExportFailed && !runOptions.exportPath.empty()) || (aMapFailed && mapsAsked()) ? 1 : 0;
}
