#include "OceanGyres.h"

#include "ThreadGroup.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double DEGREES = 180.0 / PI;

// The sea is looked at on a latitude-longitude grid of CELL_DEGREES cells:
// coarse enough to be cheap, fine enough for the coasts of continents.
constexpr int CELL_DEGREES = 2;
constexpr int ROWS = 180 / CELL_DEGREES;
constexpr int COLUMNS = 360 / CELL_DEGREES;
// Land of fewer cells than this (about 200 000 km² near the equator) is an
// island the currents flow around, not a side of an ocean.
constexpr std::size_t LEAST_CONTINENT_CELLS = 4;
// A basin this many km wide (e-folding) holds a whole gyre; a narrow sea a
// weak one.
constexpr double BASIN_KM = 2500.0;

// One side of a gyre: its strength at the coast, °C, and the km (e-folding)
// over which it fades away from that coast. _WEST: along the ocean's western
// side, fading with the distance to the land west of it; _EAST likewise.
struct Current {
    double celsius;
    double km;
};
// Subtropical gyres: the warm western boundary currents (Gulf Stream,
// Kuroshio: SST 3 to 5 °C above the zonal mean) hug their coasts; the cold
// eastern ones (California, Humboldt, upwelling: 3 to 6 °C below) spread a
// little farther out.
constexpr Current SUBTROPICAL_WARM_WEST{3.0, 1000.0}, SUBTROPICAL_COLD_EAST{-4.0, 1200.0};
// Subpolar gyres: the warm drift (Norway's coast 5 to 10 °C above the zonal
// mean) fills the eastern half of the basin; the cold currents (Labrador,
// Oyashio) run along the western side.
constexpr Current SUBPOLAR_WARM_EAST{6.0, 2000.0}, SUBPOLAR_COLD_WEST{-4.0, 1200.0};

// A smooth bump, 1 midway between from and to (degrees), 0 outside them.
double bump(double latitude, double from, double to)
{
    if (latitude <= from || latitude >= to)
        return 0.0;
    const double s = std::sin(PI * (latitude - from) / (to - from));
    return s * s;
}

// The anomaly of a sea cell at |latitude| a, west and east km from the land
// on either side along its latitude.
double anomalyAt(double a, double west, double east)
{
    const auto side = [](const Current& c, double km) { return c.celsius * std::exp(-km / c.km); };
    const double subtropical = side(SUBTROPICAL_WARM_WEST, west) + side(SUBTROPICAL_COLD_EAST, east);
    const double subpolar = side(SUBPOLAR_WARM_EAST, east) + side(SUBPOLAR_COLD_WEST, west);
    const double basin = 1.0 - std::exp(-(west + east) / BASIN_KM);
    return basin * (bump(a, 8.0, 48.0) * subtropical + bump(a, 42.0, 78.0) * subpolar);
}

using Grid = std::vector<double>; // ROWS x COLUMNS, row 0 at the south pole, column 0 at -180°

std::size_t cell(int row, int column)
{
    return std::size_t(row) * COLUMNS + std::size_t((column % COLUMNS + COLUMNS) % COLUMNS);
}

// A vertex's place on the grid in cells (centres at whole numbers), within
// the grid; a vertex with no finite direction at (0°, 0°).
struct Place {
    double x, y;
};

Place placeOf(const float* up, const float* latitude, std::size_t v)
{
    double longitude = std::atan2(-double(up[3 * v + 2]), double(up[3 * v])) * DEGREES, lat = latitude[v];
    if (!std::isfinite(longitude) || !std::isfinite(lat))
        longitude = 0.0, lat = 0.0;
    return {std::clamp((longitude + 180.0) / CELL_DEGREES - 0.5, -0.5, COLUMNS - 0.5),
            std::clamp((lat + 90.0) / CELL_DEGREES - 0.5, -0.5, ROWS - 0.5)};
}

// Per cell: 1 where most of its vertices are sea; a cell with none takes
// its western neighbour's (sea when its whole row has none). The counts are
// whole numbers, so the threads' shares add up the same in any order.
std::vector<std::uint8_t> seaCells(const float* up, const float* latitude, const std::uint8_t* sea, std::size_t n,
                                   int threads)
{
    std::vector<int> seaCount(ROWS * COLUMNS, 0), count(ROWS * COLUMNS, 0);
    std::mutex adding;
    splitAcross(n, threads, [&](std::size_t begin, std::size_t end) {
        std::vector<int> partSea(ROWS * COLUMNS, 0), part(ROWS * COLUMNS, 0);
        for (std::size_t v = begin; v < end; ++v) {
            const Place p = placeOf(up, latitude, v);
            const std::size_t i = cell(std::min(int(p.y + 0.5), ROWS - 1), std::min(int(p.x + 0.5), COLUMNS - 1));
            ++part[i];
            partSea[i] += sea[v] != 0;
        }
        const std::lock_guard<std::mutex> lock(adding);
        for (std::size_t i = 0; i < part.size(); ++i)
            count[i] += part[i], seaCount[i] += partSea[i];
    });
    std::vector<std::uint8_t> isSea(ROWS * COLUMNS, 1);
    for (int row = 0; row < ROWS; ++row) {
        int filled = -1;
        for (int c = 0; c < COLUMNS && filled < 0; ++c)
            filled = count[cell(row, c)] > 0 ? c : -1;
        if (filled < 0)
            continue;
        std::uint8_t last = 2 * seaCount[cell(row, filled)] >= count[cell(row, filled)];
        for (int k = 0; k < COLUMNS; ++k) {
            const std::size_t i = cell(row, filled + k);
            last = count[i] > 0 ? std::uint8_t(2 * seaCount[i] >= count[i]) : last;
            isSea[i] = last;
        }
    }
    return isSea;
}

// Land pieces of fewer than LEAST_CONTINENT_CELLS cells (side by side or
// one above the other, around the globe in longitude) become sea.
void drownIslands(std::vector<std::uint8_t>& isSea)
{
    std::vector<std::uint8_t> seen(isSea.size(), 0);
    std::vector<std::size_t> piece;
    for (std::size_t start = 0; start < isSea.size(); ++start) {
        if (isSea[start] || seen[start])
            continue;
        piece.assign(1, start);
        seen[start] = 1;
        for (std::size_t head = 0; head < piece.size(); ++head) {
            const int row = int(piece[head] / COLUMNS), column = int(piece[head] % COLUMNS);
            const std::array<std::pair<int, int>, 4> next{{{row, column - 1}, {row, column + 1}, {row - 1, column}, {row + 1, column}}};
            for (const auto& [r, c] : next) {
                if (r < 0 || r >= ROWS || isSea[cell(r, c)] || seen[cell(r, c)])
                    continue;
                seen[cell(r, c)] = 1;
                piece.push_back(cell(r, c));
            }
        }
        if (piece.size() < LEAST_CONTINENT_CELLS)
            for (const std::size_t i : piece)
                isSea[i] = 1;
    }
}

// Per cell of a row: how many cells lie between it and the nearest cell
// that is not `want` going one way along the row (step -1: west, 1: east),
// counting itself; 0 on such cells. first: a cell that is not `want`.
std::array<int, COLUMNS> cellsTo(const std::vector<std::uint8_t>& isSea, int row, int first, int step, std::uint8_t want)
{
    std::array<int, COLUMNS> count{};
    int since = 0;
    for (int k = 1; k <= COLUMNS; ++k) {
        const int c = ((first - step * k) % COLUMNS + COLUMNS) % COLUMNS;
        since = isSea[cell(row, c)] == want ? since + 1 : 0;
        count[std::size_t(c)] = since;
    }
    return count;
}

// One row's anomalies: each sea cell's from its distances to the land west
// and east of it along the row; each land cell takes the nearest sea cell's
// along the row. A row with no land, or no sea, has none.
void rowAnomalies(const std::vector<std::uint8_t>& isSea, int row, double kmPerRadian, Grid& out)
{
    int land = -1, water = -1;
    for (int c = 0; c < COLUMNS; ++c)
        (isSea[cell(row, c)] ? water : land) = c;
    if (land < 0 || water < 0)
        return;
    const double latitude = (row + 0.5) * CELL_DEGREES - 90.0;
    const double cellKm = CELL_DEGREES / DEGREES * std::cos(latitude / DEGREES) * kmPerRadian;
    const auto west = cellsTo(isSea, row, land, -1, 1), east = cellsTo(isSea, row, land, 1, 1);
    for (int c = 0; c < COLUMNS; ++c)
        if (isSea[cell(row, c)])
            out[cell(row, c)] = anomalyAt(std::fabs(latitude), (west[c] - 0.5) * cellKm, (east[c] - 0.5) * cellKm);
    const auto toSeaWest = cellsTo(isSea, row, water, -1, 0), toSeaEast = cellsTo(isSea, row, water, 1, 0);
    for (int c = 0; c < COLUMNS; ++c)
        if (!isSea[cell(row, c)])
            out[cell(row, c)] = toSeaWest[c] <= toSeaEast[c] ? out[cell(row, c - toSeaWest[c])]
                                                             : out[cell(row, c + toSeaEast[c])];
}

// passes of a [1 2 1] blur along the rows (around the globe) and then along
// the columns (the first and last rows standing in for those beyond them).
void smooth(Grid& grid, int passes)
{
    Grid spare(grid.size());
    for (int pass = 0; pass < passes; ++pass) {
        for (int r = 0; r < ROWS; ++r)
            for (int c = 0; c < COLUMNS; ++c)
                spare[cell(r, c)] = 0.25 * (grid[cell(r, c - 1)] + 2.0 * grid[cell(r, c)] + grid[cell(r, c + 1)]);
        for (int r = 0; r < ROWS; ++r)
            for (int c = 0; c < COLUMNS; ++c)
                grid[cell(r, c)] = 0.25 * (spare[cell(std::max(r - 1, 0), c)] + 2.0 * spare[cell(r, c)] +
                                           spare[cell(std::min(r + 1, ROWS - 1), c)]);
    }
}

// The grid's value at a place (cells), bilinear between the cells' centres.
double sample(const Grid& grid, Place p)
{
    const double gy = std::clamp(p.y, 0.0, double(ROWS - 1));
    const int c = int(std::floor(p.x)), r = std::min(int(gy), ROWS - 2);
    const double fx = p.x - c, fy = gy - r;
    const double below = grid[cell(r, c)] * (1.0 - fx) + grid[cell(r, c + 1)] * fx;
    const double above = grid[cell(r + 1, c)] * (1.0 - fx) + grid[cell(r + 1, c + 1)] * fx;
    return below * (1.0 - fy) + above * fy;
}

} // namespace

BigArray<float> gyreAnomaly(const float* up, const float* latitude, const std::uint8_t* sea, std::size_t n,
                            double kmPerRadian, int threads)
{
    std::vector<std::uint8_t> isSea = seaCells(up, latitude, sea, n, threads);
    drownIslands(isSea);
    Grid grid(std::size_t(ROWS) * COLUMNS, 0.0);
    for (int row = 0; row < ROWS; ++row)
        rowAnomalies(isSea, row, kmPerRadian, grid);
    smooth(grid, 2);
    BigArray<float> anomaly(n);
    splitAcross(n, threads, [&](std::size_t begin, std::size_t end) {
        for (std::size_t v = begin; v < end; ++v)
            anomaly[v] = sea[v] ? float(sample(grid, placeOf(up, latitude, v))) : 0.0f;
    });
    return anomaly;
}
