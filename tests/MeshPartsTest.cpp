#include "MeshParts.h"
#include "Planet.h"
#include "SavedLand.h"

#include <gtest/gtest.h>

namespace {

// Every part within its limit, the faces in order and each the weld's face
// again through its part's vertices, and each welded vertex's first copy.
void expectPartsHoldTheWeld(const IcosphereWeld& weld, const MeshParts& split, std::uint32_t limit)
{
    std::uint64_t nextFace = 0, nextVertex = 0;
    for (const MeshPart& part : split.parts) {
        EXPECT_LE(part.vertexCount, limit);
        EXPECT_EQ(part.firstFace, nextFace);
        EXPECT_EQ(part.firstVertex, nextVertex);
        for (std::uint64_t f = part.firstFace; f < part.firstFace + part.faceCount; ++f)
            for (int k = 0; k < 3; ++k) {
                const std::uint16_t local = split.indices[3 * f + std::uint64_t(k)];
                ASSERT_LT(local, part.vertexCount) << "face " << f;
                ASSERT_EQ(split.vertices[part.firstVertex + local], faceVertex(weld, f, k)) << "face " << f;
            }
        nextFace += part.faceCount;
        nextVertex += part.vertexCount;
    }
    EXPECT_EQ(nextFace, weld.faceCount());
    EXPECT_EQ(nextVertex, split.vertices.size());
    ASSERT_EQ(split.firstCopy.size(), weld.vertexCount());
    for (std::uint32_t v = 0; v < weld.vertexCount(); ++v)
        ASSERT_EQ(split.vertices[split.firstCopy[v]], v);
}

TEST(MeshParts, EachPartKeepsToItsLimitAndTheFacesComeBackWhole)
{
    for (const auto& [subdivisions, limit] : {std::pair{0, 3u}, {3, 100u}, {4, 1000u}, {8, PART_VERTICES_MAX}}) {
        const IcosphereWeld weld = weldIcosphere(ICOSAHEDRON_FACES, subdivisions);
        const MeshParts split = splitIntoParts(weld, limit);
        expectPartsHoldTheWeld(weld, split, limit);
        if (subdivisions == 8) { // compact patches: few vertices on the cuts
            EXPECT_LT(split.vertices.size(), weld.vertexCount() * 102 / 100);
        }
    }
}

TEST(MeshParts, AMeshThatFitsIsOnePartInTheWeldsOwnNumbering)
{
    const IcosphereWeld weld = weldIcosphere(ICOSAHEDRON_FACES, 6);
    const MeshParts split = splitIntoParts(weld);
    ASSERT_EQ(split.parts.size(), 1u);
    for (std::uint32_t v = 0; v < weld.vertexCount(); ++v)
        ASSERT_EQ(split.vertices[v], v);
}

} // namespace
