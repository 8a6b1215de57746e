#pragma once

#include "PhysicalScale.h"
#include "Rivers.h"
#include "WaterPolygons.h"

#include <vector>

// A planet's water as three layers of one geometry each, on the map's
// longitude and latitude (WaterPolygons.h), with physical units: what the
// water's files (GeoJSON, GeoPackage) write, made the one way.

struct RiverLine {
    std::vector<std::vector<MapPoint>> parts; // more than one when it crosses the antimeridian
    int order = 1;                            // Strahler order
    double flow = 0.0;                        // as River::flow
    RiverEnd end = RiverEnd::Sea;
    double lengthKm = 0.0;                    // along the sea sphere, through its vertices
};

struct LakeShape {
    std::vector<MapPolygon> polygons; // more than one when it crosses the antimeridian
    double levelMetres = 0.0;         // its surface above the sea
    double depthMetres = 0.0;         // its deepest point below its surface
    double areaKm2 = 0.0;             // of its polygons, on the sea sphere
    double inflow = 0.0;              // as Lake::inflow
};

struct LandShape {
    MapPolygon polygon; // holes: the sea's inlets and inland seas it surrounds
    double areaKm2 = 0.0;
};

struct WaterLayers {
    std::vector<RiverLine> rivers;
    std::vector<LakeShape> lakes; // in the drainage's order of lakes
    std::vector<LandShape> land;
};

// The layers of water on the welded land, heights in metres by scale (whose
// seaRadius tells land from sea along the coast). Throws std::bad_alloc.
WaterLayers waterLayers(const LandWater& water, const IcosphereWeld& weld, const PhysicalScale& scale);

// The land's polygons alone (LandShape's).
std::vector<MapPolygon> landPolygons(const LandWater& water, const IcosphereWeld& weld, double seaRadius);
