#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <vector>

class Planet;
struct IcosphereWeld;

// One GL buffer object; deleted with the object. Needs the context that made it.
class GlBuffer {
public:
    GlBuffer() { glGenBuffers(1, &name); }
    ~GlBuffer() { glDeleteBuffers(1, &name); }
    GlBuffer(const GlBuffer&) = delete;
    GlBuffer& operator=(const GlBuffer&) = delete;
    GLuint name = 0;
};

// The land and the sea of a planet as buffer objects: one vertex buffer each,
// of welded vertices (10 x 4^n + 2), and one index buffer both share, with
// the icosphere's triangles in the order and winding it emits them (clockwise
// seen from outside). The sea goes to the GL once; the land once, and again
// in a frame where a live generation has changed it since. Needs the current
// window's context for its whole life.
class PlanetBuffers {
public:
    explicit PlanetBuffers(Planet& planet);

    // Uploads the land again when the generation has moved on since the last
    // upload; reads it under the planet's mutex, so a frame sees every vertex
    // either before or after a step.
    void refreshLand(Planet& planet);

    // Takes the land of another planet of the same subdivisions (see fits):
    // the sea and the indices are the same and stay, only the land is sent.
    void takeLand(Planet& planet);
    bool fits(const Planet& planet) const;

    // fixedPipeline: without a program, the fixed pipeline lights the
    // triangles with each vertex's direction from the centre as its normal:
    // the sphere's own, and near enough for land within a few percent of it.
    void drawLand(bool fixedPipeline) const;
    void drawSea(bool fixedPipeline) const;

    // Bytes sent to the GL so far: vertex and index data.
    std::uint64_t bytesSent() const { return sent; }

    // The level of detail the land and the sea are drawn at from now on (see
    // DetailLevels.h): a coarser index buffer over the same vertices. A
    // level with no buffer of its own (the planet's subdivisions, or more)
    // draws the planet whole.
    void useLevel(int level) { chosenLevel = level; }
    int levelDrawn() const;

private:
    void uploadLand(Planet& planet);
    void draw(const GlBuffer& vertices, bool fixedPipeline) const;
    void sendCoarseLevels(const IcosphereWeld& weld);

    GlBuffer land, sea, indices;
    GLsizei indexCount = 0;
    // Index buffers of levels 0 to n - 1, for planets drawn coarser while
    // the view moves; none for smaller planets or without the memory.
    std::vector<GlBuffer> coarseIndices;
    int fullLevel = 0;
    int chosenLevel = 0;
    std::uint64_t uploadedVersion = 0;
    std::uint64_t sent = 0;
};
