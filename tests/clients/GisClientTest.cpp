// GDAL's own tools on the maps as this process saves them: the DEM's and the
// height map's metres where a GIS looks them up, warps into the projections
// web maps use, and tiles cut from the colour map.
#include "LandRadii.h"
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "PlanetSaving.h"
#include "TestSupport.h"
#include "WorldMap.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

namespace {

constexpr int WIDTH = 256;

class GisFiles : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new ScopedTempDir;
        planet = quietPlanet(11, 5, 2000).release();
        const MapTargets targets{.colour = SaveTarget::replacing("m.png"), .height = SaveTarget::replacing("h.png"),
                                 .dem = SaveTarget::replacing("dem.tif")};
        testing::internal::CaptureStdout();
        const bool saved = saveMapsOf(*planet, targets, WIDTH);
        const std::string log = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(saved) << log;
        testing::internal::CaptureStdout();
        const bool water = saveRiversOf(*planet, SaveTarget::replacing("w.gpkg"), ClimateView::Biomes) &&
                           saveRiversOf(*planet, SaveTarget::replacing("w.geojson"), ClimateView::Biomes);
        const std::string waterLog = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(water) << waterLog;
    }
    static void TearDownTestSuite()
    {
        delete planet;
        delete dir;
    }
    static ScopedTempDir* dir;
    static Planet* planet;
};
ScopedTempDir* GisFiles::dir = nullptr;
Planet* GisFiles::planet = nullptr;

// Twenty pixels spread over the map, rows and columns far apart.
std::vector<std::pair<int, int>> samplePixels()
{
    std::vector<std::pair<int, int>> pixels;
    for (int k = 0; k < 20; ++k)
        pixels.emplace_back((37 * k + 5) % WIDTH, (53 * k + 3) % (WIDTH / 2));
    return pixels;
}

// The program's elevation through pixel (i, j)'s centre: the land's radius
// looked up along that one direction, in metres above the sea.
double ownElevation(Planet& planet, int i, int j)
{
    const LandRadii land(planet);
    float radius = 0.0f;
    land.lookUp(1, 1, [&](int, std::array<double, 3>* direction) { *direction = mapDirection(i, j, WIDTH); }, &radius);
    return physicalScaleOf(planet, LandSnapshot(planet)).elevationMetres(radius);
}

// Every number on the lines of text, in order.
std::vector<double> numbersIn(const std::string& text, const std::string& after = "")
{
    std::vector<double> numbers;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (const auto at = line.find(after); at != std::string::npos)
            numbers.push_back(std::stod(line.substr(at + after.size())));
    return numbers;
}

TEST_F(GisFiles, DemHoldsFloatMetresThatGdalFindsByLongitudeAndLatitude)
{
    const CommandResult info = runCommand("gdalinfo dem.tif");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Type=Float32"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Unit Type: m\n"), std::string::npos) << info.out;
    std::string degrees, pixels;
    for (const auto& [i, j] : samplePixels()) {
        degrees += std::to_string(-180.0 + (i + 0.5) * 360.0 / WIDTH) + " " +
                   std::to_string(90.0 - (j + 0.5) * 360.0 / WIDTH) + "\n";
        pixels += std::to_string(i) + " " + std::to_string(j) + "\n";
    }
    const CommandResult dem = runCommand("gdallocationinfo -valonly -wgs84 dem.tif", degrees);
    const CommandResult height = runCommand("gdallocationinfo h.png", pixels);
    ASSERT_EQ(dem.status, 0) << dem.err;
    ASSERT_EQ(height.status, 0) << height.err;
    const std::vector<double> fromDem = numbersIn(dem.out), fromHeightMap = numbersIn(height.out, "Descaled Value: ");
    ASSERT_EQ(fromDem.size(), 20u) << dem.out;
    ASSERT_EQ(fromHeightMap.size(), 20u) << height.out;
    for (std::size_t p = 0; p < 20; ++p) {
        const auto [i, j] = samplePixels()[p];
        const double own = ownElevation(*planet, i, j);
        EXPECT_NEAR(fromDem[p], own, 0.5) << "DEM at pixel " << i << ", " << j;
        EXPECT_NEAR(fromHeightMap[p], own, 0.5) << "height map at pixel " << i << ", " << j;
    }
}

TEST_F(GisFiles, GdalWarpsTheMapsIntoWebMercatorMollweideAndWgs84)
{
    for (const std::string map : {"dem.tif", "m.png"})
        for (const std::string system : {"EPSG:3857", "ESRI:54009", "EPSG:4326"}) {
            const std::string out = "warped-" + std::to_string(std::hash<std::string>{}(map + system)) + ".tif";
            const CommandResult run = runCommand("gdalwarp -q -t_srs " + system + " " + map + " " + out);
            EXPECT_EQ(run.status, 0) << map << " to " << system << ": " << run.err;
            EXPECT_TRUE(std::filesystem::exists(out)) << map << " to " << system;
        }
}

TEST_F(GisFiles, Gdal2TilesCutsTheColourMapIntoTheTilesOfFourZoomLevels)
{
    const CommandResult run = runCommand("gdal2tiles.py -q -z 0-3 m.png tiles");
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t tiles = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator("tiles"))
        tiles += entry.path().extension() == ".png";
    EXPECT_EQ(tiles, 1u + 4u + 16u + 64u);
}

// The water's layers as GDAL reads them, in both formats: each of the
// geometry type it declares, every geometry valid by GEOS (ST_IsValid is
// OGR_G_IsValid's test).
TEST_F(GisFiles, WaterLayersAreValidGeometriesOfOneTypeEach)
{
    const struct {
        const char* file;
        const char* layer;
        const char* geometry;
    } layers[] = {{"w.gpkg", "rivers", "Multi Line String"}, {"w.gpkg", "lakes", "Multi Polygon"},
                  {"w.gpkg", "land", "Polygon"},          {"w.geojson", "w", "Multi Line String"},
                  {"w-lakes.geojson", "w-lakes", "Multi Polygon"}, {"w-land.geojson", "w-land", "Polygon"}};
    for (const auto& layer : layers) {
        SCOPED_TRACE(std::string(layer.file) + " " + layer.layer);
        const CommandResult info = runCommand(std::string("ogrinfo -ro -so ") + layer.file + " " + layer.layer);
        ASSERT_EQ(info.status, 0) << info.err;
        EXPECT_NE(info.out.find(std::string("Geometry: ") + layer.geometry + "\n"), std::string::npos) << info.out;
        if (std::string(layer.file).ends_with(".gpkg")) { // the planet's own sphere, as the maps'
            EXPECT_NE(info.out.find("ELLIPSOID[\"Orbivane sea sphere\",6371000,0"), std::string::npos) << info.out;
        }
        const std::string column = std::string(layer.file).ends_with(".gpkg") ? "geom" : "geometry";
        const CommandResult valid = runCommand(std::string("ogrinfo -ro -q -dialect sqlite -sql ") +
                                               shellQuote("SELECT count(*) AS features, sum(NOT ST_IsValid(" + column +
                                                          ")) AS invalid FROM \"" + layer.layer + "\"") +
                                               " " + layer.file);
        ASSERT_EQ(valid.status, 0) << valid.err;
        EXPECT_EQ(numbersIn(valid.out, "invalid (Integer) = "), std::vector<double>{0.0}) << valid.out;
        EXPECT_GT(numbersIn(valid.out, "features (Integer) = ").at(0), 0.0) << valid.out;
    }
}

// The land layer burnt into a grid by gdal_rasterize agrees with the DEM's
// land (elevation above 0) pixel by pixel.
TEST_F(GisFiles, RasterisedLandAgreesWithTheDem)
{
    const CommandResult burn = runCommand("gdal_rasterize -q -burn 1 -init 0 -ot Byte -ts " + std::to_string(WIDTH) + " " +
                                          std::to_string(WIDTH / 2) + " -te -180 -90 180 90 -l land w.gpkg land.tif");
    ASSERT_EQ(burn.status, 0) << burn.err;
    const CommandResult land = runCommand("gdal_translate -q -of XYZ land.tif /vsistdout/");
    const CommandResult dem = runCommand("gdal_translate -q -of XYZ dem.tif /vsistdout/");
    ASSERT_EQ(land.status, 0) << land.err;
    ASSERT_EQ(dem.status, 0) << dem.err;
    std::istringstream burnt(land.out), heights(dem.out);
    double x, y, value, x2, y2, elevation;
    int pixels = 0, agree = 0;
    while (burnt >> x >> y >> value && heights >> x2 >> y2 >> elevation) {
        ++pixels;
        agree += (value > 0.0) == (elevation > 0.0);
    }
    ASSERT_EQ(pixels, WIDTH * WIDTH / 2);
    EXPECT_GE(agree, 0.99 * pixels);
}

} // namespace
