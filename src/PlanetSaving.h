#pragma once

#include "MeshExport.h"
#include "SafeFile.h"

#include <functional>
#include <optional>
#include <string>

class Planet;
struct Options;

// What a planet can be saved as, for the console cycle and the window alike:
// the mesh and the maps. Every outcome is logged; the files themselves are
// written by one small writer per format beside this module.

// What made a planet and how much of it the land holds now: seed, counts, and
// the planes applied so far with whether its generation was stopped.
MeshInfo meshInfoOf(const Planet& planet);

// Writes planet to target, its vertices read under its mutex; logs the
// outcome. A failure is remembered for the exit status (see savesAskedFailed).
bool exportPlanetTo(Planet& planet, const SaveTarget& target);

// Where the maps of a planet go; an empty one is not made.
struct MapTargets {
    std::optional<SaveTarget> colour;
    std::optional<SaveTarget> height;
};

// Makes the maps of planet, width pixels wide, and writes them to targets;
// logs each outcome. A failure is remembered for the exit status. Returns
// whether every map asked for was written.
bool saveMapsOf(Planet& planet, const MapTargets& targets, int width);

// Where each cube face goes, by the end of its name: "-px.png" for the +X
// height face, "-px-colour.png" for its colours, and so on.
using CubeFaceTarget = std::function<SaveTarget(const std::string& ending)>;

// Makes the six height and six colour faces of planet (CubeFaces.h), size
// pixels square, and writes them, stopping at the first that cannot be
// written; logs the outcome. A failure is remembered for the exit status.
// Returns whether all twelve were written.
bool saveCubeFacesOf(Planet& planet, const CubeFaceTarget& targetFor, int size);

// Whether options ask for any file to be written after each generation.
bool savesAsked(const Options& options);

// Writes the planet to the files options ask for (--export, --map,
// --heightmap, --cube-faces) once its generation has ended, once per planet.
void saveAskedFiles(Planet& planet, const Options& options);

// Whether a file options asked for could not be written in this run: the
// run then ends with status 1.
bool savesAskedFailed(const Options& options);
