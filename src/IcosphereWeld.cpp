#include "IcosphereWeld.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// A closed icosphere has one distinct position per six corners, plus two.
std::size_t expectedVertices(std::size_t cornerCount)
{
    return cornerCount / 6 + 2;
}

std::size_t slotCountFor(std::size_t vertices)
{
    return std::bit_ceil(std::max<std::size_t>(2 * vertices, 16));
}

// Open-addressing table from a position's bits to its welded vertex. Slots
// hold vertex + 1 (0 is empty); the keys are read from the soup through
// vertexToCorner, so a slot is 4 bytes. The load stays at most one half.
class WeldTable {
public:
    WeldTable(const float* corners, IcosphereWeld& weld, std::size_t expected) : corners(corners), weld(weld)
    {
        resize(slotCountFor(expected));
    }

    std::uint32_t vertexOf(std::uint32_t corner)
    {
        const float* xyz = corners + 3 * std::size_t(corner);
        for (std::size_t slot = hash(xyz);; slot = (slot + 1) & (slots.size() - 1)) {
            const std::uint32_t stored = slots[slot];
            if (stored == 0)
                return insert(slot, corner);
            if (std::memcmp(position(stored - 1), xyz, 3 * sizeof(float)) == 0)
                return stored - 1;
        }
    }

private:
    const float* position(std::uint32_t vertex) const
    {
        return corners + 3 * std::size_t(weld.vertexToCorner[vertex]);
    }

    std::size_t hash(const float* xyz) const
    {
        std::uint32_t bits[3];
        std::memcpy(bits, xyz, sizeof bits);
        constexpr std::uint64_t golden = 0x9E3779B97F4A7C15u;
        std::uint64_t h = (bits[0] * golden) ^ bits[1];
        h = (h * golden) ^ bits[2];
        return static_cast<std::size_t>((h * golden) >> shift);
    }

    std::uint32_t insert(std::size_t slot, std::uint32_t corner)
    {
        const auto vertex = static_cast<std::uint32_t>(weld.vertexToCorner.size());
        weld.vertexToCorner.push_back(corner);
        slots[slot] = vertex + 1;
        if (2 * std::size_t(vertex + 1) > slots.size())
            rehash();
        return vertex;
    }

    void resize(std::size_t capacity)
    {
        slots.assign(capacity, 0);
        shift = 64 - std::countr_zero(capacity);
    }

    void rehash()
    {
        resize(2 * slots.size());
        for (std::uint32_t v = 0; v < weld.vertexToCorner.size(); ++v) {
            std::size_t slot = hash(position(v));
            while (slots[slot] != 0)
                slot = (slot + 1) & (slots.size() - 1);
            slots[slot] = v + 1;
        }
    }

    const float* corners;
    IcosphereWeld& weld;
    std::vector<std::uint32_t> slots;
    int shift = 0; // 64 minus log2 of the slot count
};

} // namespace

IcosphereWeld weldIcosphere(const float* corners, std::size_t cornerCount)
{
    IcosphereWeld weld;
    const std::size_t count = cornerCount - cornerCount % 3;
    weld.cornerToVertex.resize(count);
    weld.vertexToCorner.reserve(expectedVertices(count));
    WeldTable table(corners, weld, expectedVertices(count));
    for (std::size_t c = 0; c < count; ++c)
        weld.cornerToVertex[c] = table.vertexOf(static_cast<std::uint32_t>(c));
    return weld;
}

std::uint64_t weldBytes(std::uint64_t cornerCount)
{
    const std::uint64_t vertices = expectedVertices(cornerCount);
    return 4 * cornerCount + 4 * vertices + 4 * std::uint64_t(slotCountFor(vertices));
}
