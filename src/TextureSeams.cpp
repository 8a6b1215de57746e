#include "TextureSeams.h"

#include "SavedLand.h"

#include <cmath>
#include <numbers>

namespace {

// A vertex this close to the axis, in units of its radius, is on a pole: its
// longitude is rounding alone (the icosphere's vertices off the poles lie
// far further out).
constexpr double POLE_DISTANCE = 1e-6;

struct Corner {
    double u, v;
    bool pole;
};

Corner cornerAt(const float* p)
{
    const double x = p[0], y = p[1], z = p[2];
    const double across = std::hypot(x, z), radius = std::hypot(across, y);
    const double latitude = std::atan2(y, across);
    const double u = (std::atan2(-z, x) + std::numbers::pi) / (2.0 * std::numbers::pi);
    return {std::min(u, 1.0), 0.5 - latitude / std::numbers::pi, across <= POLE_DISTANCE * radius};
}

// One face's corners made to lie on the map without spanning it: western
// corners shifted by 1 when the face crosses the 180th meridian, a pole's u
// the middle of the other two's. Returns which corners changed.
int placeFace(Corner (&c)[3])
{
    double low = 2.0, high = -1.0;
    for (const Corner& k : c)
        if (!k.pole)
            low = std::min(low, k.u), high = std::max(high, k.u);
    int changed = 0;
    for (int k = 0; k < 3; ++k)
        if (!c[k].pole && high - low > 0.5 && c[k].u < 0.5)
            c[k].u += 1.0, changed |= 1 << k;
    for (int k = 0; k < 3; ++k)
        if (c[k].pole) {
            const Corner& a = c[(k + 1) % 3];
            const Corner& b = c[(k + 2) % 3];
            c[k].u = a.pole ? b.u : b.pole ? a.u : 0.5 * (a.u + b.u);
            changed |= 1 << k;
        }
    return changed;
}

} // namespace

TexturedMesh texturedMesh(const IcosphereWeld& weld, const std::vector<float>& positions)
{
    TexturedMesh mesh;
    const std::size_t vertices = weld.vertexCount();
    mesh.uv.resize(2 * vertices);
    for (std::size_t v = 0; v < vertices; ++v) {
        const Corner c = cornerAt(&positions[3 * v]);
        mesh.uv[2 * v] = static_cast<float>(c.pole ? 0.5 : c.u);
        mesh.uv[2 * v + 1] = static_cast<float>(c.v);
    }
    std::vector<std::uint32_t> shifted(vertices, UINT32_MAX); // each vertex's copy at u + 1, once made
    mesh.indices.resize(3 * weld.faceCount());
    for (std::size_t f = 0; f < weld.faceCount(); ++f) {
        Corner c[3];
        std::uint32_t v[3];
        for (int k = 0; k < 3; ++k) {
            v[k] = faceVertex(weld, f, k);
            c[k] = cornerAt(&positions[3 * std::size_t(v[k])]);
        }
        const int changed = placeFace(c);
        for (int k = 0; k < 3; ++k) {
            std::uint32_t index = v[k];
            if (changed & (1 << k)) {
                const bool reuse = !c[k].pole && shifted[v[k]] != UINT32_MAX;
                index = reuse ? shifted[v[k]] : static_cast<std::uint32_t>(mesh.vertexCount());
                if (!reuse) {
                    mesh.copied.push_back(v[k]);
                    mesh.uv.push_back(static_cast<float>(c[k].u));
                    mesh.uv.push_back(static_cast<float>(c[k].v));
                    if (!c[k].pole)
                        shifted[v[k]] = index;
                }
            }
            mesh.indices[3 * f + k] = index;
        }
    }
    return mesh;
}

void eastAt(float u, float* xyz)
{
    const double longitude = 2.0 * std::numbers::pi * double(u) - std::numbers::pi;
    xyz[0] = static_cast<float>(-std::sin(longitude));
    xyz[1] = 0.0f;
    xyz[2] = static_cast<float>(-std::cos(longitude));
}
