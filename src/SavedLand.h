#pragma once

#include "Climate.h"
#include "ClimateView.h"
#include "IcosphereWeld.h"
#include "TerrainColours.h"
#include "WorldShape.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What every mesh writer shares: what made the planet, the land to save and
// how its welded vertices are read, coloured and numbered.

// What made a planet and how much of it the saved land holds; written into
// the header comment of everything saved from it.
struct MeshInfo {
    std::uint32_t seed;
    int subdivisions;
    int iterations;      // fault planes asked for
    int applied = -1;    // planes the land of a live generation holds; -1: a batch generation, all of them
    bool stopped = false; // the generation was stopped before its end
    WorldShape shape{};   // the sea and relief the land is saved with

    // Whether the land was raised live, plane by plane, rather than in batch:
    // the two step differently, so one seed gives different land in each.
    bool live() const { return applied >= 0; }
    double radiusKm = 0.0;      // the sea's radius in km; 0: not known, not written
    double metresPerUnit = 0.0; // elevation in metres per sea radius above the sea (PhysicalScale); 0: a curve's, or not known
    HeightCurve heightCurve{};  // elevation in metres at heights above the sea in sea radii (--hypsometry earth); empty: none
    int erosionSteps = 0;       // erosion steps the land has had (--erosion); 0: as generated
    // The settings record (SettingsRecord.h) written beside the header
    // comment, in each format's place for text; empty: none.
    std::string settings{};
};

// "Orbivane planet: seed S, subdivisions N, iterations I" for a finished
// planet; "... iterations K of I" for a live one caught part-way, and
// "... iterations K of I, stopped" for one stopped early; then the mode
// (", batch generation" or ", live generation"), ", erosion N steps" for
// eroded land, the shape's comment (", sea radius S, relief F") when it is
// not the default, and, when the size is known, ", planet radius R km, F
// metres per unit" (a linear scale) or ", planet radius R km, elevation
// -D to H m on Earth's hypsometric curve".
std::string headerComment(const MeshInfo& info);

// The pictures a textured land carries (a .glb's, GlbWriter.h): the colour
// map and the normal map (NormalMap.h), both equirectangular, as PNG files.
struct MeshTextures {
    std::vector<unsigned char> colourPng;
    std::vector<unsigned char> normalPng;
};

// The land to save: its soup (x, y, z per corner, the weld's corners) and
// the weld; or, when welded is set, x, y, z per welded vertex in the weld's
// numbering (a copy taken between two planes of a live generation, see
// LandSnapshot.h). sea, when set, is the
// undeformed sea sphere's soup, welded by the same weld (formats that hold
// more than one mesh write it).
struct LandView {
    const IcosphereWeld& weld;
    const float* soup;
    const float* welded = nullptr;
    const float* sea = nullptr;
    WorldShape shape{}; // the land is saved at its shown radius, the sea at the sea radius
    ClimateView view = ClimateView::Heights; // what the vertex colours show
    const Climate* climate = nullptr;        // per welded vertex; needed by every view but heights
    // The rivers as pairs of welded vertices, each a river vertex and its
    // receiver (Rivers.h riverSegments); formats that hold lines write them.
    const std::vector<std::uint32_t>* rivers = nullptr;
    const MeshTextures* textures = nullptr; // set: a .glb's land is textured with them
    // Formats that can: quantised and meshopt-encoded (a .glb, see GlbWriter.h).
    bool compress = false;
};

// The colour of welded vertex v at xyz (as saved) in land's view: vertexColour
// in the heights view, in the ice colour where its climate has ice (none
// without a climate), else climateVertexColour of its climate.
Rgb landColour(const LandView& land, std::size_t v, const float* xyz);

// The colour of welded vertex v at xyz (as saved) in a mesh that holds no
// sea of its own (the PLY), as the colour map of land's view shows it: the
// land as landColour has it, and where that is the sea floor (the heights
// view's land below the sea, a climate view's sea classes) the map's sea by
// depth, lighter over the shelf and darker over the abyss: openSeaColour
// under the climate's sea ice (iceCovered) in the heights view,
// climateSeaColour under the sea ice in the climate views. Never the
// beach's colour below the sea.
Rgb colourWithoutSea(const LandView& land, std::size_t v, const float* xyz);

// The colour of a saved sea's surface, sRGB as the palette has it (the
// maps' shallow sea): the .glb's sea material and the OBJ's sea vertices.
const Rgb& seaSurfaceColour();

// Welded vertices as the writers take them: x, y, z per vertex in the weld's
// vertex order, and per vertex the unit outward normal (landNormals).
struct WeldedMesh {
    std::vector<float> positions;
    std::vector<float> normals;
};

// The one place the writers get welded positions from: the snapshot's copy,
// or each vertex read at its first corner; then the normals of that copy.
// Throws std::bad_alloc when the arrays cannot be had.
WeldedMesh weldedLand(const LandView& land);

// The most subdivisions a saved sea has: 20,480 triangles. A finer sphere
// looks no rounder under the land and would double a fine planet's file.
constexpr int SAVED_SEA_SUBDIVISIONS_MAX = 5;

// The sea sphere as saved: the land's own sphere up to
// SAVED_SEA_SUBDIVISIONS_MAX subdivisions, a coarser one of that many beyond.
struct SeaMesh {
    IcosphereWeld weld; // its faces: the land's weld when as fine as the land
    bool ownFaces;      // whether its faces differ from the land's
    WeldedMesh mesh;    // positions at the sea radius, normals as the land's are made
};

// The sea sphere of land (land.sea must be set), its vertices read from that
// sphere (a coarse sphere's vertices are among a finer one's, bit for bit),
// without a lock: nothing writes the sea after it is built. Throws
// std::bad_alloc when the arrays cannot be had.
SeaMesh weldedSea(const LandView& land);

// The colour a vertex at xyz (sea radii from the centre, as saved with
// shape) gets in every saved mesh: terrainColour of its height as generated,
// (radius - sea) / relief x STEPS_PER_UNIT, and its latitude (y / radius: the
// planet's own +y is north), as the land shader computes it. The window writes
// these values to the screen
// unconverted, so they are sRGB-encoded as displayed; unlit.
Rgb vertexColour(const float* xyz, const WorldShape& shape = {});

// An sRGB-encoded channel (0 to 1) made linear, as glTF's colours are: the
// inverse of the sRGB transfer function.
float linearFromSrgb(float channel);


// Welded vertex k (0 to 2) of face f, counter-clockwise from outside.
std::uint32_t faceVertex(const IcosphereWeld& weld, std::size_t face, int k);

// value's 4 bytes, little-endian, at out.
void putU32(char* out, std::uint32_t value);
