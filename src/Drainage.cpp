#include "Drainage.h"

#include "SeaLevel.h"
#include "ThreadGroup.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <utility>

namespace {

constexpr std::uint32_t NONE = 0xFFFFFFFFu;

// std::round(x) for x from 0.5 up, where x + 0.5 is exact below 2^52 and
// its truncation is the same; a plain conversion spares the library call
// that every vertex of every erosion step would make. Elsewhere std::round.
double roundedHalfAway(double x)
{
    constexpr double EXACT_BELOW = 4503599627370496.0; // 2^52
    return x >= 0.5 && x < EXACT_BELOW ? double(std::int64_t(x + 0.5)) : std::round(x);
}

// The vertices waiting in the flood, by filled height (on HEIGHT_QUANTUM's
// grid, one bucket a level) and within a level in the order they were found,
// so that a flat is crossed outward from where it was entered. Every vertex
// waits once; the flood never takes a level below the one it is at.
class Buckets {
public:
    // The buckets from lowest to highest; throws std::bad_alloc for a land
    // whose heights span more than about 700 sea radii.
    static std::size_t countFor(double lowest, double highest)
    {
        const double levels = (highest - lowest) / HEIGHT_QUANTUM + 1.0;
        if (!(levels <= double(1u << 26)))
            throw std::bad_alloc();
        return std::size_t(levels) + 1;
    }
    // Its lists lie at lists, all NONE: count heads, count tails, then one
    // link a vertex.
    Buckets(double lowest, std::size_t count, std::uint32_t* lists)
        : base(lowest), count(count), head(lists), tail(lists + count), next(lists + 2 * count)
    {
    }
    void push(std::uint32_t v, double level)
    {
        const std::size_t b = std::size_t(roundedHalfAway((level - base) / HEIGHT_QUANTUM));
        if (tail[b] == NONE)
            head[b] = v;
        else
            next[tail[b]] = v;
        tail[b] = v;
    }
    // The next vertex, or NONE when none waits.
    std::uint32_t pop()
    {
        while (at < count && head[at] == NONE)
            ++at;
        if (at == count)
            return NONE;
        const std::uint32_t v = head[at];
        head[at] = next[v];
        if (head[at] == NONE)
            tail[at] = NONE;
        return v;
    }

private:
    double base;
    std::size_t count, at = 0;
    std::uint32_t *head, *tail, *next;
};

struct Flood {
    const DrainageInput& in;
    Drainage& out;
    const std::vector<double>& direction; // unit x, y, z per vertex
    const double* chords;                 // per neighbour slot, or null (SphereGeometry::chord)
    // Per vertex its place in the flood's order once taken; WAITING
    // between being found and being taken, NONE before; SEA on the sea,
    // which the flood never takes, so that one read tells a neighbour's state.
    std::uint32_t* rank;
    Buckets waiting;

    bool isSea(std::uint32_t v) const { return out.sea[v] != 0; }
    static constexpr std::uint32_t WAITING = NONE - 1, SEA = NONE - 2;
    bool taken(std::uint32_t v) const { return rank[v] < SEA; }
    void push(std::uint32_t v, double level);
    double distance(std::uint32_t v, std::size_t slot) const;
    void seed();
    void take(std::uint32_t v, std::uint32_t order);
    void run();
};

void Flood::push(std::uint32_t v, double level)
{
    rank[v] = WAITING;
    out.filled[v] = level;
    waiting.push(v, level);
}

// Chord between the directions of a and b on the unit sphere.
double chordBetween(const std::vector<double>& direction, std::uint32_t a, std::uint32_t b)
{
    const double* p = &direction[3 * std::size_t(a)];
    const double* q = &direction[3 * std::size_t(b)];
    const double x = p[0] - q[0], y = p[1] - q[1], z = p[2] - q[2];
    return std::sqrt(x * x + y * y + z * z);
}

// The chord from v to its neighbour in slot (an index into the neighbours' ids).
double Flood::distance(std::uint32_t v, std::size_t slot) const
{
    return chords ? chords[slot] : chordBetween(direction, v, in.neighbours.ids[slot]);
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
            rank[v] = SEA;
            anySea = true;
        }
    for (std::uint32_t v = 0; v < n && anySea; ++v) {
        if (stopDue(v, in.stop))
            return; // the flood's first look ends it
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

// Takes v, the flood's next: its receiver, unless seeded, is the steepest
// way down the filled surface among the neighbours the flood took before it
// (on a flat, the one taken first, nearest the way out); its neighbours not
// yet found wait at their height or the flood's level. One walk over the
// neighbours does both: a neighbour found here was not taken, so the choice
// is that of a walk of its own.
void Flood::take(std::uint32_t v, std::uint32_t order)
{
    const double level = out.filled[v];
    const bool choose = out.receiver[v] == NONE;
    std::uint32_t best = NONE;
    double bestSlope = 0.0;
    const std::uint32_t* ids = in.neighbours.ids.data();
    for (std::size_t slot = in.neighbours.offsets[v]; slot < in.neighbours.offsets[v + 1]; ++slot) {
        const std::uint32_t w = ids[slot], state = rank[w];
        if (state == NONE) {
            push(w, std::max(out.height[w], level));
            continue;
        }
        if (!choose || state >= SEA)
            continue;
        const double slope = (level - out.filled[w]) / distance(v, slot);
        if (best == NONE || slope > bestSlope || (slope == bestSlope && state < rank[best])) {
            best = w;
            bestSlope = slope;
        }
    }
    if (choose)
        out.receiver[v] = best;
    rank[v] = order;
    if (out.receiver[v] != v)
        out.stack.push_back(v);
}

// Stops early, leaving the flood part way, when the input's stop is set; it
// is read every STOP_CHECK_EVERY vertices taken (about a millisecond's work).
void Flood::run()
{
    constexpr std::uint32_t STOP_CHECK_EVERY = 1u << 14;
    std::uint32_t popped = 0;
    for (std::uint32_t v = waiting.pop(); v != NONE; v = waiting.pop()) {
        if (popped % STOP_CHECK_EVERY == 0 && stopRequested(in.stop))
            return;
        take(v, popped++);
    }
}

// Gathers the rain on area (as SphereGeometry::area) down the tree, upstream first.
void accumulate(const DrainageInput& in, const std::vector<double>& area, Drainage& out)
{
    const std::size_t n = out.vertexCount();
    out.flow.assign(n, 0.0);
    for (std::uint32_t v = 0; v < n; ++v) {
        if (stopDue(v, in.stop))
            return;
        if (out.sea[v])
            continue;
        out.flow[v] = (in.rain ? double(in.rain[v]) : UNIFORM_RAIN) * area[v];
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

// Describes the lake of members; false when it is too shallow, too small
// or too dry to be one.
bool describeLake(Drainage& d, const std::vector<std::uint32_t>& members)
{
    Lake lake;
    lake.level = d.filled[members[0]];
    lake.vertices = std::uint32_t(members.size());
    double biggest = -1.0, surface = 0.0, volume = 0.0;
    for (const std::uint32_t v : members) {
        lake.deepest = std::max(lake.deepest, lake.level - d.height[v]);
        surface += d.area[v];
        volume += d.area[v] * (lake.level - d.height[v]);
        const std::uint32_t r = d.receiver[v];
        if (d.lakeOf[r] == d.lakeOf[v])
            continue;
        lake.inflow += d.flow[v];
        if (d.flow[v] > biggest || (d.flow[v] == biggest && r < lake.outlet)) {
            biggest = d.flow[v];
            lake.outlet = r;
        }
    }
    if (lake.deepest < LAKE_DEPTH_MIN || volume < LAKE_VOLUME_MIN ||
        lake.inflow < LAKE_CATCHMENT_MIN * UNIFORM_RAIN * surface)
        return false;
    d.lakes.push_back(lake);
    return true;
}

void findLakes(const DrainageInput& in, Drainage& d)
{
    constexpr std::uint32_t SHALLOW = Drainage::NO_LAKE - 1; // flooded, but no lake
    d.lakeOf.assign(d.vertexCount(), Drainage::NO_LAKE);
    d.lakes.clear();
    for (std::uint32_t v = 0; v < d.vertexCount(); ++v) {
        if (d.lakeOf[v] != Drainage::NO_LAKE || !flooded(d, v))
            continue;
        const std::vector<std::uint32_t> members = lakeFrom(in, d, v, std::uint32_t(d.lakes.size()));
        if (!describeLake(d, members))
            for (const std::uint32_t m : members)
                d.lakeOf[m] = SHALLOW;
    }
    for (std::uint32_t& lake : d.lakeOf)
        lake = lake == SHALLOW ? Drainage::NO_LAKE : lake;
}

// Heights and sea flags from the positions, shared by input.threads; returns
// the lowest and highest land height (both 0 when there is no land). Minimum
// and maximum are exact, so the parts combine the same in any order.
std::pair<double, double> measureHeights(const DrainageInput& input, Drainage& out)
{
    const std::size_t n = input.weld.vertexCount();
    out.height.resize(n);
    out.sea.resize(n);
    double lowest = HUGE_VAL, highest = -HUGE_VAL;
    std::mutex combining;
    splitAcross(n, input.threads, [&](std::size_t begin, std::size_t end) {
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (std::size_t v = begin; v < end; ++v) {
            if (stopDue(v - begin, input.stop))
                break; // drainLand looks again before the flood
            const float* p = input.positions + 3 * v;
            const double radius = std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
            out.sea[v] = !aboveSea(p, input.unit ? input.unit + 3 * v : nullptr, input.seaRadius);
            out.height[v] = roundedHalfAway(radius / HEIGHT_QUANTUM) * HEIGHT_QUANTUM;
            if (!out.sea[v]) {
                low = std::min(low, out.height[v]);
                high = std::max(high, out.height[v]);
            }
        }
        const std::lock_guard<std::mutex> lock(combining);
        lowest = std::min(lowest, low);
        highest = std::max(highest, high);
    });
    if (lowest > highest)
        return {0.0, 0.0};
    return {lowest, highest};
}

} // namespace

SphereGeometry sphereGeometry(const IcosphereWeld& weld, const float* positions, StopRequest stop)
{
    const std::size_t n = weld.vertexCount();
    SphereGeometry out{std::vector<double>(3 * n), std::vector<double>(n, 0.0), {}};
    for (std::size_t v = 0; v < n; ++v) {
        if (stopDue(v, stop))
            return out;
        const float* q = positions + 3 * v;
        const double r = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2]);
        for (int c = 0; c < 3; ++c)
            out.direction[3 * v + c] = r > 0.0 ? q[c] / r : 0.0;
    }
    for (std::size_t t = 0; t < weld.faceCount(); ++t) {
        if (stopDue(t, stop))
            return out;
        const double* p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = &out.direction[3 * std::size_t(weld.cornerToVertex[3 * t + k])];
        const double e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const double e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        const double x = e1[1] * e2[2] - e1[2] * e2[1], y = e1[2] * e2[0] - e1[0] * e2[2],
                     z = e1[0] * e2[1] - e1[1] * e2[0];
        const double third = std::sqrt(x * x + y * y + z * z) / 6.0;
        for (int k = 0; k < 3; ++k)
            out.area[weld.cornerToVertex[3 * t + k]] += third;
    }
    // The flat faces fall short of the sphere; scale them onto it.
    double total = 0.0;
    for (const double a : out.area)
        total += a;
    const double scale = total > 0.0 ? 4.0 * 3.14159265358979323846 / total : 0.0;
    for (double& a : out.area)
        a *= scale;
    return out;
}

void keepChords(SphereGeometry& geometry, const VertexNeighbours& neighbours, StopRequest stop)
{
    geometry.chord.resize(neighbours.ids.size());
    for (std::uint32_t v = 0; v < neighbours.vertexCount(); ++v) {
        if (stopDue(v, stop))
            return;
        for (std::size_t slot = neighbours.offsets[v]; slot < neighbours.offsets[v + 1]; ++slot)
            geometry.chord[slot] = chordBetween(geometry.direction, v, neighbours.ids[slot]);
    }
}

void drainLand(const DrainageInput& input, Drainage& out)
{
    const std::size_t n = input.weld.vertexCount();
    out.stopped = false;
    const auto [lowest, highest] = measureHeights(input, out);
    out.filled = out.height;
    SphereGeometry own;
    if (!input.geometry)
        own = sphereGeometry(input.weld, input.positions);
    const SphereGeometry& geometry = input.geometry ? *input.geometry : own;
    if (input.lakes)
        out.area = geometry.area;
    else
        out.area.clear();
    out.receiver.assign(n, NONE);
    out.stack.clear();
    out.stack.reserve(n);
    out.landRain = 0.0;
    const std::size_t buckets = Buckets::countFor(lowest, highest);
    out.work.assign(n + 2 * buckets + n, NONE);
    const double* chords = geometry.chord.empty() ? nullptr : geometry.chord.data();
    Flood flood{input, out, geometry.direction, chords, out.work.data(), Buckets(lowest, buckets, out.work.data() + n)};
    flood.seed(); // the seeding and the flood look at the stop first of all
    flood.run();
    if (!stopRequested(input.stop))
        accumulate(input, geometry.area, out);
    out.stopped = stopRequested(input.stop);
    if (out.stopped)
        return;
    if (input.lakes) {
        findLakes(input, out);
    } else {
        out.lakeOf.clear();
        out.lakes.clear();
    }
}

Drainage drainLand(const DrainageInput& input)
{
    Drainage out;
    drainLand(input, out);
    return out;
}
