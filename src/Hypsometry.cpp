#include "Hypsometry.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// Shares of Earth's whole surface, %, by band of height (the table's rows).
constexpr double LAND_PERCENT = 29.2;
constexpr double SEA_PERCENT = 70.5;

// The deepest point, m (the Challenger Deep).
constexpr double EARTH_DEEPEST_METRES = -10935.0;

// Picks, for each share of shares (increasing, each in (0, 1]), the
// nearest-rank height of heights[begin, end) into picked, by selecting
// around the middle share and doing each half within its own range.
void selectRanks(std::vector<double>& heights, std::size_t begin, std::size_t end, const std::vector<std::size_t>& ranks,
                 std::size_t first, std::size_t last, std::vector<double>& picked)
{
    if (first >= last)
        return;
    const std::size_t middle = first + (last - first) / 2;
    const std::size_t rank = ranks[middle];
    std::nth_element(heights.begin() + std::ptrdiff_t(begin), heights.begin() + std::ptrdiff_t(rank),
                     heights.begin() + std::ptrdiff_t(end));
    picked[middle] = heights[rank];
    selectRanks(heights, begin, rank, ranks, first, middle, picked);
    selectRanks(heights, rank + 1, end, ranks, middle + 1, last, picked);
}

// The knots of one side: heights (magnitudes above or below the shore, 0
// or more, in heights[0, count)) at Earth's shares of that side, with
// Earth's metres (magnitudes). Heights that repeat keep their
// last knot: a share of the floor at one depth goes down to the deepest
// metres that depth stands for; at the shore itself the shore's 0 m holds.
// No knot at all when every height is 0: the caller's fallback then holds.
void sideKnots(std::vector<double>& heights, std::size_t count, const std::vector<EarthShare>& earth,
               std::vector<double>& units, std::vector<double>& metres)
{
    if (count == 0)
        return;
    std::vector<std::size_t> ranks;
    for (const EarthShare& share : earth)
        if (share.below > 0.0)
            ranks.push_back(std::min(count - 1, std::size_t(share.below * double(count))));
    std::vector<double> picked(ranks.size());
    selectRanks(heights, 0, count, ranks, 0, ranks.size(), picked);
    std::size_t k = 0;
    for (const EarthShare& share : earth) {
        if (!(share.below > 0.0))
            continue;
        const double height = picked[k++], magnitude = std::fabs(share.metres);
        if (height <= (units.empty() ? 0.0 : units.back())) {
            if (!metres.empty())
                metres.back() = std::max(metres.back(), magnitude);
            continue;
        }
        units.push_back(height);
        metres.push_back(magnitude);
    }
}

} // namespace

const std::vector<EarthShare> EARTH_LAND = {
    {0.0, 0.0},
    {20.9 / LAND_PERCENT, 1000.0},
    {25.4 / LAND_PERCENT, 2000.0},
    {27.6 / LAND_PERCENT, 3000.0},
    {28.7 / LAND_PERCENT, 4000.0},
    {29.1 / LAND_PERCENT, 5000.0},
    {1.0, EARTH_HIGHEST_METRES},
};

// The shelf, to about -200 m, is 7 to 8 % of the ocean; the abyssal plains
// at -4 to -5 km its most common depth; trenches below -6 km under 2 %.
const std::vector<EarthShare> EARTH_SEA_FLOOR = {
    {0.0, 0.0},
    {0.075, -200.0},
    {8.5 / SEA_PERCENT, -1000.0},
    {11.5 / SEA_PERCENT, -2000.0},
    {16.3 / SEA_PERCENT, -3000.0},
    {30.1 / SEA_PERCENT, -4000.0},
    {53.4 / SEA_PERCENT, -5000.0},
    {69.3 / SEA_PERCENT, -6000.0},
    {70.4 / SEA_PERCENT, -7000.0},
    {1.0, EARTH_DEEPEST_METRES},
};

std::string_view hypsometryName(Hypsometry hypsometry)
{
    return hypsometry == Hypsometry::Linear ? "linear" : "earth";
}

std::optional<Hypsometry> hypsometryNamed(std::string_view name)
{
    if (name == "earth")
        return Hypsometry::Earth;
    if (name == "linear")
        return Hypsometry::Linear;
    return std::nullopt;
}

double HeightCurve::metresAt(double unitsAboveSea) const
{
    // The piece whose upper knot is the first above the height, within the ends.
    const auto above = std::upper_bound(units.begin() + 1, units.end() - 1, unitsAboveSea);
    const std::size_t k = std::size_t(above - units.begin());
    const double t = (unitsAboveSea - units[k - 1]) / (units[k] - units[k - 1]);
    return metres[k - 1] + t * (metres[k] - metres[k - 1]);
}

HeightCurve fitEarthCurve(std::vector<double> heights, double fallbackUnits)
{
    // Land first, as magnitudes above the shore; then the sea floor's depths.
    heights.erase(std::remove_if(heights.begin(), heights.end(), [](double h) { return !std::isfinite(h); }),
                  heights.end());
    const auto seaBegin = std::partition(heights.begin(), heights.end(), [](double h) { return h > 0.0; });
    const std::size_t landCount = std::size_t(seaBegin - heights.begin());
    // The sea at the shore itself counts in the sea floor's shares.
    std::vector<double> depths;
    depths.reserve(heights.size() - landCount);
    for (auto h = seaBegin; h != heights.end(); ++h)
        depths.push_back(-*h);

    HeightCurve sea, land;
    sideKnots(depths, depths.size(), EARTH_SEA_FLOOR, sea.units, sea.metres);
    if (sea.units.empty())
        sea = {{fallbackUnits}, {EARTH_HIGHEST_METRES}};
    sideKnots(heights, landCount, EARTH_LAND, land.units, land.metres);
    if (land.units.empty())
        land = {{fallbackUnits}, {EARTH_HIGHEST_METRES}};

    HeightCurve curve;
    for (std::size_t k = sea.units.size(); k-- > 0;) {
        curve.units.push_back(-sea.units[k]);
        curve.metres.push_back(-sea.metres[k]);
    }
    curve.units.push_back(0.0);
    curve.metres.push_back(0.0);
    curve.units.insert(curve.units.end(), land.units.begin(), land.units.end());
    curve.metres.insert(curve.metres.end(), land.metres.begin(), land.metres.end());
    return curve;
}
