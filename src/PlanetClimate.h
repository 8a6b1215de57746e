#pragma once

#include "Climate.h"
#include "PhysicalScale.h"
#include "StopRequest.h"

#include <memory>
#include <vector>

class LandSnapshot;
class Planet;

// A planet's climate as its saves and its window take it: computed from the
// land as generated (a relief stretches the shown land, not the climate),
// with the sea where the planet's shape puts it and the planet's size.
struct PlanetClimate {
    PhysicalScale scale;
    Climate climate;
};

// x, y, z per welded vertex of land, a snapshot of planet's.
std::vector<float> weldedPositions(const Planet& planet, const LandSnapshot& land);

// x, y, z per welded vertex of the planet's undeformed sphere: what land and
// sea are told apart against (aboveSea, SeaLevel.h).
std::vector<float> weldedUnitSphere(const Planet& planet);

// The planet's scale for land, a snapshot of its land: with Earth's
// hypsometry the curve it keeps when it has one (keepHeightCurve), else one
// fitted to land.
PhysicalScale physicalScaleOf(const Planet& planet, const LandSnapshot& land);

// Fits Earth's curve to planet's land as it stands, over its sea, and keeps
// it on the planet for good. Throws std::bad_alloc without memory.
void keepHeightCurve(Planet& planet);

// The climate of land, a snapshot of planet's. The final land's, once the
// planet's shape is settled, is computed once and kept on the planet (a
// second caller meanwhile waits for it); land caught part-way through a
// live generation gets its own. Throws std::bad_alloc without memory. Null,
// nothing kept, when stop was set before it was made.
std::shared_ptr<const PlanetClimate> climateOf(Planet& planet, const LandSnapshot& land, StopRequest stop = nullptr);
