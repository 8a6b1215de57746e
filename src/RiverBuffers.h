#pragma once

#include "GlBuffer.h"

#include <memory>
#include <vector>

class Planet;
class PlanetBuffers;
class RiverWorker;
struct RiverGeometry;
struct RiverOrderLines;

// The rivers and lakes of the planet shown, as buffer objects: the rivers'
// lines as indices into the land's welded vertices (drawn over its buffer,
// so they sit on the land as it is shown), the lakes' triangles with their
// own vertices at the lakes' levels. They are worked out on a RiverWorker's
// thread once the planet's land has stopped changing (its shape is
// settled); until then, and when there is no memory or thread for them,
// nothing is drawn. Needs the window's context for its whole life.
class RiverBuffers {
public:
    RiverBuffers();
    ~RiverBuffers();
    RiverBuffers(const RiverBuffers&) = delete;
    RiverBuffers& operator=(const RiverBuffers&) = delete;

    // Lets go of the rivers of the planet before and follows planet from now
    // on. waitForThem: when planet's land is settled, waits for its rivers,
    // so that the next frame shows them. landWhole: whether the land is drawn
    // whole; the rivers number its vertices, so a land held coarser for want
    // of memory gets none, nor do they take the memory the driver needs.
    void follow(Planet& planet, bool waitForThem, bool landWhole);

    // Call before each frame: starts working out the rivers once the land is
    // settled, and uploads them when they are made.
    void refresh(Planet& planet);

    // Stops the thread that reads the planet, before the planet goes.
    void stopReadingPlanet();

    // Whether rivers or lakes have been uploaded and are drawn.
    bool ready() const { return uploaded; }

    // The rivers as lines over land's vertices, wider the higher their order,
    // riverLineWidth times pixelScale pixels wide.
    void drawRivers(const PlanetBuffers& land, float pixelScale = 1.0f) const;
    // The lakes' triangles; a program sees each corner's floor as texture
    // coordinate 0 (RiverGeometry::lakeFloor), the fixed pipeline its
    // direction as its normal.
    void drawLakes(bool fixedPipeline) const;

private:
    void start(Planet& planet);
    void take(bool wait);
    bool upload(const RiverGeometry& geometry);

    std::unique_ptr<RiverWorker> worker;
    bool started = false; // for the planet followed
    bool wanted = false;  // the land they lie on is drawn whole
    bool uploaded = false;
    GlBuffer lines, lakeTriangles, lakeSurface, lakeFloor;
    std::vector<RiverOrderLines> orders;
    GLsizei lakeIndices = 0;
};

// The width in pixels of the lines of rivers of a Strahler order (1 and up):
// 2 for order 1, a pixel more for each order above, 6 at the most.
float riverLineWidth(int order);
