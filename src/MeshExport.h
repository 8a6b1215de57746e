#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What made a planet; written into the header comment of an exported file.
struct MeshInfo {
    std::uint32_t seed;
    int subdivisions;
    int iterations;
};

// "Orbivane planet: seed S, subdivisions N, iterations I": the line that
// every file saved from a planet carries, so that it can be made again.
std::string headerComment(const MeshInfo& info);

// Welded, counter-clockwise-from-outside mesh of a triangle soup.
struct IndexedMesh {
    std::vector<float> positions;      // x, y, z per vertex
    std::vector<std::uint32_t> faces;  // 3 per face, 0-based indices into positions
};

// Merges corners whose x, y and z have the same bit patterns into one vertex,
// numbered in order of first appearance. Bits, not values, decide: +0.0 and
// -0.0 stay two vertices, so every welded position is exactly one of the
// input's. The input's triangles run clockwise from outside; triangle (a, b, c)
// becomes face (a, c, b). vertices holds vertexCount x, y, z triples; a
// trailing incomplete triangle is ignored and a count below 3 gives an empty
// mesh. Throws std::bad_alloc when the arrays cannot be had.
IndexedMesh weldTriangles(const float* vertices, int vertexCount);

// Writes the welded mesh to path; the extension (".ply" or ".obj", any case)
// picks binary little-endian PLY or text OBJ. Returns false and says why in
// error when the type is unknown, memory runs out or the file cannot be
// written; a partly written file is removed then. The caller keeps the
// vertices from changing meanwhile (the planet's mutex during live generation).
bool exportMesh(const std::string& path, const float* vertices, int vertexCount, const MeshInfo& info,
                std::string& error);

// True when the file name of path ends in ".ply" or ".obj", in any case. A name
// that is only the extension, such as ".ply", is a hidden file without one.
bool isExportPath(const std::string& path);
