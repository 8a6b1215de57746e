#include "LandRadii.h"

#include "LandSnapshot.h"
#include "Planet.h"
#include "SeaLevel.h"
#include "ThreadGroup.h"

#include <algorithm>
#include <cmath>

namespace {

using Dir = std::array<double, 3>;

Dir cross(const Dir& a, const Dir& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double dot(const Dir& a, const Dir& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Weights of triangle p's corners for the point where the ray from the
// centre along d crosses its plane: each is d's side of the plane through
// the centre and the opposite edge, all three of one common positive scale
// (they sum to more than 0). All three are 0 or more inside the triangle.
// The normals of the planes through the centre and each edge of triangle p,
// opposite p[0], p[1] and p[2]: d's weights are its dot products with them.
void edgeNormals(const Dir (&p)[3], Dir (&n)[3])
{
    n[0] = cross(p[1], p[2]);
    n[1] = cross(p[2], p[0]);
    n[2] = cross(p[0], p[1]);
}

Dir weightsBy(const Dir& d, const Dir (&n)[3])
{
    Dir w{dot(d, n[0]), dot(d, n[1]), dot(d, n[2])};
    if (w[0] + w[1] + w[2] < 0.0)
        w = {-w[0], -w[1], -w[2]};
    return w;
}

Dir weights(const Dir& d, const Dir (&p)[3])
{
    Dir n[3];
    edgeNormals(p, n);
    return weightsBy(d, n);
}

// How deep inside triangle p's cone d lies: its smallest barycentric
// coordinate, 0 or more inside. The far side's mirror cone, where the ray
// meets the plane behind the centre, counts as far outside.
double insideness(const Dir& d, const Dir (&p)[3])
{
    const Dir centre{p[0][0] + p[1][0] + p[2][0], p[0][1] + p[1][1] + p[2][1], p[0][2] + p[1][2] + p[2][2]};
    if (dot(d, centre) <= 0.0)
        return -HUGE_VAL;
    const Dir w = weights(d, p);
    return std::min({w[0], w[1], w[2]}) / (w[0] + w[1] + w[2]);
}

// Subdivisions a soup may have (IcosphereWeld's limit), and so the levels of
// a path from a face (level 0) down to a leaf.
constexpr int MAX_LEVELS = 13;

// The nodes from a face down to the leaf the previous pixel fell in: the
// next pixel mostly falls in the same leaf, or close below a near ancestor.
// A node's edge normals are kept once made, as most pixels test the same
// few nodes again.
struct Path {
    int levels = -1;                 // valid levels, 0 to the leaf's; -1: none yet
    std::size_t first[MAX_LEVELS];   // each node's first leaf (soup triangle)
    Dir p[MAX_LEVELS][3];            // each node's corners
    Dir n[MAX_LEVELS][3];            // each node's edgeNormals, where made is set
    bool made[MAX_LEVELS] = {};

    // Node level's edge normals, made on first use.
    const Dir (&normals(int level))[3]
    {
        if (!made[level])
            edgeNormals(p[level], n[level]);
        made[level] = true;
        return n[level];
    }

    bool holds(const Dir& d, int level)
    {
        const Dir w = weightsBy(d, normals(level));
        return std::min({w[0], w[1], w[2]}) >= 0.0;
    }
};

// The undeformed soup, in which the subdivision's order is kept: a node of
// 4^r leaves starting at soup triangle `first` splits into four nodes of
// 4^(r-1) leaves in the order (p1, m12, m13), (p2, m23, m12), (p3, m13, m23),
// (m12, m23, m13), and a node's first leaf starts at its p1.
struct Hierarchy {
    const float* soup;
    const std::uint32_t* cornerToVertex;
    const double* radii;  // per welded vertex
    std::size_t leavesPerFace;
    int depth;            // subdivisions: the leaves' level

    Dir corner(std::size_t triangle, int k) const
    {
        const float* p = soup + 9 * triangle + 3 * k;
        return {p[0], p[1], p[2]};
    }

    // The corners of the node of `leaves` leaves starting at `first`.
    void corners(std::size_t first, std::size_t leaves, Dir (&p)[3]) const
    {
        const std::size_t quarter = leaves / 4;
        for (int k = 0; k < 3; ++k)
            p[k] = leaves == 1 ? corner(first, k) : corner(first + k * quarter, 0);
    }

    float radiusAt(const Dir& d, Path& path) const;
    std::size_t locate(const Dir& d, Path& path) const;
    int faceOf(const Dir& d, int guess) const;
    void descend(const Dir& d, Path& path, int from) const;
    float interpolate(const Dir& d, std::size_t leaf, const Dir (&n)[3]) const;
};

// The face whose cone holds d: the guess when it does, otherwise the face d
// lies deepest inside.
int Hierarchy::faceOf(const Dir& d, int guess) const
{
    Dir p[3];
    corners(guess * leavesPerFace, leavesPerFace, p);
    if (insideness(d, p) >= 0.0)
        return guess;
    int best = 0;
    double bestInside = -HUGE_VAL;
    for (int f = 0; f < 20; ++f) {
        corners(f * leavesPerFace, leavesPerFace, p);
        const double inside = insideness(d, p);
        if (inside > bestInside) {
            bestInside = inside;
            best = f;
        }
    }
    return best;
}

// Fills the path below level `from` down to the leaf holding d. A node's
// three inner edges are its middle child's; d beyond one of them (a
// negative weight) is in the child across it. On an edge, where rounding may
// leave d a hair outside every child, the most negative weight picks the
// nearest one, so no pixel is lost.
void Hierarchy::descend(const Dir& d, Path& path, int from) const
{
    static constexpr int ACROSS[3] = {2, 0, 1}; // beyond the edge opposite m12, m23, m13
    for (int level = from; level < depth; ++level) {
        const std::size_t quarter = leavesPerFace >> (2 * (level + 1));
        const Dir(&p)[3] = path.p[level];
        Dir m[3]; // m12, m23, m13
        corners(path.first[level] + 3 * quarter, quarter, m);
        Dir mn[3];
        edgeNormals(m, mn);
        const Dir w = weightsBy(d, mn);
        int child = 3;
        double worst = 0.0;
        for (int k = 0; k < 3; ++k)
            if (w[k] < worst) {
                worst = w[k];
                child = ACROSS[k];
            }
        Dir(&next)[3] = path.p[level + 1];
        path.made[level + 1] = child == 3;
        if (child == 3) {
            std::copy_n(m, 3, next);
            std::copy_n(mn, 3, path.n[level + 1]);
        } else // (p1, m12, m13), (p2, m23, m12), (p3, m13, m23)
            next[0] = p[child], next[1] = m[child], next[2] = m[(child + 2) % 3];
        path.first[level + 1] = path.first[level] + child * quarter;
    }
    path.levels = depth;
}

float Hierarchy::radiusAt(const Dir& d, Path& path) const
{
    const std::size_t leaf = locate(d, path);
    return interpolate(d, leaf, path.normals(depth));
}

// The leaf triangle holding d, its corners left in path.p[depth].
std::size_t Hierarchy::locate(const Dir& d, Path& path) const
{
    int level = path.levels;
    while (level > 0 && !path.holds(d, level))
        --level;
    if (level <= 0) {
        const int face = faceOf(d, path.levels < 0 ? 0 : int(path.first[0] / leavesPerFace));
        path.first[0] = face * leavesPerFace;
        corners(path.first[0], leavesPerFace, path.p[0]);
        path.made[0] = false;
        level = 0;
    }
    descend(d, path, level);
    return path.first[depth];
}

// The corners' radii weighted by where d's ray crosses leaf triangle p; a
// weight a hair below 0 on an edge counts as 0.
float Hierarchy::interpolate(const Dir& d, std::size_t leaf, const Dir (&n)[3]) const
{
    const Dir w = weightsBy(d, n);
    double total = 0.0, radius = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double weight = std::max(w[k], 0.0);
        total += weight;
        radius += weight * radii[cornerToVertex[3 * leaf + k]];
    }
    return static_cast<float>(radius / total);
}

// Rows [from, to) of a lookup: each row's directions from `row`, the radii
// clamped to the vertices' range.
void fillRows(const Hierarchy& hierarchy, const RowDirections& row, int columns, float low, float high, float* radius,
              int from, int to)
{
    std::vector<std::array<double, 3>> directions(columns);
    Path path;
    for (int j = from; j < to; ++j) {
        row(j, directions.data());
        float* out = radius + static_cast<std::size_t>(j) * columns;
        for (int i = 0; i < columns; ++i)
            out[i] = std::clamp(hierarchy.radiusAt(directions[i], path), low, high);
    }
}

// Rows [from, to) of a corners lookup: each pixel's leaf corners and their
// weights, a hair below 0 on an edge counted as 0, over their sum.
void fillCornerRows(const Hierarchy& hierarchy, const RowDirections& row, int columns, const RowCorners& use,
                    int from, int to)
{
    std::vector<std::array<double, 3>> directions(columns);
    std::vector<PixelCorners> corners(columns);
    Path path;
    for (int j = from; j < to; ++j) {
        row(j, directions.data());
        for (int i = 0; i < columns; ++i) {
            const std::size_t leaf = hierarchy.locate(directions[i], path);
            const Dir w = weightsBy(directions[i], path.normals(hierarchy.depth));
            const double total = std::max(w[0], 0.0) + std::max(w[1], 0.0) + std::max(w[2], 0.0);
            for (int k = 0; k < 3; ++k) {
                corners[i].vertex[k] = hierarchy.cornerToVertex[3 * leaf + k];
                corners[i].weight[k] = static_cast<float>(std::max(w[k], 0.0) / total);
            }
        }
        use(j, corners.data());
    }
}

// The subdivisions that give a face `leaves` leaves: log4 of it.
int levelsBelow(std::size_t leaves)
{
    int levels = 0;
    for (; leaves > 1; leaves /= 4)
        ++levels;
    return levels;
}

} // namespace

std::vector<double> vertexRadii(const Planet& planet, const LandSnapshot& land)
{
    std::vector<double> radii(planet.weld.vertexCount());
    const float* sea = planet.water->vertices.data();
    for (std::size_t v = 0; v < radii.size(); ++v) {
        const float* l = land.position(v);
        const float* s = sea + 3 * std::size_t(planet.weld.vertexToCorner[v]);
        radii[v] = generatedRadius(l, s);
    }
    return radii;
}

LandRadii::LandRadii(Planet& planet) : LandRadii(planet, LandSnapshot(planet)) {}

LandRadii::LandRadii(const Planet& planet, const LandSnapshot& land) : LandRadii(planet, vertexRadii(planet, land)) {}

LandRadii::LandRadii(const Planet& planet, std::vector<double> values) : planet(planet), radii(std::move(values))
{
    const auto [low, high] = std::minmax_element(radii.begin(), radii.end());
    minRadius = static_cast<float>(*low);
    maxRadius = static_cast<float>(*high);
}

namespace {
Hierarchy hierarchyOf(const Planet& planet, const std::vector<double>& radii)
{
    const std::size_t leavesPerFace = planet.weld.faceCount() / 20;
    return {planet.water->vertices.data(), planet.weld.cornerToVertex.data(), radii.data(), leavesPerFace,
            levelsBelow(leavesPerFace)};
}
} // namespace

void LandRadii::lookUpCorners(int columns, int rows, const RowDirections& row, const RowCorners& use) const
{
    const Hierarchy hierarchy = hierarchyOf(planet, radii);
    const int half = rows / 2;
    ThreadGroup helper;
    helper.start([&] { fillCornerRows(hierarchy, row, columns, use, half, rows); });
    fillCornerRows(hierarchy, row, columns, use, 0, half);
    helper.join();
}

void LandRadii::lookUp(int columns, int rows, const RowDirections& row, float* radius) const
{
    const Hierarchy hierarchy = hierarchyOf(planet, radii);
    const int half = rows / 2;
    ThreadGroup helper;
    helper.start([&] { fillRows(hierarchy, row, columns, minRadius, maxRadius, radius, half, rows); });
    fillRows(hierarchy, row, columns, minRadius, maxRadius, radius, 0, half);
    helper.join();
}
