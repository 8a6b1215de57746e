#pragma once

#include "IcosphereWeld.h"
#include "SafeFile.h"
#include "WorldShape.h"

#include <cstdint>
#include <string>

// What made a planet and how much of it the saved land holds; written into
// the header comment of everything saved from it.
struct MeshInfo {
    std::uint32_t seed;
    int subdivisions;
    int iterations;      // fault planes asked for
    int applied = -1;    // planes the land holds when fewer than asked; -1: all of them
    bool stopped = false; // the generation was stopped before its end
    WorldShape shape{};   // the sea and relief the land is saved with
};

// "Orbivane planet: seed S, subdivisions N, iterations I" for a finished
// planet; "... iterations K of I" for a live one caught part-way, and
// "... iterations K of I, stopped" for one stopped early; then the shape's
// comment (", sea radius S, relief F") when it is not the default.
std::string headerComment(const MeshInfo& info);

// The land to save: its soup (x, y, z per corner, the weld's corners) and
// the weld; or, when welded is set, x, y, z per welded vertex in the weld's
// numbering (a copy taken between two planes of a live generation).
struct LandView {
    const IcosphereWeld& weld;
    const float* soup;
    const float* welded = nullptr;
    WorldShape shape{}; // positions are saved at their shown radius
};

// Writes the welded land, each vertex at land.shape's shown radius, through SafeFile: the extension (".ply" or ".obj",
// any case) picks binary little-endian PLY or text OBJ. Faces run
// counter-clockwise from outside. Nothing is copied whole: positions are read
// and written in chunks, faces straight from the weld. Returns false and says
// why in error when the type is unknown, memory runs out or the file cannot
// be written; any old file is then as it was. written gets the file's name.
bool exportMesh(const SaveTarget& target, const LandView& land, const MeshInfo& info, std::string& error,
                std::string* written = nullptr);

// True when the file name of path ends in ".ply" or ".obj", in any case. A name
// that is only the extension, such as ".ply", is a hidden file without one.
bool isExportPath(const std::string& path);
