#include "Climate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double DEGREES = 180.0 / PI;

// Moisture is carried as a flux along the wind: mm a year of rain times the
// km over which it falls. Over the sea the air takes up water towards
// saturation within about EVAPORATION_KM; everywhere it gives up a share
// RAIN_PER_KM x lift of what it carries per km.
constexpr float SATURATED_FLUX_AT_27C = 6.0e6f; // mm km / year: air saturated over a sea at 27 °C
constexpr float MOISTURE_PER_C = 0.07f;         // the water air holds grows about 7 % per °C
constexpr float EVAPORATION_KM = 1000.0f;
constexpr float RAIN_PER_KM = 1.0f / 1500.0f;
constexpr float UPLIFT_PER_SLOPE = 0.35f;  // extra lift per m of rise a km along the wind
constexpr float LEE_PER_SLOPE = 0.12f;     // less lift per m of fall a km ...
constexpr float LEE_FLOOR = 0.15f;         // ... down to this share of the lift
constexpr float RECYCLED_WHEN_WARM = 0.4f; // share of the rain on warm land the plants give back to the air
constexpr float CONTINENTAL_KM = 800.0f;   // distance from the sea over which the interior's climate sets in
constexpr float CONTINENTAL_PIVOT_C = 12.0f;
constexpr float CONTINENTAL_SPREAD = 0.25f; // deep inland: this much farther from the pivot than the sea
constexpr int SWEEPS = 3;

// Per welded vertex: where it stands.
struct Surface {
    std::vector<float> up;        // unit direction, x, y, z
    std::vector<float> latitude;  // degrees
    std::vector<float> elevation; // metres above the sea; 0 over the sea (its surface)
    std::vector<std::uint8_t> sea;
};

Surface surfaceOf(const float* welded, std::size_t n, const PhysicalScale& scale)
{
    Surface s;
    s.up.resize(3 * n);
    s.latitude.resize(n);
    s.elevation.resize(n);
    s.sea.resize(n);
    for (std::size_t v = 0; v < n; ++v) {
        const double x = welded[3 * v], y = welded[3 * v + 1], z = welded[3 * v + 2];
        const double r = std::sqrt(x * x + y * y + z * z);
        const double inverse = r > 0.0 ? 1.0 / r : 0.0;
        s.up[3 * v] = r > 0.0 ? float(x * inverse) : 1.0f;
        s.up[3 * v + 1] = float(y * inverse);
        s.up[3 * v + 2] = float(z * inverse);
        s.latitude[v] = float(std::asin(std::clamp(y * inverse, -1.0, 1.0)) * DEGREES);
        s.sea[v] = !(r > scale.seaRadius);
        s.elevation[v] = s.sea[v] ? 0.0f : float(scale.elevationMetres(r));
    }
    return s;
}

float distance(const float* a, const float* b)
{
    const float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The mean length of an edge on the sea's surface, km.
double meanEdgeKm(const VertexNeighbours& nb, const Surface& s, const PhysicalScale& scale)
{
    double sum = 0.0;
    for (std::size_t v = 0; v < nb.vertexCount(); ++v)
        for (const std::uint32_t* j = nb.begin(v); j != nb.end(v); ++j)
            sum += distance(&s.up[3 * v], &s.up[3 * *j]);
    return nb.ids.empty() ? 0.0 : sum / double(nb.ids.size()) * scale.kmPerRadian();
}

// Per vertex: km to the nearest sea vertex, in edges of mean length (0 on the
// sea; every vertex far inland when there is no sea).
std::vector<float> coastDistanceKm(const VertexNeighbours& nb, const Surface& s, float edgeKm)
{
    const std::size_t n = nb.vertexCount();
    constexpr std::uint32_t UNREACHED = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> hops(n, UNREACHED), queue;
    queue.reserve(n);
    for (std::size_t v = 0; v < n; ++v)
        if (s.sea[v]) {
            hops[v] = 0;
            queue.push_back(std::uint32_t(v));
        }
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const std::uint32_t v = queue[head];
        for (const std::uint32_t* j = nb.begin(v); j != nb.end(v); ++j)
            if (hops[*j] == UNREACHED) {
                hops[*j] = hops[v] + 1;
                queue.push_back(*j);
            }
    }
    std::vector<float> km(n);
    for (std::size_t v = 0; v < n; ++v)
        km[v] = hops[v] == UNREACHED ? 100.0f * CONTINENTAL_KM : float(hops[v]) * edgeKm;
    return km;
}

std::vector<float> temperatures(const Surface& s, const std::vector<float>& coastKm)
{
    std::vector<float> t(s.latitude.size());
    for (std::size_t v = 0; v < t.size(); ++v) {
        const float sea = seaLevelTemperature(s.latitude[v]);
        const float inland = 1.0f - std::exp(-coastKm[v] / CONTINENTAL_KM);
        t[v] = sea + inland * CONTINENTAL_SPREAD * (sea - CONTINENTAL_PIVOT_C) - LAPSE_C_PER_KM * s.elevation[v] / 1000.0f;
    }
    return t;
}

// The large-scale rising (above 1) and sinking (below) of the air at a
// latitude, degrees: the rising air near the equator and near 55°, the
// sinking air near 30° and at the poles.
float lift(float latitude)
{
    const float a = std::fabs(latitude);
    const float equator = a / 10.0f, front = (a - 55.0f) / 12.0f;
    return 0.06f + 1.1f * std::exp(-equator * equator) + 0.6f * std::exp(-front * front);
}

// How the air moves past each vertex: its upwind neighbours' weights (per
// slot of the neighbour table, summing to 1 over a vertex) and the mean
// distance they lie upwind, km.
struct Upwind {
    std::vector<float> weight;
    std::vector<float> hopKm;
};

// The wind at vertex v as a vector in space.
void windVector(const Surface& s, std::size_t v, float* out)
{
    const float* u = &s.up[3 * v];
    float east[3] = {u[2], 0.0f, -u[0]}; // north pole x up
    const float length = std::sqrt(east[0] * east[0] + east[2] * east[2]);
    if (length > 0.0f)
        east[0] /= length, east[2] /= length;
    else
        east[0] = 1.0f, east[2] = 0.0f;
    const float north[3] = {u[1] * east[2] - u[2] * east[1], u[2] * east[0] - u[0] * east[2],
                            u[0] * east[1] - u[1] * east[0]};
    const Wind w = prevailingWind(s.latitude[v]);
    for (int k = 0; k < 3; ++k)
        out[k] = w.east * east[k] + w.north * north[k];
}

Upwind upwindOf(const VertexNeighbours& nb, const Surface& s, float edgeKm, float kmPerUnit)
{
    Upwind up;
    up.weight.assign(nb.ids.size(), 0.0f);
    up.hopKm.assign(nb.vertexCount(), edgeKm);
    for (std::size_t v = 0; v < nb.vertexCount(); ++v) {
        float wind[3];
        windVector(s, v, wind);
        float total = 0.0f, hop = 0.0f;
        for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k) {
            const float* a = &s.up[3 * v];
            const float* b = &s.up[3 * nb.ids[k]];
            const float d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            const float length = distance(a, b);
            const float along = (d[0] * wind[0] + d[1] * wind[1] + d[2] * wind[2]) / length;
            if (!(along < 0.0f))
                continue;
            up.weight[k] = -along;
            total += -along;
            hop += -along * length;
        }
        if (total > 0.0f) {
            for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k)
                up.weight[k] /= total;
            up.hopKm[v] = hop / total * kmPerUnit;
        }
    }
    return up;
}

// What the air does at each vertex, fixed by the land.
struct Exchange {
    std::vector<float> saturated; // moisture flux the air holds at saturation there
    std::vector<float> rainShare; // share of the incoming moisture that rains out there, 0 to 1
    std::vector<float> renewal;   // sea: share of the deficit the sea fills; land: share of the rain given back
};

Exchange exchangeOf(const VertexNeighbours& nb, const Surface& s, const Upwind& up, const std::vector<float>& t)
{
    const std::size_t n = nb.vertexCount();
    Exchange e{std::vector<float>(n), std::vector<float>(n), std::vector<float>(n)};
    for (std::size_t v = 0; v < n; ++v) {
        float upwindElevation = 0.0f;
        for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k)
            upwindElevation += up.weight[k] * s.elevation[nb.ids[k]];
        const float slope = (s.elevation[v] - upwindElevation) / up.hopKm[v]; // m per km along the wind
        float rate = RAIN_PER_KM * (lift(s.latitude[v]) + UPLIFT_PER_SLOPE * std::max(0.0f, slope));
        if (slope < 0.0f)
            rate *= std::max(LEE_FLOOR, 1.0f + LEE_PER_SLOPE * slope);
        const float x = rate * up.hopKm[v];
        e.rainShare[v] = x / (1.0f + x);
        e.saturated[v] = SATURATED_FLUX_AT_27C * std::exp(MOISTURE_PER_C * (t[v] - 27.0f));
        e.renewal[v] = s.sea[v] ? 1.0f - std::exp(-up.hopKm[v] / EVAPORATION_KM)
                                : RECYCLED_WHEN_WARM * std::clamp((t[v] + 5.0f) / 30.0f, 0.0f, 1.0f);
    }
    return e;
}

// Vertices in the order the wind reaches them: those where it blows east by
// increasing longitude, then those where it blows west by decreasing.
std::vector<std::uint32_t> sweepOrder(const Surface& s)
{
    const std::size_t n = s.latitude.size();
    const std::size_t buckets = std::max<std::size_t>(64, 4 * std::size_t(std::sqrt(double(n))));
    std::vector<std::uint32_t> bucket(n), start(2 * buckets + 1, 0);
    for (std::size_t v = 0; v < n; ++v) {
        const float* u = &s.up[3 * v];
        const double longitude = std::atan2(-double(u[2]), double(u[0])); // -pi to pi, growing eastward
        const std::size_t b = std::min(buckets - 1, std::size_t((longitude + PI) / (2.0 * PI) * double(buckets)));
        const bool eastward = prevailingWind(s.latitude[v]).east > 0.0f;
        bucket[v] = std::uint32_t(eastward ? b : 2 * buckets - 1 - b);
        ++start[bucket[v] + 1];
    }
    for (std::size_t b = 0; b < 2 * buckets; ++b)
        start[b + 1] += start[b];
    std::vector<std::uint32_t> order(n);
    for (std::size_t v = 0; v < n; ++v)
        order[start[bucket[v]]++] = std::uint32_t(v);
    return order;
}

// Carries the moisture along the wind, Gauss-Seidel in the wind's order, and
// returns the rain of the last sweep, mm a year.
std::vector<float> sweepRain(const VertexNeighbours& nb, const Surface& s, const Upwind& up, const Exchange& e)
{
    const std::size_t n = nb.vertexCount();
    const std::vector<std::uint32_t> order = sweepOrder(s);
    std::vector<float> moisture(e.saturated), rain(n, 0.0f);
    for (int sweep = 0; sweep < SWEEPS; ++sweep)
        for (const std::uint32_t v : order) {
            float incoming = 0.0f;
            for (std::uint32_t k = nb.offsets[v]; k < nb.offsets[v + 1]; ++k)
                incoming += up.weight[k] * moisture[nb.ids[k]];
            const float excess = std::max(0.0f, incoming - e.saturated[v]);
            const float fallen = excess + (incoming - excess) * e.rainShare[v];
            rain[v] = fallen / up.hopKm[v];
            const float left = incoming - fallen;
            moisture[v] = s.sea[v] ? left + (e.saturated[v] - left) * e.renewal[v] : left + fallen * e.renewal[v];
        }
    return rain;
}

} // namespace

Wind prevailingWind(float latitudeDegrees)
{
    const float a = std::fabs(latitudeDegrees);
    const float hemisphere = latitudeDegrees < 0.0f ? -1.0f : 1.0f;
    // Eastward and poleward parts before normalising: 1 : 0.35.
    const bool westerly = a >= 30.0f && a < 60.0f;
    const float east = westerly ? 0.943858f : -0.943858f;
    const float poleward = westerly ? 0.330350f : -0.330350f;
    return {east, hemisphere * poleward};
}

float seaLevelTemperature(float latitudeDegrees)
{
    // Every 10° from the equator to the pole.
    static constexpr float TABLE[10] = {27.0f, 27.0f, 25.0f, 21.0f, 15.0f, 8.0f, 1.0f, -6.0f, -16.0f, -25.0f};
    const float a = std::min(std::fabs(latitudeDegrees), 90.0f) / 10.0f;
    const int i = std::min(int(a), 8);
    const float f = a - float(i);
    return TABLE[i] * (1.0f - f) + TABLE[i + 1] * f;
}

Climate computeClimate(const IcosphereWeld& weld, const VertexNeighbours& neighbours, const float* welded,
                       const PhysicalScale& scale)
{
    if (weld.vertexCount() != neighbours.vertexCount())
        throw std::invalid_argument("computeClimate: the neighbours are not the weld's");
    const std::size_t n = neighbours.vertexCount();
    const Surface s = surfaceOf(welded, n, scale);
    const float edgeKm = float(meanEdgeKm(neighbours, s, scale));
    Climate c;
    c.temperature = temperatures(s, coastDistanceKm(neighbours, s, edgeKm));
    const Upwind up = upwindOf(neighbours, s, edgeKm, float(scale.kmPerRadian()));
    c.rain = sweepRain(neighbours, s, up, exchangeOf(neighbours, s, up, c.temperature));
    c.biome.resize(n);
    for (std::size_t v = 0; v < n; ++v)
        c.biome[v] = classifyBiome(c.temperature[v], c.rain[v], s.sea[v]);
    return c;
}
