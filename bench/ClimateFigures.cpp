// The climate's figures over many planets: rain by latitude band, windward
// against lee rain on high land, the biome classes, where the hot deserts and
// the tropical rainforests lie, how far the sea-ice edge wanders around each
// pole, and how much drier the coasts beside the gyres' cold currents are
// than those beside their warm ones; then every figure beside Earth's, with
// its source. Each planet: 5000 planes, the sea where --land 30 puts it, the
// default physical scale (Earth's hypsometric curve).
//
//   orbivane_climate_figures [SEEDS [SUBDIVISIONS [HYPSOMETRY]]]   (default 20 seeds, 7, earth)

#include "BenchSupport.h"
#include "Climate.h"
#include "CommandLine.h"
#include "LandNormals.h"
#include "LandSnapshot.h"
#include "PlanetClimate.h"
#include "OceanGyres.h"
#include "PlanetShaping.h"
#include "SeaLevel.h"
#include "VertexNeighbours.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <set>
#include <utility>

namespace {

constexpr double DEGREES = 180.0 / 3.14159265358979323846;

struct Globe {
    std::vector<double> area;     // each vertex's share of the surface: a third of its faces' areas on the unit sphere
    std::vector<double> latitude; // degrees
    std::vector<double> longitude;
    std::vector<std::array<double, 3>> up;
};

Globe globeOf(const IcosphereWeld& weld, const std::vector<float>& welded)
{
    const std::size_t n = weld.vertexCount();
    Globe g{std::vector<double>(n, 0.0), std::vector<double>(n), std::vector<double>(n), std::vector<std::array<double, 3>>(n)};
    for (std::size_t v = 0; v < n; ++v) {
        const double x = welded[3 * v], y = welded[3 * v + 1], z = welded[3 * v + 2], r = std::sqrt(x * x + y * y + z * z);
        g.up[v] = {x / r, y / r, z / r};
        g.latitude[v] = std::asin(std::clamp(y / r, -1.0, 1.0)) * DEGREES;
        g.longitude[v] = std::atan2(-z, x) * DEGREES;
    }
    for (std::size_t t = 0; t < weld.faceCount(); ++t) {
        const auto &a = g.up[weld.cornerToVertex[3 * t]], &b = g.up[weld.cornerToVertex[3 * t + 1]],
                   &c = g.up[weld.cornerToVertex[3 * t + 2]];
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double area = 0.5 * std::hypot(u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]);
        for (int k = 0; k < 3; ++k)
            g.area[weld.cornerToVertex[3 * t + k]] += area / 3.0;
    }
    return g;
}

// Rise of the land along the wind at v, metres: downwind neighbours' mean elevation less upwind ones'.
double riseAlongWind(const VertexNeighbours& nb, const Globe& g, const std::vector<double>& elevation, std::size_t v)
{
    const auto& u = g.up[v];
    double east[3] = {u[2], 0.0, -u[0]};
    const double length = std::hypot(east[0], east[2]);
    east[0] /= length, east[2] /= length;
    const double north[3] = {u[1] * east[2], u[2] * east[0] - u[0] * east[2], -u[1] * east[0]};
    const Wind wind = prevailingWind(float(g.latitude[v]));
    double down = 0, downWeight = 0, up = 0, upWeight = 0;
    for (const std::uint32_t* j = nb.begin(v); j != nb.end(v); ++j) {
        const auto& p = g.up[*j];
        double along = 0;
        for (int k = 0; k < 3; ++k)
            along += (p[k] - u[k]) * (wind.east * east[k] + wind.north * north[k]);
        (along > 0 ? down : up) += std::fabs(along) * elevation[*j];
        (along > 0 ? downWeight : upWeight) += std::fabs(along);
    }
    return down / downWeight - up / upWeight;
}

struct Sums {
    double rain = 0, area = 0;
    void add(double r, double a) { rain += r * a, area += a; }
    double mean() const { return area > 0 ? rain / area : 0; }
};

// Values with their areas, for an area-weighted median.
struct Weighted {
    std::vector<std::pair<double, double>> values; // value, area
    void add(double value, double area) { values.emplace_back(value, area); }
    double median() const
    {
        std::vector<std::pair<double, double>> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        double total = 0, run = 0;
        for (const auto& [value, area] : sorted)
            total += area;
        for (const auto& [value, area] : sorted)
            if ((run += area) >= 0.5 * total)
                return value;
        return 0;
    }
};

// Kilometre bands of the sea floor, from 0 to 12 km deep and beyond.
constexpr int DEPTH_BANDS = 13;

struct PlanetFigures {
    Sums equator, subtropics, midLatitudes, windward, lee;
    Sums landRain, equatorWarmth, landHeight;
    double above2000 = 0, above4000 = 0, landArea = 0, seaArea = 0, below6000 = 0, deepest = 0;
    double depthBand[DEPTH_BANDS] = {};
    Weighted tundraLatitude, borealLatitude;
    Sums desertLatitude, rainforestLatitude;
    double rainforestArea = 0, rainforestNearEquator = 0;
    int landClasses = 0;
    double classArea[std::size_t(Biome::Count)] = {};
    double iceEdgeSpread[2] = {0, 0}; // degrees: north, south
    double landAt50To70[2] = {0, 0};  // share of the surface from 50° to 70° that is land: north, south
    Sums coldCoasts, warmCoasts;      // land within COAST_KM of the sea at 15-35°, by its nearest sea's gyre anomaly
};

// Around one pole (sign 1 north, -1 south): per 10° of longitude, the 1°
// band farthest from the pole whose sea is at least half sea ice (the land's
// own ice not counted); the spread of those latitudes over the sectors with
// sea ice. A sector whose sea lies only far from the pole, beyond land, so
// does not count as an edge.
double iceEdgeSpread(const Globe& g, const Climate& c, int sign)
{
    std::vector<double> ice(36 * 90, 0.0), sea(36 * 90, 0.0);
    for (std::size_t v = 0; v < g.area.size(); ++v) {
        const double fromPole = 90.0 - sign * g.latitude[v];
        if (fromPole >= 90.0 || (c.biome[v] != Biome::Ocean && c.biome[v] != Biome::SeaIce))
            continue;
        const std::size_t cell = std::min(35, int((g.longitude[v] + 180.0) / 10.0)) * 90 + int(fromPole);
        sea[cell] += g.area[v];
        ice[cell] += c.biome[v] == Biome::SeaIce ? g.area[v] : 0.0;
    }
    double lowest = 90, highest = 0;
    for (int sector = 0; sector < 36; ++sector) {
        int band = 89;
        while (band >= 0 && (sea[sector * 90 + band] == 0 || ice[sector * 90 + band] < 0.5 * sea[sector * 90 + band]))
            --band;
        if (band >= 0)
            lowest = std::min(lowest, 89.0 - band), highest = std::max(highest, 89.0 - band);
    }
    return std::max(0.0, highest - lowest);
}

// Land with a sea at most COAST_KM away counts as coast; a sea GYRE_C
// warmer or colder than the zonal mean as beside a warm or cold current.
constexpr double COAST_KM = 500.0, GYRE_C = 1.0, EARTH_KM = 6371.0;

// Rain on the coasts from 15° to 35°, by whether the nearest sea vertex
// (breadth-first over the neighbours, km in edges of mean length) has a warm
// or a cold current.
void coastRain(const VertexNeighbours& nb, const Globe& g, const Climate& c, const std::vector<float>& welded,
               double seaRadius, PlanetFigures& f)
{
    const std::size_t n = g.area.size();
    std::vector<std::uint8_t> sea(n);
    std::vector<float> up(3 * n), latitude(n);
    double edges = 0, length = 0;
    for (std::size_t v = 0; v < n; ++v) {
        sea[v] = !aboveSea(welded.data() + 3 * v, nullptr, seaRadius);
        for (int k = 0; k < 3; ++k)
            up[3 * v + k] = float(g.up[v][k]);
        latitude[v] = float(g.latitude[v]);
        for (const std::uint32_t* j = nb.begin(v); j != nb.end(v); ++j)
            length += std::hypot(g.up[*j][0] - g.up[v][0], g.up[*j][1] - g.up[v][1], g.up[*j][2] - g.up[v][2]), ++edges;
    }
    const BigArray<float> gyre = gyreAnomaly(up.data(), latitude.data(), sea.data(), n, EARTH_KM, 1);
    const double edgeKm = EARTH_KM * length / edges;
    std::vector<std::uint32_t> nearest(n, UINT32_MAX), hops(n, 0), queue;
    for (std::size_t v = 0; v < n; ++v)
        if (sea[v])
            nearest[v] = std::uint32_t(v), queue.push_back(std::uint32_t(v));
    for (std::size_t head = 0; head < queue.size(); ++head)
        for (const std::uint32_t* j = nb.begin(queue[head]); j != nb.end(queue[head]); ++j)
            if (nearest[*j] == UINT32_MAX)
                nearest[*j] = nearest[queue[head]], hops[*j] = hops[queue[head]] + 1, queue.push_back(*j);
    for (std::size_t v = 0; v < n; ++v) {
        const double lat = std::fabs(g.latitude[v]);
        if (sea[v] || nearest[v] == UINT32_MAX || lat < 15 || lat >= 35 || hops[v] * edgeKm > COAST_KM)
            continue;
        if (gyre[nearest[v]] <= -GYRE_C)
            f.coldCoasts.add(c.rain[v], g.area[v]);
        else if (gyre[nearest[v]] >= GYRE_C)
            f.warmCoasts.add(c.rain[v], g.area[v]);
    }
}

// A seeded planet's land, as the program makes it with --land 30, and its climate.
struct SeededClimate {
    std::unique_ptr<Planet> planet;
    std::vector<float> welded;
    VertexNeighbours nb;
    PhysicalScale scale;
    Climate climate;
    std::vector<double> elevation; // metres above the sea, 0 over it
    std::vector<double> metres;    // metres above the sea, negative below it
};

SeededClimate seededClimate(std::uint32_t seed, int subdivisions, Hypsometry hypsometry)
{
    SeededClimate s{quietPlanet(seed, subdivisions, 5000), {}, {}, {}, {}, {}, {}};
    Options options;
    options.landPercent = 30.0;
    options.hypsometry = hypsometry;
    {
        QuietStdout quiet;
        settleShape(*s.planet, options);
    }
    gatherWelded(s.planet->weld, s.planet->vertices.data(), s.welded);
    s.nb = vertexNeighbours(s.planet->weld);
    s.scale = physicalScaleOf(*s.planet, LandSnapshot(*s.planet));
    s.climate = computeClimate(s.planet->weld, s.nb, s.welded.data(), s.scale);
    for (std::size_t v = 0; v < s.welded.size() / 3; ++v) {
        const double x = s.welded[3 * v], y = s.welded[3 * v + 1], z = s.welded[3 * v + 2];
        s.metres.push_back(s.scale.elevationMetres(std::sqrt(x * x + y * y + z * z)));
        s.elevation.push_back(std::max(0.0, s.metres.back()));
    }
    return s;
}

PlanetFigures figuresOf(std::uint32_t seed, int subdivisions, Hypsometry hypsometry)
{
    const SeededClimate s = seededClimate(seed, subdivisions, hypsometry);
    const Climate& c = s.climate;
    const Globe g = globeOf(s.planet->weld, s.welded);
    PlanetFigures f;
    std::set<Biome> classes;
    for (std::size_t v = 0; v < g.area.size(); ++v) {
        const double a = g.area[v], lat = std::fabs(g.latitude[v]);
        f.classArea[std::size_t(c.biome[v])] += a;
        if (c.biome[v] == Biome::Ocean || c.biome[v] == Biome::SeaIce) {
            const double depth = -s.metres[v];
            f.seaArea += a;
            f.depthBand[std::clamp(int(depth / 1000.0), 0, DEPTH_BANDS - 1)] += a;
            f.below6000 += depth > 6000.0 ? a : 0.0;
            f.deepest = std::max(f.deepest, depth);
            continue;
        }
        classes.insert(c.biome[v]);
        f.landArea += a;
        f.landRain.add(c.rain[v], a);
        f.landHeight.add(s.metres[v], a);
        f.above2000 += s.metres[v] > 2000.0 ? a : 0.0;
        f.above4000 += s.metres[v] > 4000.0 ? a : 0.0;
        if (lat < 10)
            f.equatorWarmth.add(c.temperature[v], a);
        if (c.biome[v] == Biome::Tundra)
            f.tundraLatitude.add(lat, a);
        if (c.biome[v] == Biome::BorealForest)
            f.borealLatitude.add(lat, a);
        if (lat < 10)
            f.equator.add(c.rain[v], a);
        else if (lat >= 20 && lat < 30)
            f.subtropics.add(c.rain[v], a);
        else if (lat >= 45 && lat < 60)
            f.midLatitudes.add(c.rain[v], a);
        if (s.elevation[v] > 1000.0) {
            const double rise = riseAlongWind(s.nb, g, s.elevation, v);
            if (rise > 0)
                f.windward.add(c.rain[v], a);
            else if (rise < 0)
                f.lee.add(c.rain[v], a);
        }
        if (c.biome[v] == Biome::HotDesert)
            f.desertLatitude.add(lat, a);
        if (c.biome[v] == Biome::TropicalRainforest) {
            f.rainforestLatitude.add(lat, a);
            f.rainforestArea += a;
            f.rainforestNearEquator += lat <= 15 ? a : 0;
        }
    }
    f.landClasses = int(classes.size());
    f.iceEdgeSpread[0] = iceEdgeSpread(g, c, 1);
    f.iceEdgeSpread[1] = iceEdgeSpread(g, c, -1);
    Sums land[2];
    for (std::size_t v = 0; v < g.area.size(); ++v)
        if (std::fabs(g.latitude[v]) >= 50 && std::fabs(g.latitude[v]) < 70)
            land[g.latitude[v] < 0].add(c.biome[v] != Biome::Ocean && c.biome[v] != Biome::SeaIce, g.area[v]);
    f.landAt50To70[0] = land[0].mean(), f.landAt50To70[1] = land[1].mean();
    coastRain(s.nb, g, c, s.welded, s.scale.seaRadius, f);
    return f;
}

double share(const PlanetFigures& all, std::initializer_list<Biome> biomes)
{
    double area = 0;
    for (const Biome b : biomes)
        area += all.classArea[std::size_t(b)];
    return 100.0 * area / all.landArea;
}

// Every figure beside the range asked of the planets and Earth's value, with
// the source of Earth's.
void printEarth(const PlanetFigures& all, int seeds)
{
    int mode = 0;
    for (int band = 1; band < DEPTH_BANDS; ++band)
        mode = all.depthBand[band] > all.depthBand[mode] ? band : mode;
    std::printf("\nBeside Earth (%d planets, area-weighted; land unless said):\n", seeds);
    std::printf("  %-40s %10s  %-14s %-16s %s\n", "figure", "planets", "asked", "Earth", "source");
    const auto row = [](const char* figure, double value, const char* asked, const char* earth, const char* source) {
        std::printf("  %-40s %10.1f  %-14s %-16s %s\n", figure, value, asked, earth, source);
    };
    const char* etopo = "ETOPO1 (Amante and Eakins 2009)";
    const char* olson = "Olson et al. 2001; FAO";
    row("mean rain, mm a year", all.landRain.mean(), "600 to 1000", "750 to 800", "GPCP climatology");
    row("within 10 deg of the equator, deg C", all.equatorWarmth.mean(), "22 to 28", "24 to 27", "facts: equatorial land");
    row("rain 20-30 deg / 0-10 deg", all.subtropics.mean() / all.equator.mean(), "at most 0.6", "about 0.3", "GPCP");
    row("rain 45-60 deg / 20-30 deg", all.midLatitudes.mean() / all.subtropics.mean(), "at least 1.3", "about 2", "GPCP");
    row("rain above 1000 m, windward / lee", all.windward.mean() / all.lee.mean(), "at least 1.5", "2 to 4", "rain shadows");
    row("deserts (hot and cold), %", share(all, {Biome::HotDesert, Biome::ColdDesert}), "15 to 30", "about 19", olson);
    row("forests, %",
        share(all, {Biome::BorealForest, Biome::TemperateForest, Biome::TemperateRainforest,
                    Biome::TropicalSeasonalForest, Biome::TropicalRainforest}),
        "25 to 45", "about 30", olson);
    row("grassland, savanna, shrubland, %", share(all, {Biome::TemperateGrassland, Biome::Savanna, Biome::Shrubland}),
        "15 to 35", "25 to 30", olson);
    row("tundra, %", share(all, {Biome::Tundra}), "3 to 12", "6 to 8", olson);
    row("ice, %", share(all, {Biome::Ice}), "at most 15", "about 10", "Antarctica, Greenland");
    row("tundra's median latitude, deg", all.tundraLatitude.median(), "55 to 75", "60 to 75", olson);
    row("boreal forest's median latitude, deg", all.borealLatitude.median(), "45 to 65", "50 to 65", olson);
    row("above 2000 m, %", 100.0 * all.above2000 / all.landArea, "5 to 20", "about 10", etopo);
    row("above 4000 m, %", 100.0 * all.above4000 / all.landArea, "at most 4", "2 to 3", etopo);
    row("mean height, m", all.landHeight.mean(), "", "about 840", etopo);
    row("sea floor's most common depth, km", -(mode + 0.5), "-3 to -6", "-4 to -5", "Sverdrup et al. 1942; ETOPO1");
    row("sea deeper than 6 km, % of the sea", 100.0 * all.below6000 / all.seaArea, "", "1 to 2", etopo);
    row("deepest sea of all planets, km", -all.deepest / 1000.0, "above -12", "-10.9", "Challenger Deep");
}

void accumulate(PlanetFigures& all, const PlanetFigures& f)
{
    for (auto [to, from] : {std::pair{&all.equator, &f.equator}, {&all.subtropics, &f.subtropics},
                            {&all.midLatitudes, &f.midLatitudes}, {&all.windward, &f.windward}, {&all.lee, &f.lee},
                            {&all.desertLatitude, &f.desertLatitude}, {&all.rainforestLatitude, &f.rainforestLatitude},
                            {&all.landRain, &f.landRain}, {&all.equatorWarmth, &f.equatorWarmth},
                            {&all.landHeight, &f.landHeight}, {&all.coldCoasts, &f.coldCoasts},
                            {&all.warmCoasts, &f.warmCoasts}})
        to->rain += from->rain, to->area += from->area;
    for (std::size_t b = 0; b < std::size_t(Biome::Count); ++b)
        all.classArea[b] += f.classArea[b];
    for (int band = 0; band < DEPTH_BANDS; ++band)
        all.depthBand[band] += f.depthBand[band];
    all.rainforestArea += f.rainforestArea, all.rainforestNearEquator += f.rainforestNearEquator;
    all.above2000 += f.above2000, all.above4000 += f.above4000, all.landArea += f.landArea;
    all.seaArea += f.seaArea, all.below6000 += f.below6000, all.deepest = std::max(all.deepest, f.deepest);
    for (auto [to, from] : {std::pair{&all.tundraLatitude, &f.tundraLatitude}, {&all.borealLatitude, &f.borealLatitude}})
        to->values.insert(to->values.end(), from->values.begin(), from->values.end());
}

// A pole has land from 50° to 70° when at least this share of that band is land.
constexpr double LAND_AT_50_TO_70 = 0.05;

void printSummary(const PlanetFigures& all, int seeds, int manyClasses, double leastIceSpread)
{
    std::printf("\nAll %d planets, area-weighted over the land:\n", seeds);
    std::printf("  rain 20-30° / rain within 10° of the equator  %.2f  (at most 0.6)\n", all.subtropics.mean() / all.equator.mean());
    std::printf("  rain 45-60° / rain 20-30°                     %.2f  (at least 1.3)\n", all.midLatitudes.mean() / all.subtropics.mean());
    std::printf("  rain above 1000 m, windward / lee             %.2f  (at least 1.5)\n", all.windward.mean() / all.lee.mean());
    std::printf("  planets with at least 9 land classes          %d of %d  (at least 15 of 20)\n", manyClasses, seeds);
    std::printf("  hot desert's mean latitude                    %.1f°  (15° to 35°)\n", all.desertLatitude.mean());
    std::printf("  tropical rainforest's mean latitude           %.1f°  (within 15°); %.1f%% of it within 15°\n",
                all.rainforestLatitude.mean(), 100.0 * all.rainforestNearEquator / all.rainforestArea);
    std::printf("  least spread of the sea-ice edge around a pole\n"
                "    with land from 50° to 70° (land%% N, S >= %.0f)  %.1f°  (at least 6°)\n",
                100.0 * LAND_AT_50_TO_70, leastIceSpread);
    std::printf("  rain on coasts (land within %.0f km of the sea) at 15-35°,\n"
                "    nearest sea colder / warmer by the gyres      %.0f / %.0f mm = %.2f  (at most 0.7)\n",
                COAST_KM, all.coldCoasts.mean(), all.warmCoasts.mean(), all.coldCoasts.mean() / all.warmCoasts.mean());
    double land = 0, surface = 0;
    for (std::size_t b = 0; b < std::size_t(Biome::Count); ++b)
        surface += all.classArea[b], land += b == std::size_t(Biome::Ocean) || b == std::size_t(Biome::SeaIce) ? 0 : all.classArea[b];
    std::printf("\nShares of the surface (sea classes) and of the land (the others):\n");
    for (std::size_t b = 0; b < std::size_t(Biome::Count); ++b) {
        const bool sea = b == std::size_t(Biome::Ocean) || b == std::size_t(Biome::SeaIce);
        std::printf("  %-26s %5.1f%%\n", BIOME_CLASSES[b].name, 100.0 * all.classArea[b] / (sea ? surface : land));
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int seeds = argc > 1 ? std::atoi(argv[1]) : 20;
    const int subdivisions = argc > 2 ? std::atoi(argv[2]) : 7;
    const std::optional<Hypsometry> hypsometry = hypsometryNamed(argc > 3 ? argv[3] : "earth");
    if (!hypsometry) {
        std::fprintf(stderr, "HYPSOMETRY is earth or linear\n");
        return 2;
    }
    std::printf("seed  rain<10°  20-30°  45-60°  20-30/eq  45-60/20-30  windward  lee  ratio  classes  desert°  forest°  ice N°  ice S°  land%%N  land%%S  cold mm  warm mm\n");
    PlanetFigures all;
    int manyClasses = 0;
    double leastIceSpread = 90;
    for (int seed = 1; seed <= seeds; ++seed) {
        const PlanetFigures f = figuresOf(std::uint32_t(seed), subdivisions, *hypsometry);
        std::printf("%4d  %8.0f  %6.0f  %6.0f  %8.2f  %11.2f  %8.0f  %3.0f  %5.2f  %7d  %7.1f  %7.1f  %6.1f  %6.1f  %6.0f  %6.0f  %7.0f  %7.0f\n", seed,
                    f.equator.mean(), f.subtropics.mean(), f.midLatitudes.mean(), f.subtropics.mean() / f.equator.mean(),
                    f.midLatitudes.mean() / f.subtropics.mean(), f.windward.mean(), f.lee.mean(),
                    f.windward.mean() / f.lee.mean(), f.landClasses, f.desertLatitude.mean(), f.rainforestLatitude.mean(),
                    f.iceEdgeSpread[0], f.iceEdgeSpread[1], 100.0 * f.landAt50To70[0], 100.0 * f.landAt50To70[1],
                    f.coldCoasts.mean(), f.warmCoasts.mean());
        accumulate(all, f);
        manyClasses += f.landClasses >= 9;
        for (int pole = 0; pole < 2; ++pole)
            if (f.landAt50To70[pole] >= LAND_AT_50_TO_70)
                leastIceSpread = std::min(leastIceSpread, f.iceEdgeSpread[pole]);
    }
    printSummary(all, seeds, manyClasses, leastIceSpread);
    printEarth(all, seeds);
}
