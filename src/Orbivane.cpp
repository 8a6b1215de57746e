#include "Orbivane.h"

#include "Dialogue.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MeshExport.h"

#include <chrono>
#include <iostream>
#include <new>
#include <system_error>

std::unique_ptr<Planet> currentPlanet;
Options runOptions;

bool exportPlanetTo(Planet& planet, const std::string& path)
{
    std::vector<float> vertices;
    {
        std::lock_guard<std::mutex> lock(planet.mutex);
        vertices.assign(planet.vertices.begin(), planet.vertices.end());
    }
    std::string error;
    const MeshInfo info{planet.seed, planet.subdivisions, planet.iterations};
    if (!exportMesh(path, vertices.data(), planet.vertexCount, info, error)) {
        ORB_LOG(Error, "Could not export the planet to %s: %s", path.c_str(), error.c_str());
        return false;
    }
    ORB_LOG(Info, "Planet (seed %u) exported to %s", planet.seed, path.c_str());
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
    if (runOptions.exportPath.empty() || planet.exported || !generationFinished(planet))
        return;
    planet.exported = true;
    exportPlanetTo(planet, runOptions.exportPath);
}

void releaseCurrentPlanet()
{
    if (!currentPlanet)
        return;
    stopLiveGeneration(*currentPlanet);
    exportFinishedPlanet(*currentPlanet);
    currentPlanet.reset();
}

namespace {
// Makes the cycle's planet; false, after saying why, when it cannot be had.
bool makePlanet(const Answers& answers)
{
    try {
        currentPlanet = std::make_unique<Planet>(answers.subdivisions, answers.iterations, answers.liveGeneration());
        return true;
    } catch (const std::bad_alloc&) {
        ORB_LOG(Error, "Not enough memory for a planet with %d subdivisions; try fewer.", answers.subdivisions);
    } catch (const std::system_error& error) {
        ORB_LOG(Error, "Could not start the generation: %s", error.what());
    }
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
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
    if (parsed.exitStatus >= 0)
        return parsed.exitStatus;
    runOptions = parsed.options;
    setFixedSeed(runOptions.seed);
    while (runConsoleCycle(std::cin, std::cout, runWindow) == CycleResult::Continue) {
    }
    return 0;
}
