#pragma once

#include "ClimateView.h"
#include "SafeFile.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class Planet;
struct Options;

// The maps of a planet, each written whole with the files beside it (a
// world file and coordinate system, a legend), its outcome logged. These
// throw std::bad_alloc when the land's snapshot or grid cannot be had; the
// saving entry points (PlanetSaving.h) catch it.

// Where the maps of a planet go; an empty one is not made.
struct MapTargets {
    std::optional<SaveTarget> colour = std::nullopt;
    std::optional<SaveTarget> height = std::nullopt;
    std::optional<SaveTarget> dem = std::nullopt;    // elevations in metres, a GeoTIFF
    std::optional<SaveTarget> normal = std::nullopt; // NormalMap.h
};

// Where each cube face goes, by the end of its name: "-px.png" for the +X
// height face, "-px-colour.png" for its colours, "-px-normal.png" for its
// normal map, and so on.
using CubeFaceTarget = std::function<SaveTarget(const std::string& ending)>;

// The maps of one snapshot of planet's land, width pixels wide, the colour
// map showing view. Returns how many of the maps asked for were written.
int writeMaps(Planet& planet, const MapTargets& targets, int width, ClimateView view);

// The eighteen cube faces, size pixels square, as one set; whether they
// were written.
bool writeCubeFaces(Planet& planet, const CubeFaceTarget& targetFor, int size, ClimateView view);

// The biome map and the climate maps options ask for, of the number-th
// planet; how many of the two sets were written whole.
std::size_t writeClimateFiles(Planet& planet, const Options& options, int number);
