#include "Orbivane.h"

#include "Dialogue.h"
#include "LogManager.h"

#include <chrono>
#include <iostream>
#include <new>

std::unique_ptr<Planet> currentPlanet;

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
    try {
        currentPlanet = std::make_unique<Planet>(answers->subdivisions, answers->iterations,
                                                 answers->liveGeneration());
    } catch (const std::bad_alloc&) {
        currentPlanet.reset();
        ORB_LOG(Error, "Not enough memory for a planet with %d subdivisions; try fewer.",
                answers->subdivisions);
        out << "\n\n\n\n" << std::flush;
        return CycleResult::Continue;
    }
    const double elapsed = monotonicSeconds() - t0;

    if (answers->liveGeneration())
        ORB_LOG(Info, "Opening OpenGL window and initializing OpenGL...");
    else
        ORB_LOG(Info, "Planet generation done in %f seconds, opening OpenGL window and initializing OpenGL...",
                elapsed);

    if (!windowStage())
        return CycleResult::Stop;
    out << "\n\n\n\n" << std::flush;
    return CycleResult::Continue;
}

int orbivaneMain(int, char**)
{
    while (runConsoleCycle(std::cin, std::cout, runWindow) == CycleResult::Continue) {
    }
    return 0;
}
