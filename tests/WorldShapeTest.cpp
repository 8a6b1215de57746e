// --land and --relief through the real program, checked against the files it writes.
#include "LandSnapshot.h"
#include "Planet.h"
#include "PlanetClimate.h"
#include "SavedPlanet.h"
#include "SeaLevel.h"
#include "TestSupport.h"

#include <algorithm>

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <regex>
#include <vector>

namespace {

double radiusOf(const PlyFile& mesh, std::uint32_t v)
{
    const double x = mesh.xyz[3 * v], y = mesh.xyz[3 * v + 1], z = mesh.xyz[3 * v + 2];
    return std::sqrt(x * x + y * y + z * z);
}

// Share of the globe's surface (the faces' directions) whose height is above
// seaRadius, and the largest share the sea must take or leave whole: that of
// the faces of one height as generated (a third of a step apart, but for
// rounding), or of the largest face.
std::pair<double, double> landShare(const PlyFile& mesh, double seaRadius)
{
    double land = 0, total = 0, largest = 0;
    std::map<long long, double> ofHeight; // by height in thirds of a step
    for (std::size_t f = 0; f < mesh.faces.size(); f += 3) {
        double p[3][3];
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < 3; ++c)
                p[k][c] = mesh.xyz[3 * mesh.faces[f + k] + c] / radiusOf(mesh, mesh.faces[f + k]);
        double u[3], v[3];
        for (int c = 0; c < 3; ++c)
            u[c] = p[1][c] - p[0][c], v[c] = p[2][c] - p[0][c];
        const double area = 0.5 * std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]);
        const double height = triangleHeight(radiusOf(mesh, mesh.faces[f]), radiusOf(mesh, mesh.faces[f + 1]),
                                             radiusOf(mesh, mesh.faces[f + 2]));
        land += height > seaRadius ? area : 0.0;
        total += area;
        largest = std::max(largest, area);
        ofHeight[std::llround(height * 4500)] += area;
    }
    for (const auto& [thirds, area] : ofHeight)
        largest = std::max(largest, area);
    return {land / total, largest / total};
}

// The radii the height map's text gives for its black and its white.
std::pair<double, double> heightMapRadii(const std::string& path)
{
    std::smatch m;
    const std::string bytes = readFile(path);
    if (!std::regex_search(bytes, m, std::regex(", radius ([0-9.]+) to ([0-9.]+)")))
        return {0, 0};
    return {std::stod(m[1]), std::stod(m[2])};
}

CommandResult run(const std::string& args)
{
    return runCommand("env -u DISPLAY " + shellQuote(ORBIVANE_BINARY) + " --seed 42 --export p.ply --heightmap h.png "
                      "--map-width 64 " + args, "4\n3000\nn\n");
}

TEST(LandAndRelief, ExportsHoldTheShareAskedAndTheStretchedRadii)
{
    ScopedTempDir dir;
    ASSERT_EQ(run("").status, 0);
    const PlyFile generated = readPlyFile("p.ply");
    ASSERT_TRUE(generated.whole);
    const std::string made = "Orbivane planet: seed 42, subdivisions 4, iterations 3000, batch generation";
    const std::string size = ", planet radius 6371 km, elevation -[0-9]+ to 8000 m on Earth's hypsometric curve";
    ASSERT_TRUE(std::regex_match(generated.comment, std::regex(made + size))) << generated.comment;
    const auto [plainLow, plainHigh] = heightMapRadii("h.png");
    const struct {
        std::optional<double> land;
        double relief;
    } cases[] = {{0, 1}, {10, 1}, {30, 1}, {70, 1}, {100, 1}, {std::nullopt, 3}, {30, 3}, {70, 0.25}};
    for (const auto& [land, relief] : cases) {
        const std::string args = (land ? "--land " + std::to_string(*land) : "") + " --relief " + std::to_string(relief);
        const CommandResult result = run(args);
        ASSERT_EQ(result.status, 0) << args << result.err;
        std::smatch logged;
        std::regex_search(result.out, logged, std::regex(R"(Sea radius ([0-9.]+): [0-9.]+% of the surface is land \(seed 42\)\n)"));
        ASSERT_EQ(logged.empty(), !land) << args << result.out;
        const double sea = land ? std::stod(logged[1]) : 1.0;
        const PlyFile saved = readPlyFile("p.ply");
        ASSERT_EQ(saved.xyz.size(), generated.xyz.size()) << args;
        std::string shape = land ? ", sea radius " + logged[1].str() : "";
        if (relief != 1)
            shape += ", relief " + std::string(relief == 3 ? "3" : "0.25");
        EXPECT_TRUE(std::regex_match(saved.comment, std::regex(made + shape + size))) << args << saved.comment;
        if (land) {
            const auto [share, largest] = landShare(generated, sea);
            EXPECT_LT(std::abs(share - *land / 100), largest) << args;
        }
        for (std::uint32_t v = 0; v < saved.xyz.size() / 3; ++v) {
            const double r = radiusOf(generated, v);
            ASSERT_NEAR(radiusOf(saved, v), std::max(sea + (r - sea) * relief, 0.05), 2e-7) << args << " vertex " << v;
        }
        const auto [low, high] = heightMapRadii("h.png");
        EXPECT_NEAR(low, sea + (plainLow - sea) * relief, 1e-7) << args;
        EXPECT_NEAR(high, sea + (plainHigh - sea) * relief, 1e-7) << args;
        EXPECT_NE(readFile("h.png").find(saved.comment + ", radius "), std::string::npos) << args;
    }
}

// The icosahedron with its corner 0 raised to 1.5: its five faces stand
// above the other fifteen, which are all of one height (their corners' lengths
// are the same floats): those are taken or left together.
TEST(SeaLevel, TakesWholeTrianglesFromTheHighestDown)
{
    const IcosphereWeld weld = weldIcosphere(ICOSAHEDRON_FACES, 0);
    std::vector<float> sea, land;
    for (const auto& face : ICOSAHEDRON_FACES)
        for (int corner : face)
            for (int k = 0; k < 3; ++k) {
                sea.push_back(ICOSAHEDRON_VERTICES[corner][k]);
                land.push_back(ICOSAHEDRON_VERTICES[corner][k] * (corner == 0 ? 1.5f : 1.0f));
            }
    const struct {
        double asked, reached;
    } cases[] = {{0, 0}, {0.02, 0}, {0.2, 0.25}, {0.6, 0.25}, {0.7, 1}, {1, 1}};
    for (const auto& [asked, reached] : cases) {
        const SeaLevel level = seaLevelForLand(weld, land.data(), sea.data(), asked);
        EXPECT_NEAR(level.landShare, reached, 1e-6) << asked;
        EXPECT_NEAR(level.largestTriangleShare, 0.05, 1e-6);
        int above = 0;
        for (std::size_t t = 0; t < 20; ++t) {
            double r[3];
            for (int k = 0; k < 3; ++k)
                r[k] = std::hypot(double(land[9 * t + 3 * k]), double(land[9 * t + 3 * k + 1]), double(land[9 * t + 3 * k + 2]));
            above += triangleHeight(r[0], r[1], r[2]) > level.seaRadius;
        }
        EXPECT_NEAR(above / 20.0, level.landShare, 1e-6) << asked << ": the radius splits the triangles as counted";
    }
}

// No vertex stands out of the sea of 0 % land, none lies dry under that of
// 100 %, by its own radius or by the map's (over its sea sphere vertex's).
TEST(SeaLevel, NoVertexBreaksTheSeaOfNoLandOrAllLand)
{
    for (const int subdivisions : {1, 6}) {
        const auto planet = quietPlanet(2, subdivisions, 3000);
        const float *land = planet->vertices.data(), *sea = planet->water->vertices.data();
        const double low = seaLevelForLand(planet->weld, land, sea, 1).seaRadius;
        const double high = seaLevelForLand(planet->weld, land, sea, 0).seaRadius;
        for (std::size_t c = 0; c < planet->vertices.size(); c += 3) {
            const double r = std::hypot(double(land[c]), double(land[c + 1]), double(land[c + 2]));
            const double mapped = r / std::hypot(double(sea[c]), double(sea[c + 1]), double(sea[c + 2]));
            ASSERT_TRUE(std::min(r, mapped) > low && std::max(r, mapped) < high) << subdivisions << ": corner " << c / 3;
        }
    }
}

// A planet no plane moved has every vertex exactly at the sea, though the
// lengths of its floats straddle 1 by rounding: each part that tells land
// from sea finds it all sea, and the share asked of --land cannot split it.
TEST(SeaLevel, AFlatPlanetIsAllSeaWhereverLandIsTold)
{
    const auto planet = quietPlanet(3, 5, 0);
    const LandSnapshot land(*planet);
    const std::vector<float> welded = weldedPositions(*planet, land);
    const auto straddles = [&] {
        int above = 0;
        for (std::size_t v = 0; v < welded.size(); v += 3)
            above += std::hypot(double(welded[v]), double(welded[v + 1]), double(welded[v + 2])) > 1.0;
        return above > 0 && above < int(welded.size() / 3);
    };
    ASSERT_TRUE(straddles()) << "the case: the floats' own lengths fall either side of 1";

    for (const double share : {0.0, 0.3, 0.5, 1.0}) {
        const SeaLevel level = seaLevelForLand(planet->weld, planet->vertices.data(), planet->water->vertices.data(), share);
        EXPECT_TRUE(level.landShare == 0.0 || level.landShare == 1.0) << share << ": " << level.landShare;
    }
    const Drainage& drainage = waterOf(*planet, land).drainage;
    EXPECT_EQ(std::count(drainage.sea.begin(), drainage.sea.end(), 1), std::ptrdiff_t(drainage.sea.size()))
        << "the rivers' coastlines and lakes";
    const auto climate = climateOf(*planet, land); // held: a planet not settled gets a climate of its own
    const std::vector<Biome>& biomes = climate->climate.biome;
    EXPECT_TRUE(std::all_of(biomes.begin(), biomes.end(), [](Biome b) { return b == Biome::Ocean || b == Biome::SeaIce; }))
        << "the biome map";
    for (const Hypsometry hypsometry : {Hypsometry::Linear, Hypsometry::Earth}) {
        planet->hypsometry = hypsometry;
        EXPECT_NEAR(physicalScaleOf(*planet, land).elevationMetres(1.0 + FALLBACK_RELIEF_UNITS), planet->highestMetres,
                    1e-9 * planet->highestMetres)
            << "no land to scale the heights by (" << hypsometryName(hypsometry) << ")";
    }
}

// Land with relief is told apart as its own radius tells it wherever rounding
// does not decide: a vertex moved by whole steps (1/1500) is far from the sea
// at 1, and one no plane moved is sea.
TEST(SeaLevel, ReliefIsToldApartByItsRadiusWhereRoundingDoesNotDecide)
{
    const auto planet = quietPlanet(1, 4, 3000);
    const LandSnapshot land(*planet);
    const std::vector<float> welded = weldedPositions(*planet, land);
    const std::vector<float> unit = weldedUnitSphere(*planet);
    const Drainage& drainage = waterOf(*planet, land).drainage;
    int decided = 0;
    for (std::size_t v = 0; v < drainage.sea.size(); ++v) {
        const double r = std::hypot(double(welded[3 * v]), double(welded[3 * v + 1]), double(welded[3 * v + 2]));
        const bool above = aboveSea(&welded[3 * v], &unit[3 * v], 1.0);
        EXPECT_EQ(drainage.sea[v] == 0, above) << v;
        if (std::abs(r - 1.0) > 1e-6) {
            EXPECT_EQ(above, r > 1.0) << v;
            ++decided;
        }
    }
    EXPECT_GT(decided, int(drainage.sea.size()) / 2) << "most vertices stand whole steps from the sea";
}

// The quick test of land and sea answers as generatedRadius does for every
// vertex, at seas set exactly at vertices' radii, a unit in the last place
// off them, and at radius 1, where vertices no plane moved stand.
TEST(SeaLevel, TheQuickTestOfLandAnswersAsTheGeneratedRadiusDoes)
{
    const auto planet = quietPlanet(3, 4, 3000);
    const LandSnapshot land(*planet);
    const std::vector<float> welded = weldedPositions(*planet, land);
    const std::vector<float> unit = weldedUnitSphere(*planet);
    std::vector<double> seas{1.0};
    for (std::size_t v = 0; v < unit.size() / 3; v += 97) {
        const double r = generatedRadius(&welded[3 * v], &unit[3 * v]);
        seas.insert(seas.end(), {r, std::nextafter(r, 0.0), std::nextafter(r, 2.0)});
    }
    for (const double sea : seas)
        for (std::size_t v = 0; v < unit.size() / 3; ++v) {
            ASSERT_EQ(aboveSea(&welded[3 * v], &unit[3 * v], sea), generatedRadius(&welded[3 * v], &unit[3 * v]) > sea)
                << v << " at " << sea;
            ASSERT_EQ(aboveSea(&welded[3 * v], nullptr, sea), generatedRadius(&welded[3 * v], nullptr) > sea)
                << v << " at " << sea;
        }
}

TEST(LandAndRelief, RefusedValuesPrintTheUsageAndWriteNothing)
{
    ScopedTempDir dir;
    for (const char* args : {"--land 101", "--land -5", "--relief 0", "--relief 11", "--relief x"}) {
        const CommandResult result = run(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_NE(result.err.find("Usage: orbivane"), std::string::npos) << args;
        EXPECT_EQ(readFile("p.ply"), "") << args;
    }
}

} // namespace
