#include "SeaLevel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Piece {
    double height;
    double area;
};

double areaOf(const float* p)
{
    const double u[3] = {double(p[3]) - p[0], double(p[4]) - p[1], double(p[5]) - p[2]};
    const double v[3] = {double(p[6]) - p[0], double(p[7]) - p[1], double(p[8]) - p[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

// Every welded vertex's radius as generated (generatedRadius).
std::vector<double> vertexRadii(const IcosphereWeld& weld, const float* land, const float* sea)
{
    std::vector<double> radius(weld.vertexCount());
    for (std::size_t v = 0; v < radius.size(); ++v) {
        const std::size_t corner = 3 * std::size_t(weld.vertexToCorner[v]);
        radius[v] = generatedRadius(land + corner, sea + corner);
    }
    return radius;
}

// Every triangle's height and area, the highest first.
std::vector<Piece> piecesByHeight(const IcosphereWeld& weld, const std::vector<double>& radius, const float* sea)
{
    std::vector<Piece> pieces(weld.faceCount());
    for (std::size_t t = 0; t < pieces.size(); ++t) {
        const std::uint32_t* corner = &weld.cornerToVertex[3 * t];
        pieces[t] = {triangleHeight(radius[corner[0]], radius[corner[1]], radius[corner[2]]), areaOf(sea + 9 * t)};
    }
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.height > b.height; });
    return pieces;
}

// The shortest decimal strictly between low and high; low itself when no
// double lies between them ("above low" then still means "at high or above").
double shortestBetween(double low, double high)
{
    const double middle = low + (high - low) / 2;
    for (int digits = 1; digits <= 17; ++digits) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", digits, middle);
        const double value = std::strtod(text, nullptr);
        if (value > low && value < high)
            return value;
    }
    return low;
}

} // namespace

double generatedRadius(const float* land, const float* unit)
{
    const double length = std::hypot(double(land[0]), double(land[1]), double(land[2]));
    return unit ? length / std::hypot(double(unit[0]), double(unit[1]), double(unit[2])) : length;
}

double triangleHeight(double a, double b, double c)
{
    if (a > b)
        std::swap(a, b);
    if (b > c)
        std::swap(b, c);
    if (a > b)
        std::swap(a, b);
    return (a + b + c) / 3.0;
}

SeaLevel seaLevelForLand(const IcosphereWeld& weld, const float* land, const float* sea, double share)
{
    const std::vector<double> radius = vertexRadii(weld, land, sea);
    const std::vector<Piece> pieces = piecesByHeight(weld, radius, sea);
    double total = 0.0, largest = 0.0;
    for (const Piece& piece : pieces) {
        total += piece.area;
        largest = std::max(largest, piece.area);
    }
    // The count of highest triangles whose area comes nearest the share,
    // taking or leaving triangles of one height together.
    const double wanted = std::clamp(share, 0.0, 1.0) * total;
    std::size_t best = 0;
    double bestArea = 0.0, area = 0.0;
    for (std::size_t k = 1; k <= pieces.size(); ++k) {
        area += pieces[k - 1].area;
        if (k < pieces.size() && pieces[k].height == pieces[k - 1].height)
            continue;
        if (std::abs(area - wanted) < std::abs(bestArea - wanted))
            best = k, bestArea = area;
    }
    // One generation step beyond the extremes when all or nothing is land.
    // Asked for no land or all of it, the sea clears every vertex, not only
    // the triangles' means: no peak stands out of it, no pit lies dry.
    constexpr double STEP = 1.0 / 1500.0;
    double low = best < pieces.size() ? pieces[best].height : pieces.back().height - STEP;
    double high = best > 0 ? pieces[best - 1].height : pieces.front().height + STEP;
    if (share <= 0.0) {
        low = *std::max_element(radius.begin(), radius.end());
        high = low + STEP;
    } else if (share >= 1.0) {
        high = *std::min_element(radius.begin(), radius.end());
        low = high - STEP;
    }
    return {shortestBetween(low, high), bestArea / total, largest / total};
}
