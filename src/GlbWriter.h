#pragma once

#include "SafeFile.h"
#include "SavedLand.h"

// The planet as glTF 2.0 binary (.glb), one buffer in the BIN chunk:
// - mesh 0, "land": POSITION (with min and max), NORMAL (unit, outward) and
//   COLOR_0 (RGB, 8-bit normalised in a 4-byte element, linear as glTF
//   defines it: vertexColour decoded from sRGB, so a viewer shows what the
//   window shows), indices UNSIGNED_SHORT, counter-clockwise from outside
//   (glTF's front faces); past 65,535 vertices a primitive per part
//   (MeshParts.h), the vertices on the cuts in each part they touch;
// - mesh 1, "sea" (when land.sea is set): the undeformed sphere at the sea
//   radius (land.shape), under the land's indices up to
//   SAVED_SEA_SUBDIVISIONS_MAX subdivisions, beyond a coarser sphere with
//   its own (weldedSea), with a translucent material (alphaMode BLEND);
// - with land.rivers, mesh 2, "rivers": lines over the land's positions
//   (32-bit indices into all the parts' vertices);
// - with land.compress, the same meshes quantised and meshopt-encoded
//   (MeshCompression.h): EXT_meshopt_compression and KHR_mesh_quantization,
//   both required, each node's translation and scale placing its positions;
//   the land one primitive with 32-bit indices, colours 16-bit.
// - with land.climate, the land's biome class numbers as the attribute
//   _BIOME (UNSIGNED_BYTE, each in a 4-byte element), the legend in
//   asset.extras.biomes (BiomeLegend.h);
// - with land.textures, the land textured in place of COLOR_0 (GlbLayout.h):
//   TEXCOORD_0 on the maps (TextureSeams.h, its seams' copies added to each
//   of the land's vertex arrays), NORMAL the sphere's own, straight out, and
//   TANGENT pointing east, so the normal map (whose red points east and green
//   north) carries the whole relief; the two maps' PNG files inside the BIN
//   chunk as the material's baseColorTexture and normalTexture. The sea, with
//   no texture, keeps its own vertices and always has its own indices. A
//   textured land is written plain: land.compress is not read with it (the
//   command line refuses the pair).
// COLOR_0 shows land.view. A node and a default scene hold both; asset.extras has the seed, the
// subdivisions, the iterations, the mode and the header comment. Coordinates are the
// window's (+Y up), one sea radius a metre. Throws std::bad_alloc when the
// welded copies cannot be had.
void writeGlb(SafeFile& out, const LandView& land, const MeshInfo& info);
