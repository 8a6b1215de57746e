#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// How a planet's heights become metres (--hypsometry).
enum class Hypsometry {
    Earth,  // the land and the sea floor spread over heights as Earth's are
    Linear, // one factor: the highest land at --highest, every other height in proportion
};

// "earth" or "linear".
std::string_view hypsometryName(Hypsometry hypsometry);
// The hypsometry a name (as hypsometryName gives it) stands for; nothing for any other text.
std::optional<Hypsometry> hypsometryNamed(std::string_view name);

// A monotone map from height above the sea, in sea radii, to metres: linear
// between its knots, and carried on along its first and last pieces beyond
// them (erosion can only lower land, but a caller may ask anywhere).
struct HeightCurve {
    std::vector<double> units;  // heights above the sea, strictly increasing; one of them is 0
    std::vector<double> metres; // at each of units, strictly increasing; 0 at height 0

    bool empty() const { return units.size() < 2; }
    double metresAt(double unitsAboveSea) const;
};

// Earth's highest point, m: the curve's top stands at --highest, the rest
// of Earth's heights and depths scaled by --highest over this.
inline constexpr double EARTH_HIGHEST_METRES = 8849.0;

// One point of Earth's hypsometry: the share of the land (or of the sea
// floor) lower (or shallower) than metres.
struct EarthShare {
    double below;  // 0 to 1
    double metres; // at the default scale, where the top is EARTH_HIGHEST_METRES
};

// Earth's land and sea floor, each from its shore (share 0, at 0 m) to its
// top or deepest point (share 1). After the hypsographic table of Sverdrup,
// Johnson and Fleming (The Oceans, 1942), ETOPO1 within a point or so.
extern const std::vector<EarthShare> EARTH_LAND;
extern const std::vector<EarthShare> EARTH_SEA_FLOOR;

// The curve, in Earth's metres, that gives the heights above the sea
// (heightsAboveSea, in sea radii: above 0 land, else sea) Earth's shares:
// the share of the land whose height is at most a knot's is Earth's share
// of land lower than the knot's metres (each knot at a height the land has,
// the nearest rank), the sea floor's likewise; the highest land stands at
// EARTH_HIGHEST_METRES. The shore stays at 0 m, the order of heights is
// kept. A side with no height (no land, or no sea below 0) gets one piece
// to EARTH_HIGHEST_METRES (or its depth) at fallbackUnits from the shore.
// Non-finite heights are left out. Sorts nothing whole: O(n log knots).
HeightCurve fitEarthCurve(std::vector<double> heightsAboveSea, double fallbackUnits);
