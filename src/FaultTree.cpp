#include "FaultTree.h"

#include "FaultTreeKernels.h"
#include "ThreadGroup.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

using treekernels::ballSideValue;
using treekernels::Kernels;
using treekernels::kernels;
using treekernels::LATTICE_POINTS;
using treekernels::LEAF_LATTICE;
using treekernels::loadPlane;
using treekernels::PlaneBuffer;
using treekernels::PlaneList;

namespace {

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

// Set in a pass's count of done tasks once a worker failed or could not
// start: the others stop, and nobody waits for tasks that will never be done.
// Far above any task count (at most 80).
constexpr int ABANDONED = 1 << 30;

// One pass of planes over the tree. Tasks are the nodes of one level, taken
// in turn by the workers; a worker writes only inside its own tasks' ranges,
// so no locks are needed.
class TreePass {
public:
    TreePass(const float* read, float* write, int vertexCount, const std::vector<FaultPlane>& planes,
             const int* base, int* counts, StopRequest stop);
    void run(int threads, const TreeProgress& progress);

private:
    void work(int worker, int workers, const TreeProgress& progress);
    void waitForTheOthers(const TreeProgress& progress);
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
    std::atomic<int> doneTasks{0}; // tasks finished, plus ABANDONED after a failure or a stop
    StopRequest stop;
};

TreePass::TreePass(const float* read, float* write, int vertexCount, const std::vector<FaultPlane>& planes,
                   const int* base, int* counts, StopRequest stop)
    : read(read), write(write), base(base), counts(counts), perFace(vertexCount / 20),
      planeCount(static_cast<int>(planes.size())), root(planeCount), stop(stop)
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
        work(0, 1, progress);
        return;
    }
    ThreadGroup workers([this] {
        doneTasks.fetch_or(ABANDONED);
        doneTasks.notify_all();
    });
    workers.start([this, &progress] { work(0, 2, progress); });
    workers.start([this, &progress] { work(1, 2, progress); });
    workers.join();
}

// Tasks are dealt out in turn rather than taken from a queue: neighbouring
// nodes cost about the same, and the reporting worker (worker 0) then always
// has its share to report after, however late its thread starts.
void TreePass::work(int worker, int workers, const TreeProgress& progress)
{
    const bool reports = worker == 0 && progress;
    Worker w(levels, planeCount);
    if (reports)
        progress(0, taskCount);
    for (int task = worker; task < taskCount; task += workers) {
        if (stopRequested(stop)) {
            doneTasks.fetch_or(ABANDONED);
            doneTasks.notify_all();
        }
        if (doneTasks.load() & ABANDONED)
            return;
        runTask(w, task);
        const int done = doneTasks.fetch_add(1) + 1;
        doneTasks.notify_all();
        if (done & ABANDONED)
            return;
        if (reports)
            progress(done, taskCount);
    }
    if (reports)
        waitForTheOthers(progress);
}

// The reporting worker's line goes on while the other finishes its tasks.
void TreePass::waitForTheOthers(const TreeProgress& progress)
{
    int done = doneTasks.load();
    for (; done < taskCount; done = doneTasks.load()) {
        progress(done, taskCount);
        doneTasks.wait(done);
    }
    if (!(done & ABANDONED))
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
                 const TreeProgress& progress, StopRequest stop)
{
    if (treeDepthOf(vertexCount) < 0) {
        countByBruteForce(xyz, vertexCount, planes, counts);
        if (progress)
            progress(1, 1);
        return;
    }
    TreePass pass(xyz, nullptr, vertexCount, planes, counts, counts, stop);
    pass.run(threads, progress);
}

void deformByTree(float* xyz, int vertexCount, const std::vector<FaultPlane>& planes, const int* carried,
                  const TreeProgress& progress, StopRequest stop)
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
    TreePass pass(xyz, xyz, vertexCount, planes, carried, nullptr, stop);
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
