#pragma once

#include "FaultTree.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

// What the tree walk needs from its side-test kernels: planes laid out for
// them, the lattice of a leaf, and the kernels setTreeKernel chose.
namespace treekernels {

// Planes as the tree tests them, one array per field so that the tests
// vectorise: the exact point P, |P|^2 and |P| (both rounded to float).
struct PlaneList {
    float* x;
    float* y;
    float* z;
    float* lengthSquared;
    float* length;
    int* sign;
    int count;
};

struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};

// count zeroed elements from calloc, which leaves memory fresh from the
// kernel untouched (it is zero already): a list's pages become resident only
// as far as planes are written to it. Throws std::bad_alloc.
template <class T>
std::unique_ptr<T[], FreeDeleter> zeroedArray(std::size_t count)
{
    void* p = std::calloc(count, sizeof(T));
    if (!p)
        throw std::bad_alloc();
    return std::unique_ptr<T[], FreeDeleter>(static_cast<T*>(p));
}

class PlaneBuffer {
public:
    static constexpr std::size_t SLACK = 16;

    // Room for one register of the widest kernel past the capacity, zeroed
    // so that the lanes past a list's end hold ordinary numbers.
    explicit PlaneBuffer(int capacity)
        : floats(zeroedArray<float>(5 * (static_cast<std::size_t>(capacity) + SLACK))),
          signs(zeroedArray<int>(static_cast<std::size_t>(capacity) + SLACK))
    {
        float* f = floats.get();
        const std::size_t c = static_cast<std::size_t>(capacity) + SLACK;
        list = {f, f + c, f + 2 * c, f + 3 * c, f + 4 * c, signs.get(), 0};
    }
    PlaneList list;

private:
    std::unique_ptr<float[], FreeDeleter> floats;
    std::unique_ptr<int[], FreeDeleter> signs;
};

inline void loadPlane(const FaultPlane& plane, PlaneList& list, int i)
{
    const double x = plane.p[0], y = plane.p[1], z = plane.p[2];
    const double squared = x * x + y * y + z * z;
    list.x[i] = plane.p[0];
    list.y[i] = plane.p[1];
    list.z[i] = plane.p[2];
    list.lengthSquared[i] = static_cast<float>(squared);
    list.length[i] = static_cast<float>(std::sqrt(squared));
    list.sign[i] = plane.sign;
}

// B.P - |P|^2 bounds (v - P).P for every v in the ball to within radius |P|.
inline float ballSideValue(const float* centre, float x, float y, float z, float lengthSquared)
{
    return centre[0] * x + centre[1] * y + centre[2] * z - lengthSquared;
}

// A leaf of 16 triangles repeats the 15 points of its twice subdivided
// triangle over its 48 vertex slots, each point bit for bit the same wherever
// it appears (edge points are sums and normalisations of the same floats), so
// only the points need the side test: one register of 16 lanes.
constexpr int LATTICE_POINTS = 16; // 15 and one lane that repeats point 0

struct LeafLattice {
    int pointOfSlot[LEAF_VERTICES];
    int slotOfPoint[LATTICE_POINTS];
};

// Emits lattice points as the icosphere's subdivision emits vertices;
// coordinates count quarter edges from the leaf's first corner.
constexpr void emitLattice(const int* a, const int* b, const int* c, int depth, int* out, int& n)
{
    if (depth == 0) {
        for (const int* p : {a, b, c})
            out[n++] = p[0] * 5 + p[1];
        return;
    }
    const int ab[2] = {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2};
    const int bc[2] = {(b[0] + c[0]) / 2, (b[1] + c[1]) / 2};
    const int ac[2] = {(a[0] + c[0]) / 2, (a[1] + c[1]) / 2};
    emitLattice(a, ab, ac, depth - 1, out, n);
    emitLattice(b, bc, ab, depth - 1, out, n);
    emitLattice(c, ac, bc, depth - 1, out, n);
    emitLattice(ab, bc, ac, depth - 1, out, n);
}

constexpr LeafLattice makeLeafLattice()
{
    const int a[2] = {0, 0}, b[2] = {4, 0}, c[2] = {0, 4};
    int key[LEAF_VERTICES] = {};
    int n = 0;
    emitLattice(a, b, c, 2, key, n);
    LeafLattice lattice{};
    int pointOfKey[25] = {};
    int points = 0;
    for (int& p : pointOfKey)
        p = -1;
    for (int j = 0; j < LEAF_VERTICES; ++j) {
        if (pointOfKey[key[j]] < 0) {
            pointOfKey[key[j]] = points;
            lattice.slotOfPoint[points++] = j;
        }
        lattice.pointOfSlot[j] = pointOfKey[key[j]];
    }
    lattice.slotOfPoint[LATTICE_POINTS - 1] = 0;
    return lattice;
}

constexpr LeafLattice LEAF_LATTICE = makeLeafLattice();
static_assert(LEAF_VERTICES == 48 && LEAF_LATTICE.slotOfPoint[14] > 0, "15 points over 48 slots");

// The split of a node's planes and the side test at a leaf, for one
// instruction set.
struct Kernels {
    int (*split)(const PlaneList&, const NodeBall&, PlaneList&, int*);
    void (*leaf)(const PlaneList&, const float*, const float*, const float*, int*, int);
};

// The kernels of the instruction set setTreeKernel chose, or else the widest
// this processor runs.
Kernels kernels();

} // namespace treekernels
