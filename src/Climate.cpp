#include "Climate.h"

#include "OceanGyres.h"
#include "SeaLevel.h"
#include "ThreadGroup.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace {

constexpr float DEGREES = 180.0f / 3.14159265358979f;

// Temperature.
constexpr float CONTINENTAL_KM = 800.0f;    // distance from the sea over which the interior's climate sets in
constexpr float CONTINENTAL_PIVOT_C = 12.0f; // the sea-level mean that the interior strays from ...
constexpr float CONTINENTAL_SPREAD = 0.25f;  // ... deep inland this much farther than the open sea
constexpr float AIR_MEMORY_OVER_SEA_KM = 1500.0f; // how far the air keeps the land's warmth or cold over the sea
constexpr float AIR_TAKES_LAND_KM = 400.0f; // ... and how soon it takes them up over land
constexpr float SEA_TAKES_AIR = 0.5f;       // share of the air's difference the sea's surface takes on
// The air takes on the gyres' anomaly of the sea's surface within about
// AIR_TAKES_SEA_KM over the sea and carries it onto the land downwind, losing
// it there within AIR_TAKES_LAND_KM: the warm drift's mild coasts.
constexpr float AIR_TAKES_SEA_KM = 500.0f;
// Deep water keeps the summer's warmth through the winter: where the sea
// freezes, its surface is DEEP_WATER_C milder per standard deviation of the
// sea's depth that it is deeper than the mean (up to DEEP_WATER_SPAN).
constexpr float DEEP_WATER_C = 2.0f;
constexpr float DEEP_WATER_SPAN = 2.0f;
constexpr double DEPTH_DEVIATION_LEAST_M = 200.0;

// Moisture is carried as a flux along the wind: mm a year of rain times the
// km over which it falls. Over the sea the air takes up water towards its
// humidity within about EVAPORATION_KM; everywhere it gives up a share
// RAIN_PER_KM x lift of what it carries per km, and what it holds beyond
// saturation within about CONDENSATION_KM.
constexpr float SATURATED_FLUX_AT_27C = 9.0e6f; // mm km / year: air saturated at 27 °C
constexpr float MOISTURE_PER_C = 0.07f;         // the water air holds grows about 7 % per °C
constexpr float EVAPORATION_KM = 1000.0f;
constexpr float CONDENSATION_KM = 250.0f;
constexpr float RAIN_PER_KM = 1.0f / 1500.0f;
constexpr float UPLIFT_PER_SLOPE = 0.35f;  // extra lift per m of rise a km along the wind
constexpr float LEE_PER_SLOPE = 0.12f;     // less lift per m of fall a km ...
constexpr float LEE_FLOOR = 0.15f;         // ... down to this share of the lift
constexpr float RECYCLED_WHEN_WARM = 0.6f; // share of the rain on warm land the plants give back to the air
constexpr int PASSES = 4;
// Air over a cold current is stable (a cool layer under warm air: fog, no
// rain): within about COLD_COAST_KM of a sea COLD_DRYING_PER_C x its
// coldness (°C below the zonal mean) times less of the moisture rains out.
constexpr float COLD_COAST_KM = 300.0f;
constexpr float COLD_DRYING_PER_C = 0.4f;

// Runs f(i) for every i below n, the work shared by threads.
template <class F>
void forEach(std::size_t n, int threads, F f)
{
    splitAcross(n, threads, [&f](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            f(i);
    });
}

// Per welded vertex: where it stands.
struct Surface {
    BigArray<float> up;        // unit direction, x, y, z
    BigArray<float> latitude;  // degrees
    BigArray<float> elevation; // metres above the sea; 0 over the sea (its surface)
    BigArray<float> depth;     // metres below the sea; 0 on land
    BigArray<std::uint8_t> sea;
    BigArray<float> gyre; // °C the gyres add to the sea's surface there, or on land at the nearest sea vertex
};

Surface surfaceOf(const float* welded, const float* unit, std::size_t n, const PhysicalScale& scale, int threads)
{
    Surface s{BigArray<float>(3 * n), BigArray<float>(n), BigArray<float>(n), BigArray<float>(n),
              BigArray<std::uint8_t>(n), {}};
    forEach(n, threads, [&](std::size_t v) {
        const double x = welded[3 * v], y = welded[3 * v + 1], z = welded[3 * v + 2];
        const double r = std::sqrt(x * x + y * y + z * z);
        const double inverse = r > 0.0 ? 1.0 / r : 0.0;
        s.up[3 * v] = r > 0.0 ? float(x * inverse) : 1.0f;
        s.up[3 * v + 1] = float(y * inverse);
        s.up[3 * v + 2] = float(z * inverse);
        s.latitude[v] = std::asin(std::clamp(s.up[3 * v + 1], -1.0f, 1.0f)) * DEGREES;
        s.sea[v] = !aboveSea(welded + 3 * v, unit ? unit + 3 * v : nullptr, scale.seaRadius);
        const float metres = float(scale.elevationMetres(r));
        s.elevation[v] = s.sea[v] ? 0.0f : metres;
        s.depth[v] = s.sea[v] ? -metres : 0.0f;
    });
    return s;
}

constexpr std::uint32_t UNREACHED = std::numeric_limits<std::uint32_t>::max();

// Per vertex: edges to the nearest sea vertex (0 on the sea) and which one
// it is, found breadth-first in a fixed order (UNREACHED everywhere when
// there is no sea).
struct CoastSearch {
    BigArray<std::uint32_t> hops;
    BigArray<std::uint32_t> nearest;
};

CoastSearch coastSearch(const VertexNeighbours& nb, const BigArray<std::uint8_t>& sea)
{
    const std::size_t n = nb.vertexCount();
    CoastSearch found{BigArray<std::uint32_t>(n), BigArray<std::uint32_t>(n)};
    BigArray<std::uint32_t> queue(n);
    std::fill(found.hops.begin(), found.hops.end(), UNREACHED);
    std::fill(found.nearest.begin(), found.nearest.end(), UNREACHED);
    std::size_t tail = 0;
    for (std::size_t v = 0; v < n; ++v)
        if (sea[v]) {
            found.hops[v] = 0;
            found.nearest[v] = std::uint32_t(v);
            queue[tail++] = std::uint32_t(v);
        }
    for (std::size_t head = 0; head < tail; ++head) {
        const std::uint32_t v = queue[head];
        for (const std::uint32_t* j = nb.begin(v); j != nb.end(v); ++j)
            if (found.hops[*j] == UNREACHED) {
                found.hops[*j] = found.hops[v] + 1;
                found.nearest[*j] = found.nearest[v];
                queue[tail++] = *j;
            }
    }
    return found;
}

// Per position: km to the nearest sea vertex, in edges of mean length; far
// inland when there is no sea.
BigArray<float> coastDistanceKm(const BigArray<std::uint32_t>& hops, const WindField& wind)
{
    BigArray<float> km(wind.size());
    for (std::size_t i = 0; i < km.size(); ++i) {
        const std::uint32_t h = hops[wind.order[i]];
        km[i] = h == UNREACHED ? 100.0f * CONTINENTAL_KM : float(h) * wind.meanEdgeKm;
    }
    return km;
}

// Gives each land vertex the gyres' anomaly of its nearest sea vertex (the
// sea's own are left as they are; there is no land without sea but on a
// planet with no sea, whose anomalies are all 0).
void extendGyreInland(BigArray<float>& gyre, const BigArray<std::uint32_t>& nearest)
{
    for (std::size_t v = 0; v < gyre.size(); ++v)
        if (nearest[v] != UNREACHED)
            gyre[v] = gyre[nearest[v]];
}

// values, by vertex, in the wind's order.
template <class T>
BigArray<T> byPosition(const BigArray<T>& values, const WindField& wind)
{
    BigArray<T> out(wind.size());
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = values[wind.order[i]];
    return out;
}

// The surface by position, without its directions.
Surface surfaceByPosition(const Surface& s, const WindField& wind)
{
    return {{},
            byPosition(s.latitude, wind),
            byPosition(s.elevation, wind),
            byPosition(s.depth, wind),
            byPosition(s.sea, wind),
            byPosition(s.gyre, wind)};
}

// How much milder the sea's surface is for its depth (metres), °C, where
// the open sea's mean is zonal.
float deepWater(float zonal, float deeper)
{
    const float freezing = std::clamp((CONTINENTAL_PIVOT_C - zonal) / CONTINENTAL_PIVOT_C, 0.0f, 1.0f);
    return freezing * DEEP_WATER_C * std::clamp(deeper, -DEEP_WATER_SPAN, DEEP_WATER_SPAN);
}

// Per vertex: how much deeper than the sea's mean depth it is, in standard
// deviations of the depth, or of DEPTH_DEVIATION_LEAST_M when they are less
// (0 on land): a sea floor flat but for the rounding of its positions stays
// flat.
BigArray<float> relativeDepth(const Surface& s)
{
    double sum = 0.0, squares = 0.0, count = 0.0;
    for (std::size_t v = 0; v < s.depth.size(); ++v)
        if (s.sea[v])
            sum += s.depth[v], squares += double(s.depth[v]) * s.depth[v], count += 1.0;
    const double mean = count > 0.0 ? sum / count : 0.0;
    const double deviation = count > 0.0 ? std::sqrt(std::max(0.0, squares / count - mean * mean)) : 0.0;
    BigArray<float> deeper(s.depth.size());
    for (std::size_t v = 0; v < s.depth.size(); ++v)
        if (s.sea[v])
            deeper[v] = float((s.depth[v] - mean) / std::max(deviation, DEPTH_DEVIATION_LEAST_M));
    return deeper;
}

// Per position, the gyres' anomaly the air carries, °C: taken up over the
// sea, lost over land. keep: per position, the share of what it brings that
// the air keeps there.
BigArray<float> airOffTheGyres(const Surface& s, const WindField& wind, const BigArray<float>& keep)
{
    BigArray<float> air(wind.size());
    sweepAlongWind(wind, air, PASSES, [&](std::size_t v, float incoming) {
        return s.sea[v] ? s.gyre[v] + (incoming - s.gyre[v]) * keep[v] : incoming * keep[v];
    });
    return air;
}

// Per position, °C: land from its latitude, distance from the sea, height and
// the gyres' warmth or cold the wind brings off the sea; the sea's surface
// from its latitude, the gyres, its depth and the air the wind brings, which
// keeps some of the warmth or cold of the land it crossed.
BigArray<float> temperatures(const Surface& s, const WindField& wind, const BigArray<float>& coastKm, int threads)
{
    const std::size_t n = s.latitude.size();
    BigArray<float> t(n), zonal(n), keep(n), keepGyre(n);
    forEach(n, threads, [&](std::size_t v) {
        zonal[v] = seaLevelTemperature(s.latitude[v]);
        const float inland = 1.0f - std::exp(-coastKm[v] / CONTINENTAL_KM);
        // The land's departure from the open sea's mean, height included.
        t[v] = inland * CONTINENTAL_SPREAD * (zonal[v] - CONTINENTAL_PIVOT_C) - LAPSE_C_PER_KM * s.elevation[v] / 1000.0f;
        keep[v] = std::exp(-wind.hopKm[v] / (s.sea[v] ? AIR_MEMORY_OVER_SEA_KM : AIR_TAKES_LAND_KM));
        keepGyre[v] = s.sea[v] ? std::exp(-wind.hopKm[v] / AIR_TAKES_SEA_KM) : keep[v];
    });
    BigArray<float> air(n), offSea; // the air's departure from the open sea's mean, °C; the gyres' part of it
    // The two are carried side by side: neither needs the other.
    splitAcross(2, std::min(threads, 2), [&](std::size_t begin, std::size_t end) {
        for (std::size_t part = begin; part < end; ++part)
            if (part == 0)
                sweepAlongWind(wind, air, PASSES, [&](std::size_t v, float incoming) {
                    return s.sea[v] ? incoming * keep[v] : t[v] + (incoming - t[v]) * keep[v];
                });
            else
                offSea = airOffTheGyres(s, wind, keepGyre);
    });
    const BigArray<float> deeper = relativeDepth(s);
    for (std::size_t v = 0; v < n; ++v)
        t[v] = zonal[v] + (s.sea[v] ? SEA_TAKES_AIR * air[v] + deepWater(zonal[v], deeper[v]) + s.gyre[v]
                                    : t[v] + offSea[v]);
    return t;
}

// The large-scale rising (above 1) and sinking (below) of the air at a
// latitude, degrees: the rising air near the equator and near 55°, the
// sinking air near 30° and at the poles.
float lift(float latitude)
{
    const float a = std::fabs(latitude);
    const float equator = a / 13.0f, front = (a - 55.0f) / 13.0f;
    return 0.1f + 1.2f * std::exp(-equator * equator) + 1.8f * std::exp(-front * front);
}

// The humidity the sea brings its air to, a share of saturation, where the
// lift is rising: low where the air sinks.
float seaHumidity(float rising)
{
    return 0.45f + 0.45f * std::min(1.0f, rising);
}

// What the air does at each vertex, fixed by the land.
struct Exchange {
    BigArray<float> saturated; // moisture flux the air holds at saturation there
    BigArray<float> humid;     // sea: the flux the sea brings the air to
    BigArray<float> rainShare; // share of the incoming moisture that rains out there, 0 to 1
    BigArray<float> condensed; // share of the moisture beyond saturation that rains out there
    BigArray<float> renewal;   // sea: share of the deficit the sea fills; land: share of the rain given back
};

// rising: lift at the latitude; slope: m of rise per km along the wind.
float rainShare(float rising, float slope, float hopKm)
{
    float rate = RAIN_PER_KM * rising * (1.0f + UPLIFT_PER_SLOPE * std::max(0.0f, slope));
    if (slope < 0.0f)
        rate *= std::max(LEE_FLOOR, 1.0f + LEE_PER_SLOPE * slope);
    const float x = rate * hopKm;
    return x / (1.0f + x);
}

// How much of the rain's share still falls beside a sea the gyres make
// gyre °C warmer (only colder counts), km away: 1 far from cold seas.
float coldCoast(float gyre, float km)
{
    return 1.0f / (1.0f + COLD_DRYING_PER_C * std::max(0.0f, -gyre) * std::exp(-km / COLD_COAST_KM));
}

Exchange exchangeOf(const Surface& s, const WindField& wind, const BigArray<float>& t, const BigArray<float>& coastKm,
                    int threads)
{
    const std::size_t n = wind.size();
    Exchange e{BigArray<float>(n), BigArray<float>(n), BigArray<float>(n), BigArray<float>(n),
               BigArray<float>(n)};
    forEach(n, threads, [&](std::size_t v) {
        float upwindElevation = 0.0f;
        for (std::uint32_t k = wind.start[v]; k < wind.start[v + 1]; ++k)
            upwindElevation += wind.weight[k] * s.elevation[wind.from[k]];
        const float hop = wind.hopKm[v];
        const float rising = lift(s.latitude[v]);
        e.rainShare[v] = rainShare(rising, (s.elevation[v] - upwindElevation) / hop, hop) *
                         coldCoast(s.gyre[v], s.sea[v] ? 0.0f : coastKm[v]);
        e.condensed[v] = hop * std::min(1.0f, rising) / (hop + CONDENSATION_KM);
        e.saturated[v] = SATURATED_FLUX_AT_27C * std::exp(MOISTURE_PER_C * (t[v] - 27.0f));
        e.humid[v] = e.saturated[v] * seaHumidity(rising);
        e.renewal[v] = s.sea[v] ? 1.0f - std::exp(-hop / EVAPORATION_KM)
                                : RECYCLED_WHEN_WARM * std::clamp((t[v] + 5.0f) / 20.0f, 0.0f, 1.0f);
    });
    return e;
}

// The rain of the last pass of the moisture along the wind, mm a year.
BigArray<float> rainOf(const Surface& s, const WindField& wind, const Exchange& e)
{
    BigArray<float> moisture(wind.size()), rain(wind.size());
    std::copy(e.humid.begin(), e.humid.end(), moisture.begin());
    sweepAlongWind(wind, moisture, PASSES, [&](std::size_t v, float incoming) {
        const float excess = std::max(0.0f, incoming - e.saturated[v]) * e.condensed[v];
        const float fallen = excess + (incoming - excess) * e.rainShare[v];
        rain[v] = fallen / wind.hopKm[v];
        const float left = incoming - fallen;
        return s.sea[v] ? left + (e.humid[v] - left) * e.renewal[v] : left + fallen * e.renewal[v];
    });
    return rain;
}

} // namespace

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
                       const PhysicalScale& scale, int threads, const float* unit, StopRequest stop)
{
    if (weld.vertexCount() != neighbours.vertexCount())
        throw std::invalid_argument("computeClimate: the neighbours are not the weld's");
    const std::size_t n = neighbours.vertexCount();
    WindField wind;
    Surface s;
    BigArray<float> coastKm;
    {
        // By vertex only until the wind's order is known.
        Surface byVertex = surfaceOf(welded, unit, n, scale, threads);
        CoastSearch coast;
        // The search from the coast beside the wind's field: neither needs the other.
        splitAcross(2, std::min(threads, 2), [&](std::size_t begin, std::size_t end) {
            for (std::size_t part = begin; part < end; ++part)
                if (part == 0)
                    wind = windField(neighbours, byVertex.up.data(), byVertex.latitude.data(),
                                     float(scale.kmPerRadian()), threads);
                else
                    coast = coastSearch(neighbours, byVertex.sea);
        });
        if (stopRequested(stop))
            return {};
        byVertex.gyre = gyreAnomaly(byVertex.up.data(), byVertex.latitude.data(), byVertex.sea.data(), n,
                                    scale.kmPerRadian(), threads);
        extendGyreInland(byVertex.gyre, coast.nearest);
        coast.nearest = {};
        s = surfaceByPosition(byVertex, wind);
        coastKm = coastDistanceKm(coast.hops, wind);
    }
    if (stopRequested(stop))
        return {};
    const BigArray<float> t = temperatures(s, wind, coastKm, threads);
    if (stopRequested(stop))
        return {};
    const BigArray<float> rain = rainOf(s, wind, exchangeOf(s, wind, t, coastKm, threads));
    if (stopRequested(stop))
        return {};
    Climate c{std::vector<float>(n), std::vector<float>(n), std::vector<Biome>(n)};
    forEach(n, threads, [&](std::size_t i) {
        const std::uint32_t v = wind.order[i];
        c.temperature[v] = t[i];
        c.rain[v] = rain[i];
        c.biome[v] = classifyBiome(t[i], rain[i], s.sea[i]);
    });
    return c;
}
