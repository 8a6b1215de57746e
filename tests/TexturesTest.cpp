// The textured land: its texture coordinates with their seams, and the
// normal map against the height map's own slopes.
#include "CubeFaces.h"
#include "LandNormals.h"
#include "LandRadii.h"
#include "NormalMap.h"
#include "Planet.h"
#include "SavedLand.h"
#include "TestSupport.h"
#include "TextureSeams.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>

namespace {

constexpr double PI = std::numbers::pi;

std::array<double, 3> operator-(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

// Every face lies on the map without spanning it, keeps its welded corners
// and turns one way on it; every vertex's coordinates are its direction's
// (u modulo 1), a pole's u the middle of its face's other corners.
TEST(TextureSeams, NoFaceSpansTheMapAndEveryCornerIsWhereItsDirectionIs)
{
    for (int subdivisions : {0, 1, 4}) {
        const auto planet = quietPlanet(3, subdivisions, 300);
        std::vector<float> positions;
        gatherWelded(planet->weld, planet->vertices.data(), positions);
        const TexturedMesh mesh = texturedMesh(planet->weld, positions);
        const std::size_t welded = planet->weld.vertexCount();
        ASSERT_EQ(mesh.vertexCount(), welded + mesh.copied.size());
        EXPECT_GT(mesh.copied.size(), 0u) << "some faces cross the 180th meridian";
        for (std::size_t f = 0; f < planet->weld.faceCount(); ++f) {
            double u[3], v[3];
            bool pole[3];
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t index = mesh.indices[3 * f + k];
                const std::uint32_t source = index < welded ? index : mesh.copied[index - welded];
                ASSERT_EQ(source, faceVertex(planet->weld, f, k)) << "face " << f;
                const float* p = &positions[3 * std::size_t(source)];
                u[k] = mesh.uv[2 * index], v[k] = mesh.uv[2 * index + 1];
                pole[k] = std::hypot(p[0], p[2]) < 1e-6 * std::hypot(p[0], p[1], p[2]);
                const double latitude = std::atan2(double(p[1]), std::hypot(double(p[0]), double(p[2])));
                EXPECT_NEAR(v[k], 0.5 - latitude / PI, 1e-6);
                if (!pole[k]) {
                    const double lonU = (std::atan2(-double(p[2]), double(p[0])) + PI) / (2 * PI);
                    EXPECT_NEAR(std::remainder(u[k] - lonU, 1.0), 0.0, 1e-6) << "face " << f;
                }
            }
            for (int k = 0; k < 3; ++k)
                if (pole[k]) {
                    EXPECT_NEAR(u[k], 0.5 * (u[(k + 1) % 3] + u[(k + 2) % 3]), 1e-6);
                }
            // Half the map at most: an icosahedron's face with a pole on its edge spans that.
            EXPECT_LE(std::max({u[0], u[1], u[2]}) - std::min({u[0], u[1], u[2]}), 0.5 + 1e-6) << "face " << f;
            // Counter-clockwise from outside, east to the right and north up: on the map,
            // whose v runs south, clockwise.
            const double turn = (u[1] - u[0]) * (v[2] - v[0]) - (v[1] - v[0]) * (u[2] - u[0]);
            EXPECT_LT(turn, 0.0) << "face " << f << " at subdivisions " << subdivisions;
        }
    }
}

// The map's radius at (i, j) from the 16-bit height map, as a reader gets it.
double radiusAt(const GreyImage16& heights, const HeightGrid& grid, int i, int j)
{
    const int wrapped = (i + grid.width) % grid.width;
    const double sample = heights.grey[std::size_t(j) * grid.width + wrapped];
    return grid.minRadius + sample / 65535.0 * (double(grid.maxRadius) - grid.minRadius);
}

// The unit normal (east, north, up) of the surface r(longitude, latitude)
// at texel (i, j): its slopes by finite differences of the height map,
// across one texel each way (one way only on the first and last rows).
std::array<double, 3> slopeNormal(const GreyImage16& heights, const HeightGrid& grid, int i, int j)
{
    const double step = 2 * PI / grid.width;
    const double latitude = PI / 2 - PI * (j + 0.5) / grid.height;
    const int north = std::max(j - 1, 0), south = std::min(j + 1, grid.height - 1);
    const double r = radiusAt(heights, grid, i, j);
    const double east = (radiusAt(heights, grid, i + 1, j) - radiusAt(heights, grid, i - 1, j)) / (2 * step) /
                        (r * std::cos(latitude));
    const double up = (radiusAt(heights, grid, i, north) - radiusAt(heights, grid, i, south)) /
                      ((south - north) * step) / r;
    const double length = std::sqrt(east * east + up * up + 1.0);
    return {-east / length, -up / length, 1.0 / length};
}

TEST(NormalMap, NormalsAtRandomTexelsAreTheHeightMapsSlopes)
{
    const auto planet = quietPlanet(11, 5, 3000);
    const HeightGrid grid = buildHeightGrid(*planet, 512);
    const Image normals = normalMapOf(grid);
    const GreyImage16 heights = heightMapOf(grid);
    ASSERT_EQ(normals.width, 512);
    ASSERT_EQ(normals.height, 256);
    std::mt19937 random(42);
    int tilted = 0;
    for (int n = 0; n < 1000; ++n) {
        const int i = int(random() % 512), j = int(random() % 256);
        const std::array<double, 3> expected = slopeNormal(heights, grid, i, j);
        const std::array<double, 3> got = decodeNormal(&normals.rgb[3 * (std::size_t(j) * 512 + i)]);
        const double cosine = got[0] * expected[0] + got[1] * expected[1] + got[2] * expected[2];
        EXPECT_LE(std::acos(std::min(cosine, 1.0)) * 180 / PI, 2.0) << "texel " << i << ", " << j;
        tilted += expected[2] < std::cos(5 * PI / 180);
    }
    EXPECT_GT(tilted, 50) << "enough slopes to tell east from west";
}

using Vec = std::array<double, 3>;

Vec unitOf(const Vec& a)
{
    const double length = std::hypot(a[0], a[1], a[2]);
    return {a[0] / length, a[1] / length, a[2] / length};
}

// t with its part along unit n taken away, unit.
Vec flattened(const Vec& t, const Vec& n)
{
    const double along = t[0] * n[0] + t[1] * n[1] + t[2] * n[2];
    return unitOf({t[0] - along * n[0], t[1] - along * n[1], t[2] - along * n[2]});
}

// A tangent-space normal told in the planet's axes: right, up the picture
// and out as given.
Vec inPlanetAxes(const Vec& n, const Vec& right, const Vec& up, const Vec& out)
{
    Vec world;
    for (int k = 0; k < 3; ++k)
        world[k] = n[0] * right[k] + n[1] * up[k] + n[2] * out[k];
    return world;
}

// Every cube face's normals, turned into the planet's axes, are the map's
// where the land slopes: no face is mirrored or turned.
TEST(NormalMap, CubeFacesTellTheMapsNormalsInTheirOwnAxes)
{
    const auto planet = quietPlanet(11, 5, 3000);
    const LandRadii land(*planet);
    const HeightGrid grid = buildHeightGrid(land, 1024);
    const Image map = normalMapOf(grid);
    constexpr int SIZE = 128;
    for (int face = 0; face < CUBE_FACES; ++face) {
        const Image normals = cubeNormalFace(cubeFaceRadii(land, face, SIZE), face, SIZE);
        std::vector<double> misses;
        for (int j = 8; j < SIZE - 8; j += 3)
            for (int i = 8; i < SIZE - 8; i += 3) {
                const Vec out = unitOf(cubeFaceDirection(face, i, j, SIZE));
                const Vec right = flattened(
                    unitOf(cubeFaceDirection(face, i + 1, j, SIZE)) - unitOf(cubeFaceDirection(face, i - 1, j, SIZE)), out);
                const Vec up = flattened(
                    unitOf(cubeFaceDirection(face, i, j - 1, SIZE)) - unitOf(cubeFaceDirection(face, i, j + 1, SIZE)), out);
                const Vec seen = inPlanetAxes(decodeNormal(&normals.rgb[3 * (std::size_t(j) * SIZE + i)]), right, up, out);
                const double longitude = std::atan2(-out[2], out[0]), latitude = std::asin(out[1]);
                const int mi = std::min(int((longitude + PI) / (2 * PI) * 1024), 1023);
                const int mj = std::min(int((PI / 2 - latitude) / PI * 512), 511);
                const Vec east{-std::sin(longitude), 0.0, -std::cos(longitude)};
                const Vec north = flattened({0.0, 1.0, 0.0}, out);
                const Vec fromMap = inPlanetAxes(decodeNormal(&map.rgb[3 * (std::size_t(mj) * 1024 + mi)]), east, north, out);
                const double tilt = std::acos(std::min(1.0, fromMap[0] * out[0] + fromMap[1] * out[1] + fromMap[2] * out[2]));
                if (tilt > 5 * PI / 180)
                    misses.push_back(std::acos(std::min(1.0, seen[0] * fromMap[0] + seen[1] * fromMap[1] + seen[2] * fromMap[2])));
            }
        ASSERT_GT(misses.size(), 20u) << "face " << face;
        std::nth_element(misses.begin(), misses.begin() + misses.size() / 2, misses.end());
        EXPECT_LT(misses[misses.size() / 2] * 180 / PI, 4.0) << "the median miss on face " << CUBE_FACE_NAMES[face];
    }
}

} // namespace
