#include "TurningDetail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

namespace {

// The disc the planet covers: land up to 5 % above the sea, and its air.
constexpr double DISC_RADIUS = 1.05;

// Over the planet's own pixels, the mean difference from the whole planet
// (1/255 a pixel and channel) of its land drawn 0 to 4 levels coarser, and
// of its sea drawn SEA_LEVELS_DROPPED coarser: the largest measured at 8
// and 7 subdivisions (seeds 1 to 3, distances 1.54 to 4.83, 800 x 600), rounded
// up. It hardly depends on the triangles' size on the screen: what a
// coarser level loses is the land's own detail.
constexpr double LAND_DIFFERENCE[] = {0.0, 10.0, 18.0, 25.0, 35.0};
constexpr int MOST_LAND_LEVELS_DROPPED = 4;
constexpr int SEA_LEVELS_DROPPED = 4;
constexpr double SEA_DIFFERENCE = 1.7;

} // namespace

double meanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    if (a.size() != b.size())
        return 255.0;
    if (a.empty())
        return 0.0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += static_cast<std::uint64_t>(std::abs(int(a[i]) - int(b[i])));
    return double(sum) / double(a.size());
}

double planetShare(const ScreenScale& scale, int framebufferWidth)
{
    const double pixels = double(framebufferWidth) * double(scale.framebufferHeight);
    if (!(pixels > 0))
        return 0.0;
    if (!(scale.distance > DISC_RADIUS))
        return 1.0;
    const double tangent = std::tan(scale.fieldOfViewDegrees / 2 * std::numbers::pi / 180);
    const double focalPixels = scale.framebufferHeight / (2 * tangent);
    // The disc's edge is where the view grazes the sphere of DISC_RADIUS.
    const double radius = focalPixels * DISC_RADIUS / std::sqrt(scale.distance * scale.distance - DISC_RADIUS * DISC_RADIUS);
    return std::min(1.0, std::numbers::pi * radius * radius / pixels);
}

DetailChoice turningLevels(int subdivisions, const ScreenScale& scale, int framebufferWidth)
{
    if (subdivisions < FIRST_COARSENED_SUBDIVISIONS)
        return {subdivisions, subdivisions};
    const double share = planetShare(scale, framebufferWidth);
    int dropped = MOST_LAND_LEVELS_DROPPED;
    while (dropped > 0 && share * (LAND_DIFFERENCE[dropped] + SEA_DIFFERENCE) > MAX_TURNING_DIFFERENCE)
        --dropped;
    return {std::max(subdivisions - dropped, 0), std::max(subdivisions - SEA_LEVELS_DROPPED, 0)};
}

DetailChoice frameLevels(int subdivisions, const ScreenScale& scale, int framebufferWidth, const FrameMotion& motion)
{
    if (motion.saving || !(motion.handAtWork || motion.turning))
        return {subdivisions, subdivisions};
    DetailChoice levels{subdivisions, subdivisions};
    if (motion.handAtWork)
        levels.land = levels.sea = levelForScreen(subdivisions, scale);
    if (motion.turning) {
        const DetailChoice turning = turningLevels(subdivisions, scale, framebufferWidth);
        levels = {std::min(levels.land, turning.land), std::min(levels.sea, turning.sea)};
    }
    return levels;
}
