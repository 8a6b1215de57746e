#pragma once

#include "CommandLine.h"
#include "Planet.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>

// The planet of the current cycle; the window stage releases it.
extern std::unique_ptr<Planet> currentPlanet;

// The options of this run.
extern Options runOptions;

// Settles the planet's shape (--relief, and --land once its generation has
// ended), then writes it to the --export, --map and --heightmap files once
// its generation has ended, once.
void exportFinishedPlanet(Planet& planet);

// Stops the current planet's live generation, exports it if asked, releases it.
void releaseCurrentPlanet();

// With --export, --map or --heightmap, lets the current planet's live generation run to its end:
// with no window to watch it in, the user still asked for that planet.
void finishGenerationForExport();

// Runs the window stage for currentPlanet and releases it; returns whether a
// window could be opened.
using WindowStage = std::function<bool()>;

enum class CycleResult { Continue, Stop };

// One console cycle: questions, generation, window. Stop when input has ended
// at the first question or no window could be opened.
CycleResult runConsoleCycle(std::istream& in, std::ostream& out, const WindowStage& windowStage);

// Seconds on a monotonic clock, for the generation time.
double monotonicSeconds();

// The stage of --no-window: lets a live generation run to its end, then saves
// and releases the planet.
bool runWithoutWindow();

// The window stage on GLFW.
bool runWindow();

// Process entry: cycles until one says stop; returns the exit status.
int orbivaneMain(int argc, char** argv);
