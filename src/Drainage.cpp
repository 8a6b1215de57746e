#include "Drainage.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <tuple>

namespace {

constexpr std::uint32_t NONE = 0xFFFFFFFFu;

// A vertex waiting in the flood: its filled height, then the order it was
// found in, so that a flat is crossed outward from where it was entered.
using Waiting = std::tuple<double, std::uint64_t, std::uint32_t>;

struct Flood {
    const DrainageInput& in;
    Drainage& out;
    std::vector<std::uint8_t> found; // pushed once
    std::vector<std::uint32_t> rank; // pop order, NONE before
    std::vector<Waiting> heap;
    std::uint64_t sequence = 0;

    bool isSea(std::uint32_t v) const { return out.sea[v] != 0; }
    void push(std::uint32_t v, double level);
    double distance(std::uint32_t a, std::uint32_t b) const;
    void seed();
    void chooseReceiver(std::uint32_t v);
    void run();
};

void Flood::push(std::uint32_t v, double level)
{
    found[v] = 1;
    out.filled[v] = level;
    heap.emplace_back(level, sequence++, v);
    std::push_heap(heap.begin(), heap.end(), std::greater<>());
}

// Chord between the directions of a and b on the unit sphere.
double Flood::distance(std::uint32_t a, std::uint32_t b) const
{
    const float* p = in.positions + 3 * std::size_t(a);
    const float* q = in.positions + 3 * std::size_t(b);
    const double ra = out.height[a], rb = out.height[b];
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double d = p[k] / ra - q[k] / rb;
        sum += d * d;
    }
    return std::sqrt(sum);
}

// Sea vertices are sinks; land beside the sea drains into its lowest sea
// neighbour and starts the flood. A world without sea drains to its lowest
// vertex.
void Flood::seed()
{
    const std::size_t n = out.vertexCount();
    bool anySea = false;
    for (std::uint32_t v = 0; v < n; ++v)
        if (isSea(v)) {
            out.receiver[v] = v;
            anySea = true;
        }
    for (std::uint32_t v = 0; v < n && anySea; ++v) {
        if (isSea(v))
            continue;
        std::uint32_t lowest = NONE;
        for (const std::uint32_t* w = in.neighbours.begin(v); w != in.neighbours.end(v); ++w)
            if (isSea(*w) && (lowest == NONE || out.height[*w] < out.height[lowest]))
                lowest = *w;
        if (lowest != NONE) {
            out.receiver[v] = lowest;
            push(v, out.height[v]);
        }
    }
    if (!anySea && n > 0) {
        const auto lowest = std::uint32_t(std::min_element(out.height.begin(), out.height.end()) - out.height.begin());
        out.receiver[lowest] = lowest;
        push(lowest, out.height[lowest]);
    }
}

// The steepest way down the filled surface among the neighbours the flood
// took before v; on a flat, the one taken first, nearest the way out.
void Flood::chooseReceiver(std::uint32_t v)
{
    std::uint32_t best = NONE;
    double bestSlope = 0.0;
    for (const std::uint32_t* w = in.neighbours.begin(v); w != in.neighbours.end(v); ++w) {
        if (rank[*w] == NONE || isSea(*w))
            continue;
        const double slope = (out.filled[v] - out.filled[*w]) / distance(v, *w);
        if (best == NONE || slope > bestSlope || (slope == bestSlope && rank[*w] < rank[best])) {
            best = *w;
            bestSlope = slope;
        }
    }
    out.receiver[v] = best;
}

void Flood::run()
{
    std::uint32_t popped = 0;
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), std::greater<>());
        const auto [level, order, v] = heap.back();
        heap.pop_back();
        if (out.receiver[v] == NONE)
            chooseReceiver(v);
        rank[v] = popped++;
        if (out.receiver[v] != v)
            out.stack.push_back(v);
        for (const std::uint32_t* w = in.neighbours.begin(v); w != in.neighbours.end(v); ++w)
            if (!found[*w] && !isSea(*w))
                push(*w, std::max(out.height[*w], level));
    }
}

// Gathers the rain down the tree, upstream first.
void accumulate(const DrainageInput& in, Drainage& out)
{
    const std::size_t n = out.vertexCount();
    out.flow.assign(n, 0.0);
    for (std::uint32_t v = 0; v < n; ++v) {
        if (out.sea[v])
            continue;
        out.flow[v] = (in.rain ? double(in.rain[v]) : UNIFORM_RAIN) * out.area[v];
        out.landRain += out.flow[v];
    }
    for (std::size_t i = out.stack.size(); i-- > 0;) {
        const std::uint32_t v = out.stack[i];
        out.flow[out.receiver[v]] += out.flow[v];
    }
}

bool flooded(const Drainage& d, std::uint32_t v)
{
    return d.filled[v] > d.height[v];
}

// The flooded vertices of one level connected to first, given index lake;
// returns them.
std::vector<std::uint32_t> lakeFrom(const DrainageInput& in, Drainage& d, std::uint32_t first, std::uint32_t lake)
{
    std::vector<std::uint32_t> members{first};
    d.lakeOf[first] = lake;
    for (std::size_t i = 0; i < members.size(); ++i)
        for (const std::uint32_t* w = in.neighbours.begin(members[i]); w != in.neighbours.end(members[i]); ++w)
            if (d.lakeOf[*w] == Drainage::NO_LAKE && flooded(d, *w) && d.filled[*w] == d.filled[first]) {
                d.lakeOf[*w] = lake;
                members.push_back(*w);
            }
    return members;
}

// Describes the lake of members, or unmarks them when it is too shallow.
void describeLake(Drainage& d, const std::vector<std::uint32_t>& members)
{
    Lake lake;
    lake.level = d.filled[members[0]];
    lake.vertices = std::uint32_t(members.size());
    double biggest = -1.0;
    for (const std::uint32_t v : members) {
        lake.deepest = std::max(lake.deepest, lake.level - d.height[v]);
        const std::uint32_t r = d.receiver[v];
        if (d.lakeOf[r] == d.lakeOf[v])
            continue;
        lake.inflow += d.flow[v];
        if (d.flow[v] > biggest || (d.flow[v] == biggest && r < lake.outlet)) {
            biggest = d.flow[v];
            lake.outlet = r;
        }
    }
    if (lake.deepest >= LAKE_DEPTH_MIN) {
        d.lakes.push_back(lake);
        return;
    }
    for (const std::uint32_t v : members)
        d.lakeOf[v] = Drainage::NO_LAKE;
}

void findLakes(const DrainageInput& in, Drainage& d)
{
    d.lakeOf.assign(d.vertexCount(), Drainage::NO_LAKE);
    std::vector<std::uint8_t> seen(d.vertexCount(), 0);
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        if (seen[v] || !flooded(d, v))
            continue;
        const std::vector<std::uint32_t> members = lakeFrom(in, d, v, std::uint32_t(d.lakes.size()));
        for (const std::uint32_t m : members)
            seen[m] = 1;
        describeLake(d, members);
    }
}

} // namespace

std::vector<double> vertexAreas(const IcosphereWeld& weld, const float* positions)
{
    const std::size_t n = weld.vertexCount();
    std::vector<double> area(n, 0.0);
    for (std::size_t t = 0; t < weld.faceCount(); ++t) {
        double p[3][3];
        for (int k = 0; k < 3; ++k) {
            const float* q = positions + 3 * std::size_t(weld.cornerToVertex[3 * t + k]);
            const double r = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2]);
            for (int c = 0; c < 3; ++c)
                p[k][c] = r > 0.0 ? q[c] / r : 0.0;
        }
        double e1[3], e2[3];
        for (int c = 0; c < 3; ++c) {
            e1[c] = p[1][c] - p[0][c];
            e2[c] = p[2][c] - p[0][c];
        }
        const double x = e1[1] * e2[2] - e1[2] * e2[1], y = e1[2] * e2[0] - e1[0] * e2[2],
                     z = e1[0] * e2[1] - e1[1] * e2[0];
        const double third = std::sqrt(x * x + y * y + z * z) / 6.0;
        for (int k = 0; k < 3; ++k)
            area[weld.cornerToVertex[3 * t + k]] += third;
    }
    // The flat faces fall short of the sphere; scale them onto it.
    double total = 0.0;
    for (const double a : area)
        total += a;
    const double scale = total > 0.0 ? 4.0 * 3.14159265358979323846 / total : 0.0;
    for (double& a : area)
        a *= scale;
    return area;
}

Drainage drainLand(const DrainageInput& input)
{
    const std::size_t n = input.weld.vertexCount();
    Drainage out;
    out.height.resize(n);
    out.sea.resize(n);
    for (std::size_t v = 0; v < n; ++v) {
        const float* p = input.positions + 3 * v;
        const double radius = std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
        out.sea[v] = radius <= input.seaRadius;
        out.height[v] = std::round(radius / HEIGHT_QUANTUM) * HEIGHT_QUANTUM;
    }
    out.filled = out.height;
    out.area = vertexAreas(input.weld, input.positions);
    out.receiver.assign(n, NONE);
    out.stack.reserve(n);
    Flood flood{input, out, std::vector<std::uint8_t>(n, 0), std::vector<std::uint32_t>(n, NONE), {}, 0};
    flood.heap.reserve(n / 8 + 16);
    flood.seed();
    flood.run();
    accumulate(input, out);
    findLakes(input, out);
    return out;
}
