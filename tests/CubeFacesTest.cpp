#include "CubeFaces.h"
#include "LandRadii.h"
#include "Landscape.h"
#include "Planet.h"
#include "TestSupport.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <numbers>

namespace {

// The direction through pixel (i, j) of a face by OpenGL's cube map table:
// the major axis, then the axes sc and tc (from -1 to 1) run along, signed.
std::array<double, 3> openGlDirection(int face, int i, int j, int size)
{
    static const int rules[6][5] = {{0, 2, -1, 1, -1}, {0, 2, 1, 1, -1}, {1, 0, 1, 2, 1},
                                    {1, 0, 1, 2, -1},  {2, 0, 1, 1, -1}, {2, 0, -1, 1, -1}};
    const int* rule = rules[face];
    std::array<double, 3> r{};
    r[rule[0]] = face % 2 ? -1.0 : 1.0;
    r[rule[1]] = rule[2] * (2.0 * i / (size - 1) - 1.0);
    r[rule[3]] = rule[4] * (2.0 * j / (size - 1) - 1.0);
    return r;
}

double angleBetween(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    return std::acos(std::clamp(dot / std::hypot(a[0], a[1], a[2]) / std::hypot(b[0], b[1], b[2]), -1.0, 1.0));
}

// Each face pixel holds the height map's value in the direction OpenGL
// samples it from: the nearest map pixel's, give or take what the land's
// slope there (twice the steepest towards a neighbouring map pixel) allows
// over the angle between the two, and one 16-bit step.
TEST(CubeFaces, FacePixelsHoldTheHeightMapsValueWhereOpenGlSamplesThem)
{
    auto planet = quietPlanet(5, 3, 300);
    const LandRadii land(*planet);
    const GreyImage16 map = heightMapOf(buildHeightGrid(*planet, 4096));
    const auto mapAt = [&](int i, int j) { return int(map.grey[std::size_t(j) * map.width + i]); };
    constexpr int size = 33;
    for (int face = 0; face < CUBE_FACES; ++face) {
        const GreyImage16 heights = cubeHeightFace(cubeFaceRadii(land, face, size), size, land.minRadius, land.maxRadius);
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i) {
                const auto d = openGlDirection(face, i, j, size);
                const double lon = std::atan2(-d[2], d[0]), lat = std::atan2(d[1], std::hypot(d[0], d[2]));
                const int mi = int(std::lround((lon / std::numbers::pi + 1) / 2 * map.width - 0.5)) % map.width;
                const int mj = std::clamp(int(std::lround((0.5 - lat / std::numbers::pi) * map.height - 0.5)), 0, map.height - 1);
                const auto m = mapDirection(mi, mj, map.width);
                double slope = 0.0; // 16-bit steps a radian
                for (int n = 0; n < 9; ++n) {
                    const int ni = (mi + n % 3 - 1 + map.width) % map.width, nj = std::clamp(mj + n / 3 - 1, 0, map.height - 1);
                    const double apart = angleBetween(m, mapDirection(ni, nj, map.width));
                    slope = std::max(slope, apart > 0 ? std::abs(mapAt(ni, nj) - mapAt(mi, mj)) / apart : 0.0);
                }
                EXPECT_LE(std::abs(heights.grey[std::size_t(j) * size + i] - mapAt(mi, mj)), 2 * slope * angleBetween(d, m) + 1)
                    << CUBE_FACE_NAMES[face] << " pixel " << i << ", " << j;
            }
    }
}

// A face's edge pixels lie on the cube's edges: every direction there is
// shared with one neighbouring face (three at a corner), with the same height.
TEST(CubeFaces, NeighbouringFacesAgreeAlongTheirEdges)
{
    auto planet = quietPlanet(5, 4, 2000);
    const LandRadii land(*planet);
    constexpr int size = 40;
    std::map<std::array<long long, 3>, std::vector<std::uint16_t>> byDirection;
    for (int face = 0; face < CUBE_FACES; ++face) {
        const GreyImage16 heights = cubeHeightFace(cubeFaceRadii(land, face, size), size, land.minRadius, land.maxRadius);
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i) {
                if (i > 0 && j > 0 && i < size - 1 && j < size - 1)
                    continue;
                const auto d = cubeFaceDirection(face, i, j, size);
                byDirection[{std::llround(d[0] * 1e9), std::llround(d[1] * 1e9), std::llround(d[2] * 1e9)}].push_back(
                    heights.grey[std::size_t(j) * size + i]);
            }
    }
    int edges = 0, corners = 0;
    for (const auto& [direction, heights] : byDirection) {
        edges += heights.size() == 2;
        corners += heights.size() == 3;
        EXPECT_TRUE(std::all_of(heights.begin(), heights.end(), [&](auto h) { return h == heights[0]; }))
            << direction[0] << ", " << direction[1] << ", " << direction[2];
    }
    EXPECT_EQ(edges, 12 * (size - 2));
    EXPECT_EQ(corners, 8);
    EXPECT_EQ(byDirection.size(), std::size_t(12 * (size - 2) + 8));
}

} // namespace
