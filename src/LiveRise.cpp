#include "LiveRise.h"

#include "Landscape.h"

#include <algorithm>

LiveRise::LiveRise(const IcosphereWeld& weld, const float* soup) : weld(weld)
{
    const std::size_t count = weld.vertexCount();
    x.resize(count);
    y.resize(count);
    z.resize(count);
    for (std::size_t v = 0; v < count; ++v) {
        const float* p = soup + 3 * std::size_t(weld.vertexToCorner[v]);
        x[v] = p[0];
        y[v] = p[1];
        z[v] = p[2];
    }
}

namespace {

// Vertices a block: 48 KiB of coordinates, held in the core's cache while
// a batch's planes pass over them.
constexpr std::size_t BLOCK = 4096;

} // namespace

void LiveRise::applyAll(const FaultPlane* planes, std::size_t count)
{
    for (std::size_t first = 0; first < x.size(); first += BLOCK)
        applyBlock(planes, count, first, std::min(first + BLOCK, x.size()));
}

void LiveRise::applyBlock(const FaultPlane* planes, std::size_t count, std::size_t first, std::size_t last)
{
    float* __restrict xs = x.data();
    float* __restrict ys = y.data();
    float* __restrict zs = z.data();
    for (std::size_t p = 0; p < count; ++p) {
        const FaultPlane local = planes[p];
        const float f = static_cast<float>(local.sign / 1500.0);
        const float up = 1.0f + f;
        const float down = 1.0f - f;
        for (std::size_t j = first; j < last; ++j) {
            const float k = sideValue(local, xs[j], ys[j], zs[j]) > 0.0f ? up : down;
            xs[j] *= k;
            ys[j] *= k;
            zs[j] *= k;
        }
    }
}

int LiveRise::batchPlanes() const
{
    const std::size_t planes = BATCH_WORK / std::max<std::size_t>(x.size(), 1);
    return static_cast<int>(std::clamp<std::size_t>(planes, 1, MAX_BATCH));
}

void LiveRise::publishFirstCorners(float* soup) const
{
    for (std::size_t v = 0; v < x.size(); ++v) {
        float* p = soup + 3 * std::size_t(weld.vertexToCorner[v]);
        p[0] = x[v];
        p[1] = y[v];
        p[2] = z[v];
    }
}

void LiveRise::publishAllCorners(float* soup) const
{
    for (std::size_t c = 0; c < weld.cornerToVertex.size(); ++c) {
        const std::uint32_t v = weld.cornerToVertex[c];
        soup[3 * c] = x[v];
        soup[3 * c + 1] = y[v];
        soup[3 * c + 2] = z[v];
    }
}
