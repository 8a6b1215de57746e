#include "DetailLevels.h"
#include "HiddenPatches.h"
#include "Planet.h"
#include "TestSupport.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

using Vec = std::array<double, 3>;

double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

// The point of segment ab nearest the origin, as its distance.
double segmentDistance(const Vec& a, const Vec& b)
{
    const Vec ab = sub(b, a);
    const double t = std::clamp(-dot(a, ab) / dot(ab, ab), 0.0, 1.0);
    const Vec p = {a[0] + t * ab[0], a[1] + t * ab[1], a[2] + t * ab[2]};
    return std::sqrt(dot(p, p));
}

// The nearest any point of triangle abc comes to the origin.
double triangleDistance(const Vec& a, const Vec& b, const Vec& c)
{
    const Vec ab = sub(b, a), ac = sub(c, a);
    const Vec n = {ab[1] * ac[2] - ab[2] * ac[1], ab[2] * ac[0] - ab[0] * ac[2], ab[0] * ac[1] - ab[1] * ac[0]};
    const double plane = dot(a, n) / dot(n, n); // the origin's foot on the plane: plane * n
    const Vec foot = {plane * n[0], plane * n[1], plane * n[2]};
    // Inside the triangle when the foot lies on the inner side of every edge.
    const Vec corners[3] = {a, b, c};
    bool inside = true;
    for (int k = 0; k < 3; ++k) {
        const Vec edge = sub(corners[(k + 1) % 3], corners[k]), toFoot = sub(foot, corners[k]);
        const Vec cross = {edge[1] * toFoot[2] - edge[2] * toFoot[1], edge[2] * toFoot[0] - edge[0] * toFoot[2],
                           edge[0] * toFoot[1] - edge[1] * toFoot[0]};
        inside = inside && dot(cross, n) >= 0;
    }
    if (inside)
        return std::sqrt(dot(foot, foot));
    return std::min({segmentDistance(a, b), segmentDistance(b, c), segmentDistance(c, a)});
}

struct Land {
    explicit Land(int planes) : made(quietPlanet(4, 5, planes)), planet(*made) {}
    Vec vertex(std::uint32_t weldVertex) const
    {
        const float* xyz = &planet.vertices[3 * std::size_t(planet.weld.vertexToCorner[weldVertex])];
        return {xyz[0], xyz[1], xyz[2]};
    }
    std::unique_ptr<Planet> made;
    const Planet& planet;
};

// Every vertex the land's own inscribed ball leaves in sight of the eye lies
// in a run drawn; the runs are whole patches, in order, inside the buffer;
// and from the starting distance about a third of a smooth sphere is drawn.
TEST(HiddenPatches, EveryVertexInSightIsInARunDrawn)
{
    std::mt19937 random(7);
    std::normal_distribution<double> normal;
    for (const int planes : {0, 3000}) {
        const Land land(planes);
        const std::vector<PatchCone> cones = patchCones(land.planet.weld, land.planet.water->vertices.data());
        ASSERT_EQ(cones.size(), 20u << (2 * PATCH_LEVEL));
        for (const int level : {3, 4, 5}) {
            const std::vector<std::uint32_t> triangles = levelTriangles(land.planet.weld, level);
            double ball = INFINITY, nearest = INFINITY, farthest = 0;
            for (std::size_t c = 0; c < triangles.size(); c += 3) {
                ball = std::min(ball, triangleDistance(land.vertex(triangles[c]), land.vertex(triangles[c + 1]),
                                                       land.vertex(triangles[c + 2])));
                for (int k = 0; k < 3; ++k) {
                    const Vec v = land.vertex(triangles[c + k]);
                    nearest = std::min(nearest, std::sqrt(dot(v, v)));
                    farthest = std::max(farthest, std::sqrt(dot(v, v)));
                }
            }
            for (const double distance : {1.2, 1.54, 3.0, 4.83, 20.0}) {
                Vec eye = {normal(random), normal(random), normal(random)};
                const double scale = distance / std::sqrt(dot(eye, eye));
                for (double& c : eye)
                    c *= scale;
                const std::vector<IndexRun> runs = seenRuns(cones, level, {{eye[0], eye[1], eye[2]}, nearest, farthest});
                std::vector<bool> drawn(triangles.size(), false);
                std::uint32_t end = 0;
                for (const IndexRun& run : runs) {
                    ASSERT_TRUE(run.first >= end && run.count > 0 && run.first + run.count <= triangles.size());
                    ASSERT_EQ(run.count % (3u << (2 * (level - PATCH_LEVEL))), 0u);
                    std::fill_n(drawn.begin() + run.first, run.count, true);
                    end = run.first + run.count;
                }
                for (std::size_t c = 0; c < triangles.size(); ++c) {
                    if (segmentDistance(eye, land.vertex(triangles[c])) > ball) {
                        ASSERT_TRUE(drawn[c]) << "a vertex in sight left out: " << planes << " planes, level "
                                              << level << ", distance " << distance;
                    }
                }
                const double share = double(std::count(drawn.begin(), drawn.end(), true)) / double(drawn.size());
                if (planes == 0 && level == 5) {
                    if (distance == 3.0) {
                        EXPECT_TRUE(share > 0.3 && share < 0.45) << share;
                    } else if (distance == 1.54) {
                        EXPECT_LT(share, 0.3);
                    }
                }
            }
        }
    }
}

// Patches cannot tell below their own level, nor from inside the land.
TEST(HiddenPatches, CoarseLevelsAndAnEyeInsideDrawEverything)
{
    const Land land(0);
    const std::vector<PatchCone> cones = patchCones(land.planet.weld, land.planet.water->vertices.data());
    const auto wholeRun = [](int level) { return std::uint32_t(60) << (2 * level); };
    for (const auto& [level, eye] : {std::pair{2, 3.0}, std::pair{5, 0.5}, std::pair{5, 0.0}}) {
        const std::vector<IndexRun> runs = seenRuns(cones, level, {{eye, 0, 0}, 1.0, 1.0});
        ASSERT_EQ(runs.size(), 1u) << level << ", " << eye;
        EXPECT_EQ(runs[0].first, 0u);
        EXPECT_EQ(runs[0].count, wholeRun(level));
    }
    EXPECT_TRUE(patchCones(Planet(2, 0, false).weld, Planet(2, 0, false).water->vertices.data()).empty());
}

// The eye found from a model-view matrix is the point it maps to the origin.
TEST(HiddenPatches, EyeOfAModelViewMatrixMapsToTheOrigin)
{
    const double c = std::cos(0.7), s = std::sin(0.7), k = 1.3; // a turn about y, a scale, a shift
    const double matrix[16] = {k * c, 0, -k * s, 0, 0, k, 0, 0, k * s, 0, k * c, 0, 0.2, -0.1, -3.0, 1};
    double eye[3];
    ASSERT_TRUE(eyeOf(matrix, eye));
    for (int row = 0; row < 3; ++row)
        EXPECT_NEAR(matrix[row] * eye[0] + matrix[4 + row] * eye[1] + matrix[8 + row] * eye[2] + matrix[12 + row], 0.0,
                    1e-12);
    const double flat[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, -3, 1};
    EXPECT_FALSE(eyeOf(flat, eye));
}

} // namespace
