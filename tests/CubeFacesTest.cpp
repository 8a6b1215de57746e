#include "CubeFaces.h"
#include "Landscape.h"
#include "Planet.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <numbers>

namespace {

std::unique_ptr<Planet> planetOf(int subdivisions, int iterations)
{
    setFixedSeed(5);
    testing::internal::CaptureStdout();
    auto planet = std::make_unique<Planet>(subdivisions, iterations, false);
    testing::internal::GetCapturedStdout();
    setFixedSeed(std::nullopt);
    return planet;
}

// OpenGL's cube map rule, as its specification tables it: the face a
// direction falls on and where, s and t from 0 to 1.
struct FacePoint {
    int face;
    double s, t;
};

FacePoint openGlFaceOf(const std::array<double, 3>& r)
{
    struct Rule {
        int axis;
        double sign;
        int sAxis;
        double sSign;
        int tAxis;
        double tSign;
    };
    static const Rule rules[6] = {{0, 1, 2, -1, 1, -1}, {0, -1, 2, 1, 1, -1}, {1, 1, 0, 1, 2, 1},
                                  {1, -1, 0, 1, 2, -1}, {2, 1, 0, 1, 1, -1}, {2, -1, 0, -1, 1, -1}};
    int axis = 0;
    for (int k = 1; k < 3; ++k)
        if (std::fabs(r[k]) > std::fabs(r[axis]))
            axis = k;
    const int face = 2 * axis + (r[axis] < 0);
    const Rule& rule = rules[face];
    const double ma = std::fabs(r[rule.axis]);
    return {face, (rule.sSign * r[rule.sAxis] / ma + 1) / 2, (rule.tSign * r[rule.tAxis] / ma + 1) / 2};
}

double angleBetween(const std::array<double, 3>& a, const std::array<double, 3>& b)
{
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    return std::acos(std::clamp(dot / std::hypot(a[0], a[1], a[2]) / std::hypot(b[0], b[1], b[2]), -1.0, 1.0));
}

// Each face pixel lies where OpenGL's rule puts it, and holds the height
// map's value in its direction: the nearest map pixel's, give or take what
// the land's slope there (twice the steepest towards a neighbouring map
// pixel) allows over the angle between the two, and one 16-bit step.
TEST(CubeFaces, FacePixelsHoldTheHeightMapsValueWhereOpenGlSamplesThem)
{
    auto planet = planetOf(3, 300);
    const LandRadii land(*planet);
    const HeightGrid grid = buildHeightGrid(*planet, 4096);
    const GreyImage16 map = heightMapOf(grid);
    const auto mapAt = [&](int i, int j) { return int(map.grey[std::size_t(j) * map.width + i]); };
    constexpr int size = 33;
    for (int face = 0; face < CUBE_FACES; ++face) {
        const GreyImage16 heights = cubeHeightFace(cubeFaceRadii(land, face, size), size, land.minRadius, land.maxRadius);
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i) {
                const auto d = cubeFaceDirection(face, i, j, size);
                const FacePoint at = openGlFaceOf(d);
                if (std::max({std::fabs(d[0]), std::fabs(d[1]), std::fabs(d[2])}) == 1.0 && at.face == face) {
                    EXPECT_NEAR(at.s, double(i) / (size - 1), 1e-12) << CUBE_FACE_NAMES[face];
                    EXPECT_NEAR(at.t, double(j) / (size - 1), 1e-12) << CUBE_FACE_NAMES[face];
                } else if (i > 0 && j > 0 && i < size - 1 && j < size - 1) {
                    ADD_FAILURE() << CUBE_FACE_NAMES[face] << " pixel " << i << ", " << j << " is on face " << at.face;
                }
                const double lon = std::atan2(-d[2], d[0]), lat = std::atan2(d[1], std::hypot(d[0], d[2]));
                const int mi = int(std::lround((lon + std::numbers::pi) / (2 * std::numbers::pi) * map.width - 0.5)) % map.width;
                const int mj = std::clamp(int(std::lround((std::numbers::pi / 2 - lat) / std::numbers::pi * map.height - 0.5)),
                                          0, map.height - 1);
                const auto m = mapDirection(mi, mj, map.width);
                double slope = 0.0; // 16-bit steps a radian
                for (int dj = -1; dj <= 1; ++dj)
                    for (int di = -1; di <= 1; ++di) {
                        const int ni = (mi + di + map.width) % map.width, nj = std::clamp(mj + dj, 0, map.height - 1);
                        const double apart = angleBetween(m, mapDirection(ni, nj, map.width));
                        if (apart > 0)
                            slope = std::max(slope, std::abs(mapAt(ni, nj) - mapAt(mi, mj)) / apart);
                    }
                const int value = heights.grey[std::size_t(j) * size + i];
                EXPECT_LE(std::abs(value - mapAt(mi, mj)), 2.0 * slope * angleBetween(d, m) + 1.0)
                    << CUBE_FACE_NAMES[face] << " pixel " << i << ", " << j;
            }
    }
}

// A face's edge pixels lie on the cube's edges: every direction there is
// shared with one neighbouring face (three at a corner), with the same height
// and colour.
TEST(CubeFaces, NeighbouringFacesAgreeAlongTheirEdges)
{
    auto planet = planetOf(4, 2000);
    const LandRadii land(*planet);
    constexpr int size = 40;
    struct Sample {
        int face;
        std::uint16_t height;
        std::array<unsigned char, 3> colour;
    };
    std::map<std::array<long long, 3>, std::vector<Sample>> byDirection;
    for (int face = 0; face < CUBE_FACES; ++face) {
        const std::vector<float> radii = cubeFaceRadii(land, face, size);
        const GreyImage16 heights = cubeHeightFace(radii, size, land.minRadius, land.maxRadius);
        const Image colours = cubeColourFace(radii, face, size);
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i) {
                if (i > 0 && j > 0 && i < size - 1 && j < size - 1)
                    continue;
                const auto d = cubeFaceDirection(face, i, j, size);
                const std::size_t p = std::size_t(j) * size + i;
                byDirection[{std::llround(d[0] * 1e9), std::llround(d[1] * 1e9), std::llround(d[2] * 1e9)}].push_back(
                    {face, heights.grey[p], {colours.rgb[3 * p], colours.rgb[3 * p + 1], colours.rgb[3 * p + 2]}});
            }
    }
    int edges = 0, corners = 0;
    for (const auto& [direction, samples] : byDirection) {
        edges += samples.size() == 2;
        corners += samples.size() == 3;
        for (const Sample& sample : samples) {
            EXPECT_EQ(sample.height, samples[0].height) << "faces " << samples[0].face << " and " << sample.face;
            EXPECT_EQ(sample.colour, samples[0].colour) << "faces " << samples[0].face << " and " << sample.face;
        }
    }
    EXPECT_EQ(edges, 12 * (size - 2));
    EXPECT_EQ(corners, 8);
    EXPECT_EQ(byDirection.size(), std::size_t(12 * (size - 2) + 8));
}

} // namespace
