#include "FaultTree.h"
#include "Landscape.h"
#include "Planet.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>

namespace {

struct SeedScope {
    explicit SeedScope(std::uint32_t seed) { setFixedSeed(seed); }
    ~SeedScope() { setFixedSeed(std::nullopt); }
};

// Runs the tree with one kernel and gives the best one back afterwards.
struct KernelScope {
    explicit KernelScope(TreeKernel kernel) { setTreeKernel(kernel); }
    ~KernelScope() { setTreeKernel(bestTreeKernel()); }
};

// The kernels this processor runs, the plain one first.
std::vector<TreeKernel> runnableKernels()
{
    std::vector<TreeKernel> kernels{TreeKernel::Plain};
    if (bestTreeKernel() != TreeKernel::Plain)
        kernels.push_back(TreeKernel::Avx2);
    if (bestTreeKernel() == TreeKernel::Avx512)
        kernels.push_back(TreeKernel::Avx512);
    return kernels;
}

const char* kernelName(TreeKernel kernel)
{
    return kernel == TreeKernel::Avx512 ? "avx512" : kernel == TreeKernel::Avx2 ? "avx2" : "plain";
}

// The undeformed icosphere, built once per subdivision count.
const std::vector<float>& sphere(int subdivisions)
{
    static std::map<int, std::vector<float>> spheres;
    auto it = spheres.find(subdivisions);
    if (it == spheres.end()) {
        testing::internal::CaptureStdout();
        it = spheres.emplace(subdivisions, std::vector<float>(Planet(subdivisions, 0, false).vertices)).first;
        testing::internal::GetCapturedStdout();
    }
    return it->second;
}

std::vector<FaultPlane> drawnPlanes(std::uint32_t seed, int count)
{
    std::mt19937 rng(seed);
    std::vector<FaultPlane> planes;
    for (int i = 0; i < count; ++i) {
        const std::uint32_t r1 = rng(), r2 = rng(), r3 = rng(), r4 = rng();
        planes.push_back(planeFromDraws(r1, r2, r3, r4));
    }
    return planes;
}

// Every vertex against every plane with sideValue: the counts the tree must give.
std::vector<int> bruteForceCounts(const std::vector<float>& v, const std::vector<FaultPlane>& planes)
{
    std::vector<int> counts(v.size() / 3, 0);
    for (const FaultPlane& plane : planes)
        applyPlaneToCounters(plane, v.data(), static_cast<int>(counts.size()), counts.data());
    return counts;
}

std::vector<int> treeCounts(const std::vector<float>& v, const std::vector<FaultPlane>& planes, int threads)
{
    std::vector<int> counts(v.size() / 3, 0);
    countByTree(v.data(), static_cast<int>(counts.size()), planes, counts.data(), threads);
    return counts;
}

// Checks the tree against brute force with every kernel and one and two threads.
void expectSameCounts(const std::vector<float>& v, const std::vector<FaultPlane>& planes, const std::string& what)
{
    const std::vector<int> expected = bruteForceCounts(v, planes);
    for (TreeKernel kernel : runnableKernels()) {
        KernelScope scope(kernel);
        for (int threads : {1, 2})
            ASSERT_EQ(treeCounts(v, planes, threads), expected)
                << what << ", kernel " << kernelName(kernel) << ", " << threads << " threads";
    }
}

double distance(const float* v, const float* c)
{
    const double dx = double(v[0]) - c[0], dy = double(v[1]) - c[1], dz = double(v[2]) - c[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Every node of every level: (first vertex, vertex count).
std::vector<std::pair<int, int>> nodesOf(int vertexCount)
{
    std::vector<std::pair<int, int>> nodes;
    for (int size = vertexCount / 20; size >= 3; size /= 4)
        for (int first = 0; first < vertexCount; first += size)
            nodes.emplace_back(first, size);
    return nodes;
}

TEST(FaultTree, BallsHoldEveryVertexOfTheirNodeWithTheDriftToSpare)
{
    for (int subdivisions = 0; subdivisions <= 7; ++subdivisions) {
        const std::vector<float>& v = sphere(subdivisions);
        double worstDrift = 0; // beyond the cap through the corners, in unit radii
        for (auto [first, count] : nodesOf(static_cast<int>(v.size() / 3))) {
            const NodeBall ball = nodeBall(v.data(), first, count);
            for (int j = first; j < first + count; ++j) {
                const double d = distance(&v[3 * j], ball.centre);
                ASSERT_LE(d, ball.radius) << subdivisions << " subdivisions, node " << first << "+" << count;
                worstDrift = std::max(worstDrift, d - (ball.radius - MESH_DRIFT));
            }
        }
        EXPECT_LT(worstDrift, MESH_DRIFT / 4) << subdivisions << " subdivisions";
    }
}

TEST(FaultTree, CountsEqualBruteForceForManySeeds)
{
    const std::pair<int, int> cases[] = {{0, 40}, {1, 40}, {2, 30}, {3, 30}, {4, 12}, {5, 6}, {6, 2}};
    for (auto [subdivisions, seeds] : cases) {
        for (int seed = 1; seed <= seeds; ++seed) {
            const int planes = 50 + 37 * seed; // not a multiple of any register width
            expectSameCounts(sphere(subdivisions), drawnPlanes(static_cast<std::uint32_t>(seed), planes),
                             std::to_string(subdivisions) + " subdivisions, seed " + std::to_string(seed));
        }
    }
}

// Planes through the centre, touching the sphere, exactly through mesh
// vertices, and at distances 0 and 1.
std::vector<FaultPlane> hardPlanes(const std::vector<float>& v)
{
    std::vector<FaultPlane> planes = {
        planeFromDraws(1, 0, 123, 456),                   // dist 0: P at the centre
        planeFromDraws(2, 0, 0xFFFFFFFF, 0x7FFFFFFF),     // dist 0 again, other sign
        planeFromDraws(3, 0xFFFFFFFF, 0x12345678, 0x55555555), // dist 1: touching
        planeFromDraws(4, 0xFFFFFFFF, 0, 0),              // touching at the pole
        planeFromDraws(5, 1, 0x40000000, 0x40000000),     // the smallest distance above 0
        {{0.525731087f, 0.0f, 0.0f}, 1},                  // x = X: through icosahedron vertices
        {{0.0f, 0.0f, -0.850650787f}, -1},                // z = -Z
        {{0.0f, 0.0f, 0.0f}, 1},
    };
    const int count = static_cast<int>(v.size() / 3);
    for (int j = 0; j < count; j += std::max(1, count / 7)) {
        const float* p = &v[3 * j];
        planes.push_back({{p[0], p[1], p[2]}, 1});      // touching the sphere at a vertex
        planes.push_back({{p[0], 0.0f, 0.0f}, -1});     // d is exactly 0 for every vertex with this x
        planes.push_back({{0.0f, p[1], 0.0f}, 1});
        planes.push_back({{0.0f, 0.0f, p[2]}, -1});
        planes.push_back({{p[0] * 0.5f, p[1] * 0.5f, p[2] * 0.5f}, 1});
    }
    return planes;
}

TEST(FaultTree, HardPlanesGiveTheSameCounts)
{
    for (int subdivisions : {0, 1, 3, 5, 6}) {
        const std::vector<float>& v = sphere(subdivisions);
        const std::vector<FaultPlane> planes = hardPlanes(v);
        expectSameCounts(v, planes, std::to_string(subdivisions) + " subdivisions, all hard planes");
        for (std::size_t i = 0; i < planes.size(); ++i)
            expectSameCounts(v, {planes[i]}, std::to_string(subdivisions) + " subdivisions, hard plane " +
                                                 std::to_string(i));
    }
}

// The plane through the point at distance dist along the unit direction n.
FaultPlane planeAlong(const double* n, double dist, int sign)
{
    return {{float(n[0] * dist), float(n[1] * dist), float(n[2] * dist)}, sign};
}

// A unit direction whose dot product with the ball's centre is 1/2, so that
// planes grazing the ball on either side stay within the unit sphere.
void slantedDirection(const NodeBall& ball, double* n)
{
    const double c[3] = {ball.centre[0], ball.centre[1], ball.centre[2]};
    const double length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    const double a[3] = {c[0] / length, c[1] / length, c[2] / length};
    // u: a unit vector perpendicular to a.
    double u[3] = {-a[1], a[0], 0.0};
    if (std::fabs(a[2]) > 0.9)
        u[0] = 0.0, u[1] = -a[2], u[2] = a[1];
    const double ul = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    const double cosine = 0.5 / length, sine = std::sqrt(1.0 - cosine * cosine);
    for (int i = 0; i < 3; ++i)
        n[i] = cosine * a[i] + sine * u[i] / ul;
}

TEST(FaultTree, PlanesTangentToANodeBallOpenTheNodeWithinTheMargin)
{
    const std::vector<float>& v = sphere(5);
    std::vector<FaultPlane> tangents;
    for (auto [first, count] : nodesOf(static_cast<int>(v.size() / 3))) {
        const NodeBall ball = nodeBall(v.data(), first, count);
        if (first % (count * 97) != 0 || ball.radius > 0.45f)
            continue; // a spread of nodes below the faces
        double n[3];
        slantedDirection(ball, n);
        // The ball lies between the planes at 1/2 - radius and 1/2 + radius
        // along n, touching both.
        const double above = 0.5 + ball.radius, below = 0.5 - ball.radius;
        for (double part : {0.0, 0.5, 0.9}) {
            const double gap = part * SIDE_MARGIN;
            EXPECT_EQ(classifyNode(ball, planeAlong(n, above + gap, 1)), NodeSide::Cut) << first << "+" << count;
            EXPECT_EQ(classifyNode(ball, planeAlong(n, below - gap, 1)), NodeSide::Cut) << first << "+" << count;
            tangents.push_back(planeAlong(n, above + gap, 1));
            tangents.push_back(planeAlong(n, below - gap, -1));
        }
        EXPECT_EQ(classifyNode(ball, planeAlong(n, above + 3 * SIDE_MARGIN, 1)), NodeSide::Inner);
        EXPECT_EQ(classifyNode(ball, planeAlong(n, below - 3 * SIDE_MARGIN, 1)), NodeSide::Outer);
        // Touching the sphere at the node's first corner: d is 0 there.
        const float* corner = &v[3 * first];
        EXPECT_EQ(classifyNode(ball, {{corner[0], corner[1], corner[2]}, 1}), NodeSide::Cut);
        tangents.push_back({{corner[0], corner[1], corner[2]}, 1});
    }
    ASSERT_GT(tangents.size(), 100u);
    expectSameCounts(v, tangents, "planes tangent to node balls");
}

TEST(FaultTree, LeavesWhoseSlotsDifferFromTheirSharedPointsAreTestedSlotBySlot)
{
    // A leaf's 48 slots repeat 15 points; move one repeat of a point a little
    // (towards the leaf's first corner, so it stays inside every ball), and
    // the tree must notice that the slots no longer agree.
    std::vector<float> v = sphere(4);
    int moved = 0;
    for (int first = 0; first + 48 <= static_cast<int>(v.size() / 3); first += 48 * 13) {
        for (int j = first + 1; j < first + 48; ++j) {
            const bool repeat = std::memcmp(&v[3 * j], &v[3 * (j - 1)], 12) != 0 && [&] {
                for (int i = first; i < j; ++i)
                    if (std::memcmp(&v[3 * i], &v[3 * j], 12) == 0)
                        return true;
                return false;
            }();
            if (!repeat)
                continue;
            double p[3], length = 0;
            for (int c = 0; c < 3; ++c) {
                p[c] = 0.9 * v[3 * j + c] + 0.1 * v[3 * first + c];
                length += p[c] * p[c];
            }
            for (int c = 0; c < 3; ++c)
                v[3 * j + c] = static_cast<float>(p[c] / std::sqrt(length));
            ++moved;
            break;
        }
    }
    ASSERT_GT(moved, 10);
    expectSameCounts(v, drawnPlanes(21, 1500), "moved repeats");
}

TEST(FaultTree, ArraysThatAreNoIcosphereFallBackToBruteForce)
{
    std::vector<float> v(3 * 61);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = std::sin(float(i)); // neither the count nor the layout of an icosphere
    EXPECT_LT(treeDepthOf(61), 0);
    expectSameCounts(v, drawnPlanes(9, 100), "61 loose vertices");
}

TEST(FaultTree, ScaleDependsOnTheSumOfTheCountersAlone)
{
    // Every split of a sum between the two workers' counters scales alike.
    for (int sum = -12000; sum <= 15000; ++sum) {
        const float expected = scaleForSteps(sum - 1500);
        for (int a : {750, sum - 750, sum / 2, sum / 3, -4000, 9000}) {
            float vertex[3] = {1.0f, 1.0f, 1.0f};
            const int b = sum - a;
            scaleByCounters(vertex, 1, &a, &b);
            ASSERT_EQ(vertex[0], expected) << "counters " << a << " and " << b;
        }
    }
}

// The plane of four draws, each rounding written out through volatile floats
// so that no optimisation can skip one.
FaultPlane literalPlane(std::uint32_t r1, std::uint32_t r2, std::uint32_t r3, std::uint32_t r4)
{
    volatile float dist = static_cast<float>(unitValue(r2));
    volatile float phi = 2.0f * static_cast<float>(unitValue(r3));
    phi = phi * 3.1415f;
    volatile float theta = static_cast<float>(unitValue(r4)) * 3.1415f;
    volatile float sinTheta = static_cast<float>(std::sin(double(theta)));
    volatile float cosTheta = static_cast<float>(std::cos(double(theta)));
    volatile float sinPhi = static_cast<float>(std::sin(double(phi)));
    volatile float cosPhi = static_cast<float>(std::cos(double(phi)));
    const double s = double(sinTheta) * double(dist);
    return {{static_cast<float>(double(cosPhi) * s), static_cast<float>(double(sinPhi) * s), cosTheta * dist},
            (r1 & 1u) ? 1 : -1};
}

TEST(GenerationPlanes, SinesAndCosinesAreRoundedToFloatBeforeTheProducts)
{
    std::mt19937 rng(20240607);
    for (int i = 0; i < 20000; ++i) {
        const std::uint32_t r1 = rng(), r2 = rng(), r3 = rng(), r4 = rng();
        const FaultPlane expected = literalPlane(r1, r2, r3, r4);
        const FaultPlane plane = planeFromDraws(r1, r2, r3, r4);
        ASSERT_EQ(std::memcmp(&plane, &expected, sizeof plane), 0) << "plane " << i;
    }
    // Drawn in order from the generator, four draws a plane.
    SeedScope scope(20240607);
    seedGenerator();
    const std::vector<FaultPlane> drawn = drawPlanes(500);
    const std::vector<FaultPlane> expected = drawnPlanes(20240607, 500);
    ASSERT_EQ(std::memcmp(drawn.data(), expected.data(), 500 * sizeof(FaultPlane)), 0);
}

// ---- the batch generation with its two threads ----

std::vector<float> bruteForceBatch(int subdivisions, int iterations, std::uint32_t seed)
{
    SeedScope scope(seed);
    testing::internal::CaptureStdout();
    Planet planet(subdivisions, 0, false);
    generateBatchBruteForce(planet, iterations);
    testing::internal::GetCapturedStdout();
    return std::vector<float>(planet.vertices);
}

std::vector<float> treeBatch(int subdivisions, int iterations, std::uint32_t seed)
{
    SeedScope scope(seed);
    testing::internal::CaptureStdout();
    Planet planet(subdivisions, iterations, false);
    testing::internal::GetCapturedStdout();
    return std::vector<float>(planet.vertices);
}

TEST(BatchGenerationTree, LandEqualsTheBruteForceWorkersBitForBit)
{
    const struct {
        int subdivisions, iterations;
        std::uint32_t seed;
    } cases[] = {{0, 5000, 1}, {2, 1, 2}, {3, 2, 3}, {4, 777, 4}, {5, 1000, 5}, {6, 600, 6}, {7, 100, 7}};
    for (const auto& c : cases)
        ASSERT_EQ(treeBatch(c.subdivisions, c.iterations, c.seed), bruteForceBatch(c.subdivisions, c.iterations, c.seed))
            << c.subdivisions << " subdivisions, " << c.iterations << " iterations, seed " << c.seed;
}

TEST(BatchGenerationTree, PlanesBeyondOnePassCarryTheirCounts)
{
    const int iterations = 2 * PLANES_PER_PASS + 3;
    EXPECT_EQ(treeBatch(2, iterations, 11), bruteForceBatch(2, iterations, 11));
}

std::string progressLine(int iterations)
{
    testing::internal::CaptureStdout();
    Planet planet(1, iterations, false);
    return testing::internal::GetCapturedStdout();
}

std::string bruteForceProgressLine(int iterations)
{
    testing::internal::CaptureStdout();
    Planet planet(1, 0, false);
    testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    generateBatchBruteForce(planet, iterations);
    return testing::internal::GetCapturedStdout();
}

TEST(BatchGenerationTree, ProgressLineCountsTheFirstWorkersShare)
{
    // The first worker runs iterations / 2 planes; the odd one is the second's.
    const std::pair<int, std::string> lines[] = {
        {1, "100%\n"}, {3, "0%..  100%\n"}, {5, "0%..  50%..  100%\n"}, {10, "0%..  20%..  40%..  60%..  80%..  100%\n"}};
    for (const auto& [iterations, line] : lines) {
        EXPECT_EQ(progressLine(iterations), line) << iterations;
        EXPECT_EQ(bruteForceProgressLine(iterations), line) << iterations;
    }
    EXPECT_EQ(progressLine(-1), "100%\n");
    std::string twenty;
    for (int p = 0; p < 100; p += 5)
        twenty += std::to_string(p) + "%..  ";
    static_assert(40000 > 2 * PLANES_PER_PASS);
    EXPECT_EQ(progressLine(40000), twenty + "100%\n") << "over three passes";
    EXPECT_EQ(progressLine(5001), twenty + "100%\n");
    EXPECT_EQ(progressLine(4999), bruteForceProgressLine(4999)) << "2499 planes: 0%..  4%..  9%..";
}

TEST(BatchGenerationTree, ProgressRisesOnOneThreadWhileTheWorkGoesOn)
{
    std::vector<float> v = sphere(6);
    std::vector<std::pair<int, int>> reports;
    std::set<std::thread::id> reporters;
    deformByTree(v.data(), static_cast<int>(v.size() / 3), drawnPlanes(3, 500), nullptr, [&](int done, int total) {
        reports.emplace_back(done, total);
        reporters.insert(std::this_thread::get_id());
    });
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reporters.size(), 1u);
    EXPECT_EQ(reports.front().first, 0);
    EXPECT_EQ(reports.back().first, reports.back().second);
    std::set<int> distinct;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (i > 0) {
            ASSERT_GE(reports[i].first, reports[i - 1].first);
        }
        distinct.insert(reports[i].first);
    }
    EXPECT_GT(distinct.size(), 10u) << "the line advances during the pass, not only at its end";
}

} // namespace
