#include "Biomes.h"
#include "ClimateView.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "PlanetSaving.h"
#include "SafeFile.h"
#include "SavedPlanet.h"
#include "Screenshot.h"
#include "TerrainColours.h"
#include "TestSupport.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>

namespace {

// A planet whose climate, as its saves find it, has been changed: no ice
// within 20 degrees of the north pole, ice on every vertex within 5 degrees
// of the equator (land ice on land, sea ice on the sea); the south as the
// climate made it.
class IceFromTheClimate : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        planet = quietPlanet(2, 5, 5000).release();
        planet->shapeSettled = true; // as generated: the climate is made once and kept on the planet
        PlanetClimate changed = *climateOf(*planet, LandSnapshot(*planet));
        for (std::size_t v = 0; v < changed.climate.biome.size(); ++v) {
            Biome& biome = changed.climate.biome[v];
            const bool sea = biome == Biome::Ocean || biome == Biome::SeaIce;
            const double latitude = latitudeOf(v);
            if (latitude > 70.0)
                northIce += biome == Biome::Ice || biome == Biome::SeaIce;
            if (latitude < -75.0)
                southOpen += biome != Biome::Ice && biome != Biome::SeaIce;
            if (latitude > 70.0)
                biome = sea ? Biome::Ocean : Biome::Tundra;
            else if (std::fabs(latitude) < 5.0)
                biome = sea ? Biome::SeaIce : Biome::Ice;
        }
        planet->climate = std::make_shared<const PlanetClimate>(std::move(changed));
    }

    static void TearDownTestSuite() { delete planet; }

    // Welded vertex v's latitude, degrees.
    static double latitudeOf(std::size_t v)
    {
        const float* p = &planet->vertices[3 * std::size_t(planet->weld.vertexToCorner[v])];
        return std::asin(p[1] / std::hypot(p[0], p[1], p[2])) * 180.0 / std::numbers::pi;
    }

    // How many pixels of image, among those `where` picks, are the ice
    // colour, give or take the faint relief shading a map lays over land ice
    // (16 levels a channel; the snow band's blue lies under its red, the
    // ice's over it), and how many it picks.
    static std::pair<int, int> icePixels(const Image& image, const std::function<bool(int i, int j)>& where)
    {
        unsigned char ice[3];
        putRgb8(TERRAIN.ice.colour, ice);
        int icy = 0, picked = 0;
        for (int j = 0; j < image.height; ++j)
            for (int i = 0; i < image.width; ++i)
                if (where(i, j)) {
                    const unsigned char* p = &image.rgb[3 * (std::size_t(j) * image.width + i)];
                    bool near = p[2] > p[0];
                    for (int k = 0; k < 3; ++k)
                        near = near && std::abs(p[k] - ice[k]) <= 16;
                    icy += near;
                    ++picked;
                }
        return {icy, picked};
    }

    static Planet* planet;
    static int northIce;  // vertices the climate made froze north of 70 degrees
    static int southOpen; // and vertices it left open south of 75 degrees
    ScopedTempDir dir;
};

Planet* IceFromTheClimate::planet = nullptr;
int IceFromTheClimate::northIce = 0;
int IceFromTheClimate::southOpen = 0;

// The heights' colour map: no ice at the north pole, where this climate has
// none; ice on the equator and at the south pole, where it has ice.
TEST_F(IceFromTheClimate, ColourMapHasIceWhereTheClimateHasItAndNowhereElse)
{
    ASSERT_GT(northIce, 0) << "the climate as made freezes the north: the test takes that ice away";
    ASSERT_EQ(southOpen, 0) << "the climate as made freezes the whole south polar region";
    ASSERT_TRUE(saveMapsOf(*planet, {SaveTarget::replacing("m.png"), std::nullopt}, 512));
    Image map;
    ASSERT_TRUE(readPng("m.png", map));
    ASSERT_EQ(map.height, 256);
    const double degree = map.height / 180.0; // rows a degree
    const auto [northIcy, north] = icePixels(map, [&](int, int j) { return j < 18 * degree; });
    EXPECT_EQ(northIcy, 0) << "of " << north << " pixels north of 72 degrees";
    const auto [equatorIcy, equator] =
        icePixels(map, [&](int, int j) { return std::fabs(90.0 - (j + 0.5) / degree) < 1.5; });
    EXPECT_EQ(equatorIcy, equator) << "pixels within 1.5 degrees of the equator";
    const auto [southIcy, south] = icePixels(map, [&](int, int j) { return j >= 170 * degree; });
    EXPECT_EQ(southIcy, south) << "pixels south of 80 degrees";
    // The rivers and lakes freeze with the land: the equator's band holds some.
    const LandSnapshot land(*planet);
    const HeightGrid grid = buildHeightGrid(*planet, land, 512, freshWaterOf(*planet, land));
    int fresh = 0;
    for (int j = 0; j < grid.height; ++j)
        for (int i = 0; i < grid.width && std::fabs(90.0 - (j + 0.5) / degree) < 1.5; ++i)
            fresh += grid.radius[std::size_t(j) * grid.width + i] >= 1.0f &&
                     grid.water[std::size_t(j) * grid.width + i] >= 0.5f;
    EXPECT_GT(fresh, 0) << "fresh water pixels within 1.5 degrees of the equator";
}

// The heights' cube faces likewise: the +Y face's middle (the north pole)
// has no ice, the -Y face's (the south pole) is all ice, and the equator
// across the +X face's middle row is ice.
TEST_F(IceFromTheClimate, CubeFacesHaveIceWhereTheClimateHasItAndNowhereElse)
{
    ASSERT_TRUE(saveCubeFacesOf(*planet, [](const std::string& ending) { return SaveTarget::replacing("c" + ending); },
                                64));
    Image north, south, equator;
    ASSERT_TRUE(readPng("c-py-colour.png", north));
    ASSERT_TRUE(readPng("c-ny-colour.png", south));
    ASSERT_TRUE(readPng("c-px-colour.png", equator));
    // Within 16 pixels of a 64-pixel face's middle: within 27 degrees of its axis.
    const auto middle = [](int i, int j) { return std::abs(2 * i - 63) <= 32 && std::abs(2 * j - 63) <= 32; };
    const auto within = [](int i, int j) { return std::hypot(i - 31.5, j - 31.5) < 8; }; // 14 degrees: south of 75
    EXPECT_EQ(icePixels(north, within).first, 0);
    const auto [southIcy, southPicked] = icePixels(south, within);
    EXPECT_EQ(southIcy, southPicked);
    const auto [equatorIcy, equatorPicked] =
        icePixels(equator, [&](int i, int j) { return middle(i, j) && std::abs(2 * j - 63) <= 1; });
    EXPECT_EQ(equatorIcy, equatorPicked);
    EXPECT_GT(equatorPicked, 20);
}

// The heights' vertex colours of a mesh: the ice colour on every vertex the
// climate freezes, and on none it leaves open, whatever its latitude.
TEST_F(IceFromTheClimate, MeshVertexColoursHaveIceWhereTheClimateHasIt)
{
    ASSERT_TRUE(exportPlanetTo(*planet, SaveTarget::replacing("t.obj"), ClimateView::Heights));
    std::istringstream obj(readFile("t.obj"));
    unsigned char ice[3];
    putRgb8(TERRAIN.ice.colour, ice);
    const Climate& climate = planet->climate->climate;
    std::size_t v = 0, frozen = 0, open = 0;
    for (std::string line; std::getline(obj, line) && v < climate.biome.size();) {
        if (line.rfind("v ", 0) != 0)
            continue;
        std::istringstream fields(line.substr(2));
        float xyz[3];
        Rgb colour;
        fields >> xyz[0] >> xyz[1] >> xyz[2] >> colour[0] >> colour[1] >> colour[2];
        unsigned char rgb[3];
        putRgb8(colour, rgb);
        const bool icy = std::equal(rgb, rgb + 3, ice);
        const bool iceClass = climate.biome[v] == Biome::Ice || climate.biome[v] == Biome::SeaIce;
        EXPECT_EQ(icy, iceClass) << "vertex " << v << " at latitude " << latitudeOf(v);
        (iceClass ? frozen : open) += 1;
        ++v;
    }
    EXPECT_EQ(v, climate.biome.size());
    EXPECT_GT(frozen, 100u);
    EXPECT_GT(open, 100u);
}

} // namespace
