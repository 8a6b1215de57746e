#pragma once

#include "IcosphereWeld.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// The outlines of regions of the welded land (the sea's coasts, a lake's
// shore): closed rings through the points where the region's edges cross
// their level, traced face by face (each face the region only partly covers
// holds one piece of a ring).

// A closed ring: unit directions from the centre, the first point repeated
// at the end; the region lies on its left seen from outside the sphere.
struct Outline {
    std::uint32_t region = 0;
    std::vector<std::array<double, 3>> points;
};

// What the outlines are of: each welded vertex's region (NONE: in none), and
// where an edge from a vertex of a region to one outside crosses its
// border: a share of the edge from the inside vertex (0 to 1, taken as 1/64
// to 63/64 so that no two edges cross at one point).
struct Regions {
    static constexpr std::uint32_t NONE = 0xFFFFFFFFu;
    const std::vector<std::uint32_t>& regionOf;
    std::function<double(std::uint32_t inside, std::uint32_t outside)> crossing;
};

// The rings of every region, by region and then by the first face they
// cross, for the welded land with directions (unit x, y, z per welded
// vertex). Throws std::bad_alloc.
std::vector<Outline> outlines(const IcosphereWeld& weld, const std::vector<double>& directions, const Regions& regions);

// Longitude (east of +x, towards -z) and latitude (+y is north) of a
// direction, in degrees, as the maps place them.
std::array<double, 2> longitudeLatitude(const std::array<double, 3>& direction);
