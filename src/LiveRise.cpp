#include "LiveRise.h"

#include "Landscape.h"

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

void LiveRise::apply(const FaultPlane& plane)
{
    const FaultPlane local = plane;
    const float f = static_cast<float>(local.sign / 1500.0);
    const float up = 1.0f + f;
    const float down = 1.0f - f;
    float* __restrict xs = x.data();
    float* __restrict ys = y.data();
    float* __restrict zs = z.data();
    const std::size_t count = x.size();
    for (std::size_t j = 0; j < count; ++j) {
        const float k = sideValue(local, xs[j], ys[j], zs[j]) > 0.0f ? up : down;
        xs[j] *= k;
        ys[j] *= k;
        zs[j] *= k;
    }
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
