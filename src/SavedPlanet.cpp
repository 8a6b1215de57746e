#include "SavedPlanet.h"

#include "ClimateMaps.h"
#include "ColourMap.h"
#include "LandRadii.h"
#include "Landscape.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "SettingsRecord.h"
#include "WorldMap.h"

#include <algorithm>
#include <new>

std::string settingsRecordOf(const Planet& planet, const MeshInfo& info, ClimateView view)
{
    PlanetSettings settings;
    settings.seed = planet.seed;
    settings.subdivisions = planet.subdivisions;
    // A live land caught part-way is the whole live land of the planes it holds.
    settings.iterations = info.applied >= 0 && info.applied < info.iterations ? info.applied : info.iterations;
    settings.live = planet.liveJob != nullptr;
    settings.landPercent = planet.landPercent;
    settings.relief = planet.shape.relief;
    settings.radiusKm = planet.radiusKm;
    settings.highestMetres = planet.highestMetres;
    settings.hypsometry = planet.hypsometry;
    settings.view = view;
    settings.erosionSteps = planet.erosionSteps;
    settings.riverAreaKm2 = planet.riverAreaKm2;
    return settingsRecord(settings);
}

MeshInfo meshInfoOf(const Planet& planet)
{
    MeshInfo info{planet.seed, planet.subdivisions, planet.iterations};
    info.shape = planet.shape;
    info.erosionSteps = planet.erosionSteps;
    if (planet.liveJob) {
        info.applied = planet.liveJob->applied.load();
        info.stopped = planet.liveJob->finished && info.applied < planet.iterations;
    }
    return info;
}

MeshInfo meshInfoOf(const Planet& planet, const LandSnapshot& land)
{
    MeshInfo info{planet.seed, planet.subdivisions, planet.iterations};
    info.shape = planet.shape;
    info.radiusKm = planet.radiusKm;
    try {
        const PhysicalScale scale = physicalScaleOf(planet, land);
        info.metresPerUnit = scale.metresPerUnit;
        info.heightCurve = scale.curve;
        for (double& metres : info.heightCurve.metres)
            metres *= scale.curveScale;
    } catch (const std::bad_alloc&) {
        info.metresPerUnit = 0.0; // not known: the headers leave the size out
        info.heightCurve = {};
    }
    info.erosionSteps = planet.erosionSteps;
    if (planet.liveJob) {
        info.applied = land.applied();
        info.stopped = land.stopped();
    }
    return info;
}

std::string planetLabel(const Planet& planet)
{
    std::string label = "seed " + std::to_string(planet.seed);
    return planet.erosionSteps > 0 ? label + ", erosion " + std::to_string(planet.erosionSteps) + " steps" : label;
}

double riverThresholdOf(const Planet& planet)
{
    return riverThreshold(planet.weld.vertexCount(), planet.riverAreaKm2, planet.radiusKm);
}

LandWater waterOf(const Planet& planet, const LandSnapshot& land)
{
    std::vector<float> positions(3 * planet.weld.vertexCount());
    for (std::size_t v = 0; v < planet.weld.vertexCount(); ++v)
        std::copy_n(land.position(v), 3, &positions[3 * v]);
    return landWater(planet.weld, positions.data(), planet.shape.seaRadius, weldedUnitSphere(planet).data(),
                     riverThresholdOf(planet));
}

std::vector<double> freshWaterOf(const Planet& planet, const LandSnapshot& land)
{
    return freshWaterShares(waterOf(planet, land));
}

Image colourPictureOf(const HeightGrid& grid, const LandRadii& radii, const std::vector<float>& channels,
                      double seaRadius)
{
    return channels.empty() ? colourMapOf(grid, seaRadius) : climateColourMapOf(grid, radii, channels, seaRadius);
}

