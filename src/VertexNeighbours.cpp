#include "VertexNeighbours.h"

#include <algorithm>

VertexNeighbours vertexNeighbours(const IcosphereWeld& weld)
{
    const std::size_t n = weld.vertexCount();
    // Each face gives each of its corners two edges; every edge of the closed
    // mesh lies on two faces, so each neighbour is found twice.
    std::vector<std::uint32_t> found(weld.cornerToVertex.size() * 2);
    std::vector<std::uint32_t> count(n + 1, 0);
    for (std::size_t c = 0; c < weld.cornerToVertex.size(); ++c)
        count[weld.cornerToVertex[c] + 1] += 2;
    for (std::size_t v = 0; v < n; ++v)
        count[v + 1] += count[v];
    std::vector<std::uint32_t> fill(count.begin(), count.end() - 1);
    for (std::size_t t = 0; t < weld.faceCount(); ++t) {
        const std::uint32_t* corner = &weld.cornerToVertex[3 * t];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = corner[k];
            found[fill[v]++] = corner[(k + 1) % 3];
            found[fill[v]++] = corner[(k + 2) % 3];
        }
    }
    VertexNeighbours out;
    out.offsets.assign(n + 1, 0);
    out.ids.reserve(found.size() / 2);
    for (std::size_t v = 0; v < n; ++v) {
        auto first = found.begin() + count[v], last = found.begin() + count[v + 1];
        std::sort(first, last);
        last = std::unique(first, last);
        out.ids.insert(out.ids.end(), first, last);
        out.offsets[v + 1] = std::uint32_t(out.ids.size());
    }
    return out;
}
