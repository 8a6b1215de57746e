#include "MeshParts.h"

#include "SavedLand.h"

#include <limits>

namespace {

constexpr std::uint32_t UNSEEN = std::numeric_limits<std::uint32_t>::max();

class Splitter {
public:
    Splitter(const IcosphereWeld& weld, std::uint32_t partVerticesMax)
        : weld(weld), partVerticesMax(partVerticesMax), localOf(weld.vertexCount(), UNSEEN),
          partOf(weld.vertexCount(), UNSEEN)
    {
        result.firstCopy.assign(weld.vertexCount(), UNSEEN);
        result.indices.reserve(3 * weld.faceCount());
        result.vertices.reserve(weld.vertexCount() + weld.vertexCount() / 32);
    }

    MeshParts run()
    {
        for (std::size_t f = 0; f < weld.faceCount(); ++f) {
            if (result.parts.empty() || part().vertexCount + newVertices(f) > partVerticesMax)
                startPart(f);
            add(f);
        }
        return std::move(result);
    }

private:
    MeshPart& part() { return result.parts.back(); }
    std::uint32_t current() const { return std::uint32_t(result.parts.size() - 1); }

    // The soup's corners of face f, in the order the weld first meets them.
    std::uint32_t corner(std::size_t f, int k) const { return weld.cornerToVertex[3 * f + std::size_t(k)]; }

    std::uint32_t newVertices(std::size_t f) const
    {
        std::uint32_t count = 0;
        for (int k = 0; k < 3; ++k)
            count += partOf[corner(f, k)] != current();
        return count;
    }

    void startPart(std::size_t f)
    {
        result.parts.push_back({f, 0, std::uint32_t(result.vertices.size()), 0});
    }

    void add(std::size_t f)
    {
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t v = corner(f, k);
            if (partOf[v] == current())
                continue;
            partOf[v] = current();
            localOf[v] = part().vertexCount++;
            if (result.firstCopy[v] == UNSEEN)
                result.firstCopy[v] = std::uint32_t(result.vertices.size());
            result.vertices.push_back(v);
        }
        for (int k = 0; k < 3; ++k)
            result.indices.push_back(std::uint16_t(localOf[faceVertex(weld, f, k)]));
        ++part().faceCount;
    }

    const IcosphereWeld& weld;
    const std::uint32_t partVerticesMax;
    std::vector<std::uint32_t> localOf; // per welded vertex: its number in the part that last took it
    std::vector<std::uint32_t> partOf;  // per welded vertex: the part that last took it
    MeshParts result;
};

} // namespace

MeshParts splitIntoParts(const IcosphereWeld& weld, std::uint32_t partVerticesMax)
{
    return Splitter(weld, partVerticesMax).run();
}
