#include "Erosion.h"

#include "Drainage.h"
#include "SeaLevel.h"
#include "ThreadGroup.h"

#include <algorithm>
#include <cmath>

namespace {

double radiusOf(const float* p)
{
    return std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
}

// The land as the steps work on it: directions and radii in double precision.
struct Land {
    const std::vector<double>& direction; // unit x, y, z per vertex
    const std::vector<double>& area;      // as SphereGeometry::area
    std::vector<double> radius;
    std::vector<double> original; // as the land came: a vertex still there keeps its position bit for bit
    // The vertices above the sea as the land came, in increasing order: the
    // sea's never move and land never rises out of it, so the passes over
    // every vertex walk only these.
    std::vector<std::uint32_t> above;

    double chord(std::uint32_t a, std::uint32_t b) const
    {
        double sum = 0.0;
        for (int k = 0; k < 3; ++k) {
            const double d = direction[3 * a + k] - direction[3 * b + k];
            sum += d * d;
        }
        return std::sqrt(sum);
    }
    void place(std::vector<float>& positions) const
    {
        for (const std::size_t v : above)
            if (radius[v] != original[v])
                for (std::size_t i = 3 * v; i < 3 * v + 3; ++i)
                    positions[i] = float(direction[i] * radius[v]);
    }
};

// Stream-power cutting, outlets first: each vertex sinks towards its
// receiver's new height, never below it. A vertex at or below its receiver
// (in a lake) is left as it is. False when stop ended it part way.
bool cutBeds(const Drainage& d, Land& land, const ErosionRates& rates, std::vector<double>& cut, StopRequest stop)
{
    for (std::size_t i = 0; i < d.stack.size(); ++i) {
        if (stopDue(i, stop))
            return false;
        const std::uint32_t v = d.stack[i];
        const std::uint32_t r = d.receiver[v];
        const double base = land.radius[r], old = land.radius[v];
        if (old <= base)
            continue;
        const double area = d.flow[v] / UNIFORM_RAIN;
        const double power = rates.areaExponent == 0.5 ? std::sqrt(area) : std::pow(area, rates.areaExponent);
        const double f = rates.cutting * power / land.chord(v, r);
        land.radius[v] = (old + f * base) / (1.0 + f);
        cut[v] = (old - land.radius[v]) * land.area[v];
    }
    return true;
}

// Carries what was cut downstream, upstream first, and settles it in the
// depressions it passes (lakes and dry basins alike), up to their fill. A
// depression is one the step's drainage filled above its height: a bed just
// cut lies below the filled surface too, and filling it would undo the cut.
// False when stop ended it part way.
bool settleSediment(const Drainage& d, Land& land, std::vector<double>& load, StopRequest stop)
{
    for (std::size_t i = d.stack.size(); i-- > 0;) {
        if (stopDue(i, stop))
            return false;
        const std::uint32_t v = d.stack[i];
        if (d.filled[v] > d.height[v] && land.radius[v] < d.filled[v]) {
            const double room = (d.filled[v] - land.radius[v]) * land.area[v];
            const double laid = std::min(room, load[v]);
            land.radius[v] += laid / land.area[v];
            load[v] -= laid;
        }
        load[d.receiver[v]] += load[v];
    }
    return true;
}

// How far v stands above its neighbour w beyond the talus slope, in sea radii.
double excessOver(const Land& land, const ErosionRates& rates, std::uint32_t v, std::uint32_t w)
{
    return land.radius[v] - land.radius[w] - rates.talus * land.chord(v, w);
}

// Per land vertex where its slope falls (onto): its lowest neighbour when
// it stands above it beyond the talus slope, else itself. Shared by
// threads, in vertex order, which keeps neighbours close in memory. False
// when stop ended it part way.
bool findFalls(const VertexNeighbours& neighbours, const Land& land, const ErosionRates& rates,
               std::vector<std::uint32_t>& onto, int threads, StopRequest stop)
{
    splitAcross(land.above.size(), threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            if (stopDue(k - begin, stop))
                return;
            const std::uint32_t v = land.above[k];
            std::uint32_t lowest = v;
            for (const std::uint32_t* w = neighbours.begin(v); w != neighbours.end(v); ++w)
                if (land.radius[*w] < land.radius[lowest])
                    lowest = *w;
            onto[v] = lowest != v && !(excessOver(land, rates, v, lowest) <= 0.0) ? lowest : v;
        }
    });
    return !stopRequested(stop);
}

// Slopes above the talus angle fall onto each vertex's lowest neighbour,
// all measured before any moves (findFalls; every vertex of the stack is
// above the sea as the land came). The moves are added up in stack order,
// so the sums are the same for any count of threads. False when stop ended
// it part way.
bool collapseSlopes(const Drainage& d, const VertexNeighbours& neighbours, Land& land, const ErosionRates& rates,
                    std::vector<double>& change, std::vector<std::uint32_t>& onto, int threads, StopRequest stop)
{
    onto.resize(change.size());
    if (!findFalls(neighbours, land, rates, onto, threads, stop))
        return false;
    std::fill(change.begin(), change.end(), 0.0);
    for (std::size_t i = 0; i < d.stack.size(); ++i) {
        if (stopDue(i, stop))
            return false;
        const std::uint32_t v = d.stack[i], lowest = onto[v];
        if (lowest == v)
            continue;
        const double fall = 0.5 * rates.collapse * excessOver(land, rates, v, lowest);
        change[v] -= fall;
        if (!d.isSea(lowest))
            change[lowest] += fall;
    }
    splitAcross(land.above.size(), threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k)
            land.radius[land.above[k]] += change[land.above[k]];
    });
    return true;
}

// Moves every land vertex rates.uplift of the way back to its height as
// generated. False when stop ended it part way.
bool uplift(Land& land, const ErosionRates& rates, StopRequest stop)
{
    for (std::size_t k = 0; k < land.above.size(); ++k) {
        if (stopDue(k, stop))
            return false;
        const std::uint32_t v = land.above[k];
        if (land.radius[v] != land.original[v])
            land.radius[v] += rates.uplift * (land.original[v] - land.radius[v]);
    }
    return true;
}

} // namespace

bool erodeLand(const IcosphereWeld& weld, const VertexNeighbours& neighbours, std::vector<float>& positions,
               double seaRadius, int steps, const ErosionRates& rates, int threads, const float* unit,
               StopRequest stop, const ErosionProgress& progress)
{
    const std::size_t n = weld.vertexCount();
    SphereGeometry geometry = sphereGeometry(weld, positions.data(), stop);
    if (stopRequested(stop))
        return false;
    keepChords(geometry, neighbours, stop);
    if (stopRequested(stop))
        return false;
    Land land{geometry.direction, geometry.area, std::vector<double>(n), {}, {}};
    for (std::uint32_t v = 0; v < n; ++v) {
        if (stopDue(v, stop))
            return false;
        land.radius[v] = radiusOf(&positions[3 * v]);
        if (aboveSea(&positions[3 * v], unit ? unit + 3 * v : nullptr, seaRadius))
            land.above.push_back(v);
    }
    land.original = land.radius;
    std::vector<double> work(n);
    Drainage d;
    std::vector<std::uint32_t> onto;
    for (int step = 0; step < steps; ++step) {
        if (stopRequested(stop))
            return false;
        drainLand({weld, neighbours, positions.data(), seaRadius, nullptr, &geometry, false, threads, unit, stop}, d);
        if (d.stopped)
            return false;
        std::fill(work.begin(), work.end(), 0.0);
        if (!cutBeds(d, land, rates, work, stop) || !settleSediment(d, land, work, stop) ||
            !collapseSlopes(d, neighbours, land, rates, work, onto, threads, stop))
            return false;
        if (!uplift(land, rates, stop))
            return false;
        land.place(positions);
        if (progress)
            progress(step + 1, steps);
    }
    return true;
}

double landRoughness(const VertexNeighbours& neighbours, const std::vector<float>& positions, double seaRadius)
{
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t v = 0; v < neighbours.vertexCount(); ++v) {
        const double r = radiusOf(&positions[3 * v]);
        if (r <= seaRadius)
            continue;
        double around = 0.0;
        for (const std::uint32_t* w = neighbours.begin(v); w != neighbours.end(v); ++w)
            around += radiusOf(&positions[3 * std::size_t(*w)]);
        sum += std::abs(r - around / double(neighbours.end(v) - neighbours.begin(v)));
        ++count;
    }
    return count ? sum / double(count) : 0.0;
}
