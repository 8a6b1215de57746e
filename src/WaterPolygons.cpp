#include "WaterPolygons.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// The map's edge, walked counter-clockwise from its bottom-left corner, as
// one number (degrees along it): the bottom edge 0 to 360, the right edge
// (longitude 180) 360 to 540, the top 540 to 900, the left (-180) 900 to 1080.
constexpr double EDGE_LENGTH = 1080.0;
constexpr double CORNER_AT[4] = {0.0, 360.0, 540.0, 900.0};
constexpr MapPoint CORNERS[4] = {{-180.0, -90.0}, {180.0, -90.0}, {180.0, 90.0}, {-180.0, 90.0}};

double rounded(double degrees)
{
    return std::round(degrees * MAP_STEPS_PER_DEGREE) / MAP_STEPS_PER_DEGREE;
}

// Where on the map's edge a point of its left or right side lies.
double alongEdge(const MapPoint& p)
{
    return p[0] > 0.0 ? 450.0 + p[1] : 990.0 - p[1];
}

void append(MapRing& ring, const MapPoint& p)
{
    if (ring.empty() || ring.back() != p)
        ring.push_back(p);
}

// The ring's points on the map, rounded, none repeated in a row, not closed.
MapRing mapPoints(const Outline& outline)
{
    MapRing ring;
    for (std::size_t i = 0; i + 1 < outline.points.size(); ++i) {
        const auto [lon, lat] = longitudeLatitude(outline.points[i]);
        append(ring, {rounded(lon), rounded(lat)});
    }
    while (ring.size() > 1 && ring.front() == ring.back())
        ring.pop_back();
    return ring;
}

// The latitude where the step from a to b crosses the antimeridian, and the
// side of the map (1 right, -1 left) a lies on.
std::pair<double, double> antimeridianCrossing(const MapPoint& a, const MapPoint& b)
{
    const double side = a[0] > 0.0 ? 1.0 : -1.0;
    const double bLon = b[0] + 360.0 * side;
    const double t = (180.0 * side - a[0]) / (bLon - a[0]);
    return {rounded(a[1] + t * (b[1] - a[1])), side};
}

// Cuts ring where it crosses the antimeridian into chains, each from the map's
// edge to its edge; a ring that never crosses it is closed and kept whole.
void cutRing(const MapRing& ring, std::vector<MapRing>& whole, std::vector<MapRing>& chains)
{
    const std::size_t n = ring.size();
    std::vector<std::size_t> cuts; // steps from point i to i + 1 that cross
    for (std::size_t i = 0; i < n; ++i)
        if (std::abs(ring[(i + 1) % n][0] - ring[i][0]) > 180.0)
            cuts.push_back(i);
    if (cuts.empty()) {
        whole.push_back(ring);
        whole.back().push_back(ring.front());
        return;
    }
    for (std::size_t c = 0; c < cuts.size(); ++c) {
        const std::size_t start = cuts[c], end = cuts[(c + 1) % cuts.size()];
        const auto [entryLat, entrySide] = antimeridianCrossing(ring[start], ring[(start + 1) % n]);
        const auto [exitLat, exitSide] = antimeridianCrossing(ring[end], ring[(end + 1) % n]);
        MapRing chain{{-180.0 * entrySide, entryLat}};
        const std::size_t count = (end + n - start - 1) % n + 1;
        for (std::size_t k = 1; k <= count; ++k)
            append(chain, ring[(start + k) % n]);
        append(chain, {180.0 * exitSide, exitLat});
        if (chain.size() > 1) // one point: the ring only touches the antimeridian there
            chains.push_back(std::move(chain));
    }
}

// The corners met going counter-clockwise along the map's edge from `from`
// to `to` (both on its sides), added to ring.
void walkEdge(double from, double to, MapRing& ring)
{
    const double end = to >= from ? to : to + EDGE_LENGTH;
    for (int lap = 0; lap < 2; ++lap)
        for (int k = 0; k < 4; ++k) {
            const double at = CORNER_AT[k] + lap * EDGE_LENGTH;
            if (at > from && at < end)
                append(ring, CORNERS[k]);
        }
}

// The chain whose first point comes next from `from` on, counter-clockwise
// along the map's edge.
std::size_t nextChain(const std::vector<MapRing>& chains, double from)
{
    std::size_t best = 0;
    double bestGap = EDGE_LENGTH * 2;
    for (std::size_t c = 0; c < chains.size(); ++c) {
        double gap = alongEdge(chains[c].front()) - from;
        if (gap < 0.0)
            gap += EDGE_LENGTH;
        if (gap < bestGap)
            bestGap = gap, best = c;
    }
    return best;
}

// Joins the chains, with the map's edge between them, into closed rings:
// leaving the map at a chain's end, the region lies counter-clockwise along
// the edge up to the next chain's start.
void joinChains(const std::vector<MapRing>& chains, std::vector<MapRing>& rings)
{
    std::vector<std::uint8_t> used(chains.size(), 0);
    for (std::size_t first = 0; first < chains.size(); ++first) {
        if (used[first])
            continue;
        MapRing ring;
        for (std::size_t at = first; !used[at];) {
            used[at] = 1;
            for (const MapPoint& p : chains[at])
                append(ring, p);
            const double leaving = alongEdge(chains[at].back());
            at = nextChain(chains, leaving);
            walkEdge(leaving, alongEdge(chains[at].front()), ring);
        }
        append(ring, ring.front());
        rings.push_back(std::move(ring));
    }
}

struct Box {
    double west = HUGE_VAL, south = HUGE_VAL, east = -HUGE_VAL, north = -HUGE_VAL;
    explicit Box(const MapRing& ring)
    {
        for (const MapPoint& p : ring) {
            west = std::min(west, p[0]), east = std::max(east, p[0]);
            south = std::min(south, p[1]), north = std::max(north, p[1]);
        }
    }
    bool holds(const MapPoint& p) const { return p[0] >= west && p[0] <= east && p[1] >= south && p[1] <= north; }
};

// Each hole into the smallest exterior that holds it.
void placeHoles(std::vector<MapRing>& holes, std::vector<MapPolygon>& polygons, std::size_t first)
{
    std::vector<Box> boxes;
    std::vector<double> areas;
    for (std::size_t p = first; p < polygons.size(); ++p) {
        boxes.emplace_back(polygons[p].exterior);
        areas.push_back(signedArea(polygons[p].exterior));
    }
    for (MapRing& hole : holes) {
        std::size_t best = polygons.size();
        for (std::size_t p = first; p < polygons.size(); ++p)
            if (boxes[p - first].holds(hole.front()) && insideRing(polygons[p].exterior, hole.front()) &&
                (best == polygons.size() || areas[p - first] < areas[best - first]))
                best = p;
        if (best < polygons.size())
            polygons[best].holes.push_back(std::move(hole));
    }
}

// The polygons of one region's rings [first, last).
void regionPolygons(const std::vector<Outline>& rings, std::size_t first, std::size_t last,
                    std::vector<MapPolygon>& polygons)
{
    std::vector<MapRing> whole, chains;
    for (std::size_t r = first; r < last; ++r) {
        const MapRing ring = mapPoints(rings[r]);
        if (ring.size() >= 3)
            cutRing(ring, whole, chains);
    }
    joinChains(chains, whole);
    double total = 0.0;
    for (const MapRing& ring : whole)
        total += signedArea(ring);
    const std::size_t own = polygons.size();
    if (total < 0.0) // clockwise rings only: holes in a region that holds the antimeridian and both poles
        polygons.push_back(wholeMap(rings[first].region));
    std::vector<MapRing> holes;
    for (MapRing& ring : whole) {
        if (signedArea(ring) < 0.0)
            holes.push_back(std::move(ring));
        else
            polygons.push_back({rings[first].region, std::move(ring), {}});
    }
    placeHoles(holes, polygons, own);
}

} // namespace

std::vector<MapPolygon> mapPolygons(const std::vector<Outline>& rings)
{
    std::vector<MapPolygon> polygons;
    for (std::size_t first = 0; first < rings.size();) {
        std::size_t last = first;
        while (last < rings.size() && rings[last].region == rings[first].region)
            ++last;
        regionPolygons(rings, first, last, polygons);
        first = last;
    }
    return polygons;
}

std::vector<std::vector<MapPoint>> mapLine(const std::vector<std::array<double, 3>>& directions)
{
    std::vector<std::vector<MapPoint>> parts(1);
    for (const auto& d : directions) {
        const auto [lon, lat] = longitudeLatitude(d);
        const MapPoint p{rounded(lon), rounded(lat)};
        std::vector<MapPoint>& part = parts.back();
        if (!part.empty() && std::abs(p[0] - part.back()[0]) > 180.0) {
            const auto [lat0, side] = antimeridianCrossing(part.back(), p);
            append(part, {180.0 * side, lat0});
            parts.push_back({{-180.0 * side, lat0}});
        }
        append(parts.back(), p);
    }
    // A part of one point: the line only touches the antimeridian there.
    std::erase_if(parts, [](const std::vector<MapPoint>& part) { return part.size() < 2; });
    return parts;
}

MapPolygon wholeMap(std::uint32_t region)
{
    MapPolygon polygon{region, {CORNERS[0], CORNERS[1], CORNERS[2], CORNERS[3], CORNERS[0]}, {}};
    return polygon;
}

double signedArea(const MapRing& ring)
{
    double twice = 0.0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i)
        twice += ring[i][0] * ring[i + 1][1] - ring[i + 1][0] * ring[i][1];
    return twice;
}

bool insideRing(const MapRing& ring, const MapPoint& point)
{
    bool inside = false;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
        const MapPoint& a = ring[i];
        const MapPoint& b = ring[i + 1];
        if ((a[1] > point[1]) != (b[1] > point[1]) &&
            point[0] < a[0] + (point[1] - a[1]) * (b[0] - a[0]) / (b[1] - a[1]))
            inside = !inside;
    }
    return inside;
}

bool insidePolygon(const MapPolygon& polygon, const MapPoint& point)
{
    if (!insideRing(polygon.exterior, point))
        return false;
    return std::none_of(polygon.holes.begin(), polygon.holes.end(),
                        [&](const MapRing& hole) { return insideRing(hole, point); });
}

double sphericalArea(const MapPolygon& polygon)
{
    // Green's theorem: the area of cos(latitude) over the polygon is the sum
    // over its edges of -sin(latitude) d(longitude), exact for edges straight
    // on the map.
    const double radians = std::numbers::pi / 180.0;
    double area = 0.0;
    const auto addRing = [&](const MapRing& ring) {
        for (std::size_t i = 0; i + 1 < ring.size(); ++i) {
            const double dLon = (ring[i + 1][0] - ring[i][0]) * radians;
            const double a = ring[i][1] * radians, b = ring[i + 1][1] * radians;
            area -= std::abs(b - a) < 1e-12 ? dLon * std::sin(0.5 * (a + b))
                                            : dLon * (std::cos(a) - std::cos(b)) / (b - a);
        }
    };
    addRing(polygon.exterior);
    for (const MapRing& hole : polygon.holes)
        addRing(hole);
    return area;
}
