#pragma once

#include "IcosphereWeld.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

// Coarser levels of detail of an icosphere, drawn over its full level's
// welded vertices, and when to draw them. No GL here.
//
// Level k of an n-subdivision icosphere (0 <= k <= n) is the icosphere of k
// subdivisions: its vertices are the same recursive midpoints, so each is,
// bit for bit, a vertex of the full level, and a coarse level shows the same
// land at fewer points.

// The triangles of level `level` (0 to the weld's own subdivisions) as
// welded-vertex indices, three a triangle, 20 x 4^level triangles, in the
// soup's order and winding (clockwise seen from outside). The full level is
// the soup's own cornerToVertex. Throws std::bad_alloc without the memory.
std::vector<std::uint32_t> levelTriangles(const IcosphereWeld& weld, int level);

// The subdivisions of a welded icosphere (its faces are 20 x 4^n).
int weldSubdivisions(const IcosphereWeld& weld);

// Planets of fewer subdivisions draw fast enough to be drawn whole always.
constexpr int FIRST_COARSENED_SUBDIVISIONS = 7;

// A coarser level as a mesh of its own, for a planet the GL has no room to
// hold whole: only that level's vertices, numbered by first appearance in
// its triangles.
struct LevelMesh {
    std::vector<std::uint32_t> triangles;    // this mesh's vertex numbers, three a triangle, as levelTriangles
    std::vector<std::uint32_t> corners;      // per vertex: the soup corner its position is read from
    std::vector<std::uint32_t> weldVertices; // per vertex: its number in the full level's weld
};
// Level 0 to the weld's subdivisions. Throws std::bad_alloc without the memory.
LevelMesh levelMesh(const IcosphereWeld& weld, int level);

// Bytes of address space the GL driver (Mesa's llvmpipe measured) takes to
// compile the planet's two programs and to hold and draw an icosphere of
// `level` subdivisions whole: its buffers, and the vertices its draws
// shade (about 170 bytes each).
std::uint64_t drawingBytes(int level);

// Bytes of address space a worker beside the window must find free before
// it starts: its own peak, `bytesPerVertex` for each of the planet's
// `vertices` welded vertices, its thread (stack and allocation arena), and
// what the driver must still find once the worker has taken its share (a
// driver that runs out compiling a program aborts the process).
std::uint64_t besideDrawingBytes(std::size_t vertices, std::uint64_t bytesPerVertex);

// The finest level, from subdivisions down to 0, whose drawingBytes `room`
// says there is room for; -1 when not even level 0 fits.
int finestLevelWithin(int subdivisions, const std::function<bool(std::uint64_t)>& room);

// What the view needs to size triangles on the screen.
struct ScreenScale {
    double distance;           // camera to the planet's centre, planet radii
    double fieldOfViewDegrees; // vertical
    int framebufferHeight;     // pixels
};

// The coarsest level whose triangles are still about two pixels an edge on
// the screen (sized at the depth of the planet's centre), never finer than
// the planet itself; the full level for planets below
// FIRST_COARSENED_SUBDIVISIONS.
int levelForScreen(int subdivisions, const ScreenScale& scale);

// Whether the user's hand is at work on the view: a drag held, or a wheel
// notch, press or release less than STILL_SECONDS ago. Times in seconds on
// any one clock that never goes back.
class HandActivity {
public:
    static constexpr double STILL_SECONDS = 0.2;

    void touched(double now) { lastTouch = now; }
    bool atWork(double now, bool holding) const { return holding || now - lastTouch < STILL_SECONDS; }
    void reset() { lastTouch = -std::numeric_limits<double>::infinity(); }

private:
    double lastTouch = -std::numeric_limits<double>::infinity();
};
