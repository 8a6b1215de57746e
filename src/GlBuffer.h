#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <vector>

#include "WorldShape.h"

// One GL buffer object; deleted with the object. Needs the context that made it.
class GlBuffer {
public:
    GlBuffer() { glGenBuffers(1, &name); }
    ~GlBuffer() { glDeleteBuffers(1, &name); }
    GlBuffer(const GlBuffer&) = delete;
    GlBuffer& operator=(const GlBuffer&) = delete;
    GLuint name = 0;
};

// Whether the GL made what was asked since the last call: an upload that
// found no memory leaves GL_OUT_OF_MEMORY, and a buffer without storage.
bool glMadeIt();

// Fills the bound array buffer with the welded positions: the first copy of
// every vertex of a soup, written straight into the GL's memory. Returns the
// bytes sent; 0 when the GL has no room. Each at the radius shape shows it at.
GLsizeiptr sendWelded(const float* soup, const std::vector<std::uint32_t>& vertexToCorner, GLenum usage,
                      const WorldShape& shape = {});

// Writes the positions of the welded vertices listed into the bound array
// buffer, which already holds every vertex, and leaves the others as they
// are. Returns the bytes written; 0 when the GL could not map the buffer.
GLsizeiptr sendSomeWelded(const float* soup, const std::vector<std::uint32_t>& vertexToCorner,
                          const std::vector<std::uint32_t>& listed, const WorldShape& shape);
