#include "TurningDetail.h"

#include "LogManager.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

// The mean edge of level k is this over 2^k planet radii (DetailLevels.cpp).
constexpr double MEAN_EDGE_TIMES_2_TO_K = 1.21;
// Over the planet's own pixels, a level of edges e pixels long differs from
// the whole planet by about this times e (1/255 a pixel and channel, per
// pixel of edge): the largest ratio measured, with a margin.
constexpr double DIFFERENCE_PER_EDGE_PIXEL = 1.0;

} // namespace

double meanDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b)
{
    if (a.empty() || a.size() != b.size())
        return a.size() == b.size() ? 0.0 : 255.0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += static_cast<std::uint64_t>(std::abs(int(a[i]) - int(b[i])));
    return double(sum) / double(a.size());
}

int turningLevel(int subdivisions, const ScreenScale& scale, int framebufferWidth)
{
    if (subdivisions < FIRST_COARSENED_SUBDIVISIONS)
        return subdivisions;
    const double tangent = std::tan(scale.fieldOfViewDegrees / 2 * std::numbers::pi / 180);
    const double pixelsPerRadius = scale.framebufferHeight / (2 * tangent * scale.distance);
    const double pixels = double(framebufferWidth) * double(scale.framebufferHeight);
    if (!(pixelsPerRadius > 0) || !(pixels > 0)) // no framebuffer, or a view from infinitely far
        return 0;
    const double share = std::min(1.0, std::numbers::pi * pixelsPerRadius * pixelsPerRadius / pixels);
    for (int level = 0; level < subdivisions; ++level) {
        const double edge = MEAN_EDGE_TIMES_2_TO_K * pixelsPerRadius / double(1 << level);
        if (share * DIFFERENCE_PER_EDGE_PIXEL * edge <= MAX_TURNING_DIFFERENCE)
            return level;
    }
    return subdivisions;
}

int frameLevel(int subdivisions, const ScreenScale& scale, int framebufferWidth, const FrameMotion& motion)
{
    if (motion.saving || !(motion.handAtWork || motion.turning))
        return subdivisions;
    int level = subdivisions;
    if (motion.handAtWork)
        level = levelForScreen(subdivisions, scale);
    if (motion.turning)
        level = std::min(level, turningLevel(subdivisions, scale, framebufferWidth));
    return level;
}

void TurningReport::tell(int level, int subdivisions)
{
    const bool first = told < 0;
    if (level == told)
        return;
    told = level;
    if (first && level >= subdivisions) // nothing new: planets have always been drawn whole
        return;
    if (level < subdivisions)
        ORB_LOG(Info, "While it turns, the planet is drawn at %d of its %d subdivisions.", level, subdivisions);
    else
        ORB_LOG(Info, "While it turns, the planet is drawn whole.");
}
