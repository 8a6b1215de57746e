#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "DetailLevels.h"
#include "GlBuffer.h"

class ClimateWorker;
class NormalsWorker;
class Planet;
struct IcosphereWeld;

// The land and the sea of a planet as buffer objects: one vertex buffer each,
// of welded vertices (10 x 4^n + 2), and one index buffer both share, with
// the icosphere's triangles in the order and winding it emits them (clockwise
// seen from outside); beside the land, its smooth normals. The sea goes to
// the GL once; the land once, and again in a frame where a live generation
// has changed it since, and its normals whenever their thread has new ones;
// once the land is final and its shape settled, its climate, made by a
// thread of its own, as texture coordinate 1 (ClimateWorker.h).
// Needs the current window's context for its whole life.
//
// Every upload is checked: when the GL could not make a buffer, the buffers
// are not complete and draw nothing from then on, so the driver never reads
// a buffer it has no storage for.
class PlanetBuffers {
public:
    // Holds the planet at `level` (0 to its subdivisions; see DetailLevels.h):
    // the planet whole, or a coarser level of it as a smaller mesh. Waits for
    // the land's first smooth normals, and for its climate when the land is
    // final (a coarser mesh is shown by its heights); without a thread for
    // them the land has none (hasNormals, hasClimate). The planet must outlive
    // the buffers: their threads read its land.
    PlanetBuffers(Planet& planet, int level);
    ~PlanetBuffers();

    // Whether every buffer was made; drawing does nothing otherwise.
    bool complete() const { return made; }
    // The subdivisions the buffers hold the planet at.
    int heldLevel() const { return topLevel; }

    // Uploads the land again when the generation has moved on since the last
    // upload; reads it under the planet's mutex, so a frame sees every vertex
    // either before or after a step.
    void refreshLand(Planet& planet);

    // Takes the land of another planet of the same subdivisions (see fits):
    // the sea and the indices are the same and stay, only the land is sent.
    void takeLand(Planet& planet);
    bool fits(const Planet& planet) const;

    // Stops the threads that read the planet for its smooth normals and its
    // climate, before the planet goes; what they sent stays until takeLand.
    void stopReadingPlanet();

    // fixedPipeline: without a program, the fixed pipeline lights the
    // triangles with each vertex's direction from the centre as its normal:
    // the sphere's own, and near enough for land within a few percent of it.
    // With smooth normals, the land sends them beside its positions.
    void drawLand(bool fixedPipeline) const;
    // Indices into the land's welded vertices, drawn as mode: count of them
    // from the first-th in buffer (an element array buffer).
    struct Elements {
        GLenum mode;
        GLuint buffer;
        GLsizei first;
        GLsizei count;
    };
    // Lines (or any elements) over the land's welded vertices, with its
    // smooth normals, or without them each vertex's direction as its normal,
    // and its climate once sent (texture coordinate 1); the same at every
    // level of detail.
    void drawLandLines(const Elements& lines) const;
    // A program sees the land under each sea vertex as texture coordinate 0
    // (x, y, z): how deep the sea is there. Land and sea see the climate,
    // once sent, as texture coordinate 1.
    void drawSea(bool fixedPipeline) const;
    // The sea's unit sphere alone, for a program that scales it.
    void drawShell() const;

    // Whether the land has smooth normals to send.
    bool hasNormals() const { return normalsSent; }

    // Whether the climate has been sent: the climate views can be drawn.
    bool hasClimate() const { return climateSent; }

    // Bytes sent to the GL so far: vertex and index data.
    std::uint64_t bytesSent() const { return sent; }

    // The level of detail the land and the sea are drawn at from now on (see
    // DetailLevels.h): a coarser index buffer over the same vertices. A
    // level with no buffer of its own (the planet's subdivisions, or more)
    // draws the planet whole. The sea, a smooth shell, may be drawn coarser
    // than the land (TurningDetail.h).
    void useLevel(int level) { chosenLevel = chosenSeaLevel = level; }
    void useLevels(int land, int sea) { chosenLevel = land, chosenSeaLevel = sea; }
    int levelDrawn() const { return drawnLevel(chosenLevel); }
    int seaLevelDrawn() const { return drawnLevel(chosenSeaLevel); }

private:
    // Per vertex of the buffers, the soup corner its position is read from.
    const std::vector<std::uint32_t>& vertexCorners(const Planet& planet) const;
    void sendIndices(const std::vector<std::uint32_t>& triangles);
    int drawnLevel(int chosen) const;
    // Sends the land's vertices of `level` and finer, or all of them: while
    // a live generation raises the land, only the levels drawn go each time.
    void uploadLand(Planet& planet, int level);
    // The weld's vertices of a coarser level; none without the memory.
    const std::vector<std::uint32_t>* levelVertices(const IcosphereWeld& weld, int level);
    void uploadNormals(const std::vector<float>& normals);
    // Starts the thread of planet's smooth normals and sends the first.
    void startNormals(Planet& planet);
    void takeNormals();
    // Starts the climate's thread once the land is final, waiting for it when asked.
    void startClimate(Planet& planet, bool wait);
    void takeClimate();
    void uploadClimate(const std::vector<float>& values);
    void bindClimate(bool bind) const;
    void draw(const GlBuffer& vertices, bool fixedPipeline) const;
    void drawElements(const GlBuffer& vertices, bool fixedPipeline, const Elements& elements) const;
    // Runs draw(without normals) with the land's smooth normals sent, when
    // there are any; without them the fixed pipeline takes each vertex's
    // direction as its normal.
    template <typename Draw>
    void drawOverLand(bool fixedPipeline, Draw draw) const
    {
        if (normalsSent) {
            glBindBuffer(GL_ARRAY_BUFFER, normals.name);
            glEnableClientState(GL_NORMAL_ARRAY);
            glNormalPointer(GL_FLOAT, 0, nullptr);
        }
        draw(fixedPipeline && !normalsSent);
        if (normalsSent)
            glDisableClientState(GL_NORMAL_ARRAY);
    }
    void sendCoarseLevels(const IcosphereWeld& weld);

    GlBuffer land, sea, indices;
    GLsizei indexCount = 0;
    // The planet's corner count, to tell whether another planet fits.
    std::size_t soupCorners = 0;
    // The coarser level held instead of the planet whole; none when whole.
    std::optional<LevelMesh> reduced;
    bool made = true;
    // Index buffers of levels 0 to n - 1, for planets drawn coarser while
    // the view moves; none for smaller planets or without the memory.
    std::vector<GlBuffer> coarseIndices;
    int topLevel = 0; // the level the buffers hold
    int chosenLevel = 0;
    int chosenSeaLevel = 0;
    // The finest level whose vertices the land buffer holds as of
    // uploadedVersion: every vertex when topLevel.
    int landLevel = 0;
    // Per coarser level, its vertices in the weld, found when first sent alone.
    std::vector<std::vector<std::uint32_t>> coarseVertices;
    std::uint64_t uploadedVersion = 0;
    std::uint64_t sent = 0;
    // Smooth normals of the land, from a thread that never touches the GL.
    GlBuffer normals;
    bool normalsSent = false;
    std::unique_ptr<NormalsWorker> worker;
    // The climate: temperature, rain and class per welded vertex.
    GlBuffer climate;
    bool climateSent = false;
    bool climateTried = false; // its thread was started (or could not be) for this land
    std::unique_ptr<ClimateWorker> climateWorker;
};
