#include "FaultTree.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <memory>
#include <thread>

namespace {

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

class PlaneBuffer {
public:
    static constexpr std::size_t SLACK = 16;

    // Room for one register of the widest kernel past the capacity.
    explicit PlaneBuffer(int capacity)
        : floats(new float[5 * (static_cast<std::size_t>(capacity) + SLACK)]()),
          signs(new int[static_cast<std::size_t>(capacity) + SLACK]())
    {
        float* f = floats.get();
        const std::size_t c = static_cast<std::size_t>(capacity) + SLACK;
        list = {f, f + c, f + 2 * c, f + 3 * c, f + 4 * c, signs.get(), 0};
    }
    PlaneList list;

private:
    std::unique_ptr<float[]> floats;
    std::unique_ptr<int[]> signs;
};

void loadPlane(const FaultPlane& plane, PlaneList& list, int i)
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

// Lanes of one register of the instruction set a kernel is built for: 16
// for AVX-512, 8 for AVX2, 4 for SSE. Wider vectors than the registers would
// be split element by element.
template <int N>
struct Lanes {
    typedef float Floats __attribute__((vector_size(4 * N)));
    typedef int Ints __attribute__((vector_size(4 * N)));
};

// Lanes from memory; filled through a reference, since a returned vector
// would take a different calling convention in each kernel's instruction set.
template <class V, class T>
[[gnu::always_inline]] inline void load(V& lanes, const T* p)
{
    std::memcpy(&lanes, p, sizeof lanes);
}

// Sets keep[i] to 1 for the planes of in that may cut the node, 0 for the
// others; returns the sum of the steps the others give the whole node. The
// lists have room for a whole register past their count.
template <int N>
[[gnu::always_inline]] inline int classifyBody(const PlaneList& in, const NodeBall& ball, int* keep)
{
    using Floats = typename Lanes<N>::Floats;
    using Ints = typename Lanes<N>::Ints;
    const float reach = ball.radius + SIDE_MARGIN;
    const float bx = ball.centre[0], by = ball.centre[1], bz = ball.centre[2];
    const Ints none = {};
    Ints lane;
    for (int l = 0; l < N; ++l)
        lane[l] = l;
    Ints steps = {};
    for (int i = 0; i < in.count; i += N) {
        Floats x, y, z, lengthSquared, length;
        Ints sign;
        load(x, in.x + i);
        load(y, in.y + i);
        load(z, in.z + i);
        load(lengthSquared, in.lengthSquared + i);
        load(length, in.length + i);
        load(sign, in.sign + i);
        const Floats s = bx * x + by * y + bz * z - lengthSquared;
        const Floats t = reach * length;
        const Ints inList = lane < in.count - i;
        Ints step = s > t ? sign : none;
        step = s < -t ? none - sign : step;
        steps += inList ? step : none;
        Ints cut = inList ? none + 1 : none;
        cut = s > t ? none : cut;
        cut = s < -t ? none : cut;
        std::memcpy(keep + i, &cut, sizeof cut);
    }
    int total = 0;
    for (int l = 0; l < N; ++l)
        total += steps[l];
    return total;
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

// Adds to k, for the vertices x, y, z (a multiple of G N), the steps of
// every plane: the side test of sideValue in the same order of operations,
// so that every decision is the same bit for bit. G registers of vertices at
// a time stay in registers across the planes.
template <int N, int G>
[[gnu::always_inline]] inline void leafBody(const PlaneList& planes, const float* x, const float* y, const float* z,
                                            int* k, int count)
{
    using Floats = typename Lanes<N>::Floats;
    using Ints = typename Lanes<N>::Ints;
    int inner = 0; // every plane's inner step; an outer vertex gets 2 sign more
    for (int i = 0; i < planes.count; ++i)
        inner -= planes.sign[i];
    for (int o = 0; o < count; o += G * N) {
        Floats vx[G], vy[G], vz[G];
        Ints steps[G];
        for (int g = 0; g < G; ++g) {
            load(vx[g], x + o + g * N);
            load(vy[g], y + o + g * N);
            load(vz[g], z + o + g * N);
            load(steps[g], k + o + g * N);
            steps[g] += inner;
        }
        for (int i = 0; i < planes.count; ++i) {
            const float px = planes.x[i], py = planes.y[i], pz = planes.z[i];
            const int twice = 2 * planes.sign[i];
            for (int g = 0; g < G; ++g) {
                const Floats d = (vy[g] - py) * py + (vx[g] - px) * px + (vz[g] - pz) * pz;
                steps[g] = d > 0.0f ? steps[g] + twice : steps[g];
            }
        }
        for (int g = 0; g < G; ++g)
            std::memcpy(k + o + g * N, &steps[g], sizeof steps[g]);
    }
}

__attribute__((target("avx512f"))) void leafAvx512(const PlaneList& p, const float* x, const float* y,
                                                   const float* z, int* k, int count)
{
    count == LATTICE_POINTS ? leafBody<16, 1>(p, x, y, z, k, count) : leafBody<16, 3>(p, x, y, z, k, count);
}
__attribute__((target("avx2"))) void leafAvx2(const PlaneList& p, const float* x, const float* y, const float* z,
                                              int* k, int count)
{
    count == LATTICE_POINTS ? leafBody<8, 2>(p, x, y, z, k, count) : leafBody<8, 3>(p, x, y, z, k, count);
}
void leafPlain(const PlaneList& p, const float* x, const float* y, const float* z, int* k, int count)
{
    count == LATTICE_POINTS ? leafBody<4, 4>(p, x, y, z, k, count) : leafBody<4, 3>(p, x, y, z, k, count);
}

// Moves into out the planes of in that may cut the node, keep[i] telling
// which; returns the sum of the steps the others give the whole node.
int compactPlanes(const PlaneList& in, const int* keep, PlaneList& out)
{
    const int count = in.count;
    float* __restrict x = out.x;
    float* __restrict y = out.y;
    float* __restrict z = out.z;
    float* __restrict lengthSquared = out.lengthSquared;
    float* __restrict length = out.length;
    int* __restrict sign = out.sign;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        x[kept] = in.x[i];
        y[kept] = in.y[i];
        z[kept] = in.z[i];
        lengthSquared[kept] = in.lengthSquared[i];
        length[kept] = in.length[i];
        sign[kept] = in.sign[i];
        kept += keep[i];
    }
    return kept;
}

// The split of a node's planes: the planes that may cut it go to out (which
// has room for a register past in.count), the sum of the others' steps is
// returned. keep is scratch room for in.count flags.
__attribute__((target("avx2"))) int splitAvx2(const PlaneList& in, const NodeBall& ball, PlaneList& out, int* keep)
{
    const int steps = classifyBody<8>(in, ball, keep);
    out.count = compactPlanes(in, keep, out);
    return steps;
}

int splitPlain(const PlaneList& in, const NodeBall& ball, PlaneList& out, int* keep)
{
    const int steps = classifyBody<4>(in, ball, keep);
    out.count = compactPlanes(in, keep, out);
    return steps;
}

// The same with the compaction in registers: each field of sixteen planes is
// compressed to the kept ones and stored whole at the end of out.
__attribute__((target("avx512f"))) int splitAvx512(const PlaneList& in, const NodeBall& ball, PlaneList& out, int*)
{
    const __m512 bx = _mm512_set1_ps(ball.centre[0]), by = _mm512_set1_ps(ball.centre[1]);
    const __m512 bz = _mm512_set1_ps(ball.centre[2]), reach = _mm512_set1_ps(ball.radius + SIDE_MARGIN);
    const __m512i lane = _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    __m512i steps = _mm512_setzero_si512();
    int kept = 0;
    for (int i = 0; i < in.count; i += 16) {
        const __mmask16 inList = _mm512_cmplt_epi32_mask(lane, _mm512_set1_epi32(in.count - i));
        const __m512 x = _mm512_loadu_ps(in.x + i), y = _mm512_loadu_ps(in.y + i), z = _mm512_loadu_ps(in.z + i);
        const __m512 lengthSquared = _mm512_loadu_ps(in.lengthSquared + i);
        const __m512 length = _mm512_loadu_ps(in.length + i);
        const __m512i sign = _mm512_loadu_si512(in.sign + i);
        const __m512 s = _mm512_sub_ps(
            _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(bx, x), _mm512_mul_ps(by, y)), _mm512_mul_ps(bz, z)), lengthSquared);
        const __m512 t = _mm512_mul_ps(reach, length);
        const __mmask16 outer = _mm512_mask_cmp_ps_mask(inList, s, t, _CMP_GT_OQ);
        const __mmask16 inner = _mm512_mask_cmp_ps_mask(inList, s, _mm512_sub_ps(_mm512_setzero_ps(), t), _CMP_LT_OQ);
        steps = _mm512_mask_sub_epi32(_mm512_mask_add_epi32(steps, outer, steps, sign), inner, steps, sign);
        const __mmask16 cut = inList & static_cast<__mmask16>(~(outer | inner));
        _mm512_storeu_ps(out.x + kept, _mm512_maskz_compress_ps(cut, x));
        _mm512_storeu_ps(out.y + kept, _mm512_maskz_compress_ps(cut, y));
        _mm512_storeu_ps(out.z + kept, _mm512_maskz_compress_ps(cut, z));
        _mm512_storeu_ps(out.lengthSquared + kept, _mm512_maskz_compress_ps(cut, lengthSquared));
        _mm512_storeu_ps(out.length + kept, _mm512_maskz_compress_ps(cut, length));
        _mm512_storeu_si512(out.sign + kept, _mm512_maskz_compress_epi32(cut, sign));
        kept += __builtin_popcount(cut);
    }
    out.count = kept;
    int lanes[16];
    _mm512_storeu_si512(lanes, steps);
    int total = 0;
    for (int l : lanes)
        total += l;
    return total;
}

struct Kernels {
    int (*split)(const PlaneList&, const NodeBall&, PlaneList&, int*);
    void (*leaf)(const PlaneList&, const float*, const float*, const float*, int*, int);
};

std::atomic<TreeKernel> chosenKernel{bestTreeKernel()};

Kernels kernels()
{
    switch (chosenKernel) {
    case TreeKernel::Avx512:
        return {splitAvx512, leafAvx512};
    case TreeKernel::Avx2:
        return {splitAvx2, leafAvx2};
    default:
        return {splitPlain, leafPlain};
    }
}

// One leaf's vertices, one array per coordinate, and their steps; room for
// whole blocks of lanes.
struct LeafScratch {
    alignas(64) float x[LEAF_VERTICES];
    alignas(64) float y[LEAF_VERTICES];
    alignas(64) float z[LEAF_VERTICES];
    alignas(64) int k[LEAF_VERTICES];
};
static_assert(LEAF_VERTICES % 48 == 0, "whole groups of three AVX-512 registers");

struct Worker {
    Worker(int levels, int capacity)
        : keep(new int[static_cast<std::size_t>(capacity) + PlaneBuffer::SLACK]), kernel(kernels())
    {
        lists.reserve(static_cast<std::size_t>(levels));
        for (int i = 0; i < levels; ++i)
            lists.emplace_back(capacity);
    }
    std::vector<PlaneBuffer> lists; // the planes that cut the current node, per level
    std::unique_ptr<int[]> keep;
    Kernels kernel;
    LeafScratch leaf;
};

// One pass of planes over the tree. Tasks are the nodes of one level, taken
// in turn by the workers; a worker writes only inside its own tasks' ranges,
// so no locks are needed.
class TreePass {
public:
    TreePass(const float* read, float* write, int vertexCount, const std::vector<FaultPlane>& planes,
             const int* base, int* counts);
    void run(int threads, const TreeProgress& progress);

private:
    void work(bool reports, const TreeProgress& progress);
    void runTask(Worker& w, int task);
    void visit(Worker& w, int level, int first, int count, const PlaneList& in, int steps);
    void finishLeaf(Worker& w, const PlaneList& planes, int first, int count, int steps);
    void finishUniform(int first, int count, int steps);
    float scaleOf(int steps) const;
    bool loadLattice(const float* v, int first, int steps, LeafScratch& leaf) const;

    const float* read;  // vertex positions, unit length throughout
    float* write;       // scaled in place when counts is null
    const int* base;    // steps carried from earlier passes, or null
    int* counts;        // receives the steps instead of scaling, or null
    int perFace;        // vertices of one icosahedron face
    int levels;         // node levels from the faces down to the leaves
    int taskLevel;
    int taskCount;
    int planeCount;
    PlaneBuffer root;
    NodeBall faceBalls[20];
    std::vector<float> scales; // scaleForSteps(s) at s + planeCount, when scaling
    std::atomic<int> nextTask{0};
    std::atomic<int> doneTasks{0};
};

TreePass::TreePass(const float* read, float* write, int vertexCount, const std::vector<FaultPlane>& planes,
                   const int* base, int* counts)
    : read(read), write(write), base(base), counts(counts), perFace(vertexCount / 20),
      planeCount(static_cast<int>(planes.size())), root(planeCount)
{
    const int depth = treeDepthOf(vertexCount);
    const int leafLevel = std::max(0, depth - 2);
    levels = leafLevel + 1;
    taskLevel = std::min(1, leafLevel);
    taskCount = 20 << (2 * taskLevel);
    for (int i = 0; i < planeCount; ++i)
        loadPlane(planes[static_cast<std::size_t>(i)], root.list, i);
    root.list.count = planeCount;
    if (!counts) {
        scales.resize(2 * static_cast<std::size_t>(planeCount) + 1);
        for (int i = 0; i <= 2 * planeCount; ++i)
            scales[static_cast<std::size_t>(i)] = scaleForSteps(i - planeCount);
    }
    // Before any worker scales: face corners lie in other tasks' ranges.
    for (int f = 0; f < 20; ++f)
        faceBalls[f] = nodeBall(read, f * perFace, perFace);
}

void TreePass::run(int threads, const TreeProgress& progress)
{
    if (threads < 2) {
        work(true, progress);
        return;
    }
    std::thread first(&TreePass::work, this, true, std::cref(progress));
    std::thread second(&TreePass::work, this, false, std::cref(progress));
    first.join();
    second.join();
}

void TreePass::work(bool reports, const TreeProgress& progress)
{
    Worker w(levels, planeCount);
    if (reports && progress)
        progress(0, taskCount);
    for (int task = nextTask.fetch_add(1); task < taskCount; task = nextTask.fetch_add(1)) {
        runTask(w, task);
        doneTasks.fetch_add(1);
        doneTasks.notify_all();
        if (reports && progress)
            progress(doneTasks.load(), taskCount);
    }
    if (!reports)
        return;
    for (int done = doneTasks.load(); done < taskCount; done = doneTasks.load()) {
        if (progress)
            progress(done, taskCount);
        doneTasks.wait(done);
    }
    if (progress)
        progress(taskCount, taskCount);
}

void TreePass::runTask(Worker& w, int task)
{
    const int face = task >> (2 * taskLevel);
    const int count = perFace >> (2 * taskLevel);
    const int first = face * perFace + (task - (face << (2 * taskLevel))) * count;
    if (taskLevel == 0) {
        visit(w, 0, first, count, root.list, 0);
        return;
    }
    const int steps = w.kernel.split(root.list, faceBalls[face], w.lists[0].list, w.keep.get());
    visit(w, 1, first, count, w.lists[0].list, steps);
}

void TreePass::visit(Worker& w, int level, int first, int count, const PlaneList& in, int steps)
{
    PlaneList& out = w.lists[static_cast<std::size_t>(level)].list;
    steps += w.kernel.split(in, nodeBall(read, first, count), out, w.keep.get());
    if (out.count == 0) {
        finishUniform(first, count, steps);
        return;
    }
    if (count <= LEAF_VERTICES) {
        finishLeaf(w, out, first, count, steps);
        return;
    }
    const int quarter = count / 4;
    for (int c = 0; c < 4; ++c)
        visit(w, level + 1, first + c * quarter, quarter, out, steps);
}

void TreePass::finishLeaf(Worker& w, const PlaneList& planes, int first, int count, int steps)
{
    LeafScratch& leaf = w.leaf;
    const float* v = read + 3 * static_cast<std::size_t>(first);
    if (count == LEAF_VERTICES && loadLattice(v, first, steps, leaf)) {
        w.kernel.leaf(planes, leaf.x, leaf.y, leaf.z, leaf.k, LATTICE_POINTS);
        for (int j = LEAF_VERTICES - 1; j >= 0; --j)
            leaf.k[j] = leaf.k[LEAF_LATTICE.pointOfSlot[j]];
    } else {
        for (int j = 0; j < LEAF_VERTICES; ++j) { // small meshes: vertices at 0 fill the leaf
            const bool real = j < count;
            leaf.x[j] = real ? v[3 * j] : 0.0f;
            leaf.y[j] = real ? v[3 * j + 1] : 0.0f;
            leaf.z[j] = real ? v[3 * j + 2] : 0.0f;
            leaf.k[j] = steps + (real && base ? base[first + j] : 0);
        }
        w.kernel.leaf(planes, leaf.x, leaf.y, leaf.z, leaf.k, LEAF_VERTICES);
    }
    if (counts) {
        std::copy(leaf.k, leaf.k + count, counts + first);
        return;
    }
    float* out = write + 3 * static_cast<std::size_t>(first);
    for (int j = 0; j < count; ++j) {
        const float scale = scaleOf(leaf.k[j]);
        out[3 * j] *= scale;
        out[3 * j + 1] *= scale;
        out[3 * j + 2] *= scale;
    }
}

// Loads the leaf's 15 points and their steps; false, with nothing to rely
// on, when some slot is not bit for bit its point (or carries other steps).
bool TreePass::loadLattice(const float* v, int first, int steps, LeafScratch& leaf) const
{
    for (int p = 0; p < LATTICE_POINTS; ++p) {
        const int slot = LEAF_LATTICE.slotOfPoint[p];
        leaf.x[p] = v[3 * slot];
        leaf.y[p] = v[3 * slot + 1];
        leaf.z[p] = v[3 * slot + 2];
        leaf.k[p] = steps + (base ? base[first + slot] : 0);
    }
    bool same = true;
    for (int j = 0; j < LEAF_VERTICES; ++j) {
        const int p = LEAF_LATTICE.pointOfSlot[j];
        same &= std::memcmp(v + 3 * j, &leaf.x[p], 4) == 0 && std::memcmp(v + 3 * j + 1, &leaf.y[p], 4) == 0 &&
                std::memcmp(v + 3 * j + 2, &leaf.z[p], 4) == 0;
        same &= !base || base[first + j] + steps == leaf.k[p];
    }
    return same;
}

void TreePass::finishUniform(int first, int count, int steps)
{
    if (counts) {
        for (int j = first; j < first + count; ++j)
            counts[j] = steps + (base ? base[j] : 0);
        return;
    }
    float* out = write + 3 * static_cast<std::size_t>(first);
    const float uniform = scaleOf(steps);
    for (int j = 0; j < count; ++j) {
        const float scale = base ? scaleOf(steps + base[first + j]) : uniform;
        out[3 * j] *= scale;
        out[3 * j + 1] *= scale;
        out[3 * j + 2] *= scale;
    }
}

float TreePass::scaleOf(int steps) const
{
    const std::size_t index = static_cast<std::size_t>(static_cast<std::int64_t>(steps) + planeCount);
    return index < scales.size() ? scales[index] : scaleForSteps(steps);
}

// Every plane against every vertex, for arrays that are not an icosphere.
void countByBruteForce(const float* xyz, int vertexCount, const std::vector<FaultPlane>& planes, int* counts)
{
    for (const FaultPlane& plane : planes)
        applyPlaneToCounters(plane, xyz, vertexCount, counts);
}

} // namespace

int treeDepthOf(int vertexCount)
{
    if (vertexCount < 60 || vertexCount % 60 != 0)
        return -1;
    int depth = 0;
    for (int triangles = vertexCount / 60; triangles > 1; triangles /= 4) {
        if (triangles % 4 != 0)
            return -1;
        ++depth;
    }
    return depth;
}

NodeBall nodeBall(const float* xyz, int first, int count)
{
    const int offsets[3] = {0, count == 3 ? 1 : count / 4, count == 3 ? 2 : count / 2};
    double corner[3][3];
    double centre[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < 3; ++i) {
        const float* v = xyz + 3 * (static_cast<std::size_t>(first) + static_cast<std::size_t>(offsets[i]));
        const double length = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
        for (int c = 0; c < 3; ++c) {
            corner[i][c] = v[c] / length;
            centre[c] += corner[i][c];
        }
    }
    const double length = std::sqrt(centre[0] * centre[0] + centre[1] * centre[1] + centre[2] * centre[2]);
    double cosRadius = 1.0;
    for (int i = 0; i < 3; ++i) {
        const double dot = (corner[i][0] * centre[0] + corner[i][1] * centre[1] + corner[i][2] * centre[2]) / length;
        cosRadius = std::min(cosRadius, dot);
    }
    NodeBall ball;
    if (!(cosRadius > 0.0)) { // no cap under a half sphere: a ball that no plane clears
        ball = {{0.0f, 0.0f, 0.0f}, 2.0f};
        return ball;
    }
    // The cap of angular radius r about c lies in the ball about c cos r of radius sin r.
    for (int c = 0; c < 3; ++c)
        ball.centre[c] = static_cast<float>(centre[c] / length * cosRadius);
    const double radius = std::sqrt(1.0 - cosRadius * cosRadius) + MESH_DRIFT;
    ball.radius = std::nextafter(static_cast<float>(radius), 2.0f);
    return ball;
}

NodeSide classifyNode(const NodeBall& ball, const FaultPlane& plane)
{
    float fields[5];
    int sign;
    PlaneList one{&fields[0], &fields[1], &fields[2], &fields[3], &fields[4], &sign, 1};
    loadPlane(plane, one, 0);
    const float s = ballSideValue(ball.centre, fields[0], fields[1], fields[2], fields[3]);
    const float t = (ball.radius + SIDE_MARGIN) * fields[4];
    return s > t ? NodeSide::Outer : (s < -t ? NodeSide::Inner : NodeSide::Cut);
}

float scaleForSteps(int steps)
{
    const double a = 750.0 + steps; // the two counters, one of them carrying every step
    return std::fabs(static_cast<float>(a / 1500.0 + 750 / 1500.0));
}

void countByTree(const float* xyz, int vertexCount, const std::vector<FaultPlane>& planes, int* counts, int threads,
                 const TreeProgress& progress)
{
    if (treeDepthOf(vertexCount) < 0) {
        countByBruteForce(xyz, vertexCount, planes, counts);
        if (progress)
            progress(1, 1);
        return;
    }
    TreePass pass(xyz, nullptr, vertexCount, planes, counts, counts);
    pass.run(threads, progress);
}

void deformByTree(float* xyz, int vertexCount, const std::vector<FaultPlane>& planes, const int* carried,
                  const TreeProgress& progress)
{
    if (treeDepthOf(vertexCount) < 0) {
        std::vector<int> steps(static_cast<std::size_t>(vertexCount), 0);
        if (carried)
            std::copy(carried, carried + vertexCount, steps.begin());
        countByBruteForce(xyz, vertexCount, planes, steps.data());
        for (int j = 0; j < vertexCount; ++j)
            for (int c = 0; c < 3; ++c)
                xyz[3 * j + c] *= scaleForSteps(steps[static_cast<std::size_t>(j)]);
        if (progress)
            progress(1, 1);
        return;
    }
    TreePass pass(xyz, xyz, vertexCount, planes, carried, nullptr);
    pass.run(2, progress);
}

std::uint64_t treeWorkingBytes(int vertexCount, int planeCount)
{
    const int depth = treeDepthOf(vertexCount);
    if (depth < 0)
        return static_cast<std::uint64_t>(vertexCount) * sizeof(int);
    const std::uint64_t room = static_cast<std::uint64_t>(planeCount) + PlaneBuffer::SLACK;
    const std::uint64_t listBytes = room * (5 * sizeof(float) + sizeof(int));
    const std::uint64_t levels = static_cast<std::uint64_t>(std::max(0, depth - 2)) + 1;
    const std::uint64_t worker = levels * listBytes + room * sizeof(int) + sizeof(Worker);
    const std::uint64_t scales = (2 * static_cast<std::uint64_t>(planeCount) + 1) * sizeof(float);
    return listBytes + scales + 2 * worker;
}

TreeKernel bestTreeKernel()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return TreeKernel::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return TreeKernel::Avx2;
    return TreeKernel::Plain;
}

void setTreeKernel(TreeKernel kernel)
{
    chosenKernel = kernel;
}
