#pragma once

#include "Outlines.h"

#include <array>
#include <cstdint>
#include <vector>

// Regions of the sphere (the land, a lake) as polygons on the map's plane of
// longitude (x, -180 to 180 degrees, east to the right) and latitude (y, -90
// to 90 degrees, north up), as GIS tools take them (RFC 7946, OGC simple
// features): every ring closed, no point repeated in a row, none crossing
// the antimeridian (a region across it is cut in two along longitude 180
// and -180), a region round a pole closed along the map's top or bottom
// edge, exteriors counter-clockwise and holes (an island in a lake, a lake
// in the land) clockwise inside their exterior. The one way the water's
// files make polygons.

// Longitude and latitude in degrees.
using MapPoint = std::array<double, 2>;

// Closed: the first point repeated at the end.
using MapRing = std::vector<MapPoint>;

struct MapPolygon {
    std::uint32_t region = 0;
    MapRing exterior;           // counter-clockwise on the map
    std::vector<MapRing> holes; // clockwise, each inside exterior
};

// Points are rounded to a micro-degree (about 0.1 m on the Earth): enough for
// any vertex spacing, and short in a file.
constexpr double MAP_STEPS_PER_DEGREE = 1e6;

// The polygons of every region that rings (outlines' own, the region on each
// ring's left, rings disjoint) bound, by region. A region with no ring is
// left out. Throws std::bad_alloc.
std::vector<MapPolygon> mapPolygons(const std::vector<Outline>& rings);

// A line through directions (unit x, y, z) on the map, rounded, cut in parts
// where it crosses the antimeridian. Throws std::bad_alloc.
std::vector<std::vector<MapPoint>> mapLine(const std::vector<std::array<double, 3>>& directions);

// The whole map as one polygon: a region that covers the sphere.
MapPolygon wholeMap(std::uint32_t region);

// Twice the ring's area on the map's plane, in square degrees: positive
// counter-clockwise.
double signedArea(const MapRing& ring);

// Whether point lies inside ring (even-odd; a point on the ring either way).
bool insideRing(const MapRing& ring, const MapPoint& point);

// Whether point lies inside polygon: in its exterior and in none of its holes.
bool insidePolygon(const MapPolygon& polygon, const MapPoint& point);

// The polygon's area on the unit sphere (steradians), holes taken out, its
// edges taken as straight on the map.
double sphericalArea(const MapPolygon& polygon);
