#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A mesh's arrays made small for glTF: quantised as KHR_mesh_quantization
// allows, then encoded with meshoptimizer as EXT_meshopt_compression decodes
// them. Every element takes a multiple of 4 bytes, as glTF aligns vertex
// attributes and the encoder requires; pads are zero.

// Positions as normalised shorts: x, y, z and a zero pad per vertex (8
// bytes). A decoder reads q / 32767; the node's translation and uniform scale
// (uniform, so the normals stay true) place it: position = translation +
// scale x q / 32767.
struct QuantisedPositions {
    std::vector<std::int16_t> xyzw;
    float translation[3];
    float scale;
    std::int16_t low[3];  // per axis, the smallest q: the accessor's min
    std::int16_t high[3]; // per axis, the largest q: the accessor's max
};

QuantisedPositions quantisePositions(const std::vector<float>& xyz);

// Unit vectors as normalised bytes, x, y, z and a zero pad per vector.
std::vector<std::int8_t> quantiseNormals(const std::vector<float>& xyz);

// Channels from 0 to 1 as normalised unsigned shorts, r, g, b and a zero pad
// per colour: 16 bits keep linear colours' dark shades apart.
std::vector<std::uint16_t> quantiseColours(const std::vector<float>& rgb);

// count elements of stride bytes (a multiple of 4, up to 256) at data, as
// meshopt_encodeVertexBuffer encodes them (mode ATTRIBUTES). Throws
// std::bad_alloc when the buffer cannot be had.
std::vector<unsigned char> encodeVertices(const void* data, std::size_t count, std::size_t stride);

// A triangle list (mode TRIANGLES) or any other list of indices (mode
// INDICES), indices below vertexCount.
std::vector<unsigned char> encodeTriangles(const std::vector<std::uint32_t>& indices, std::size_t vertexCount);
std::vector<unsigned char> encodeIndices(const std::vector<std::uint32_t>& indices, std::size_t vertexCount);
