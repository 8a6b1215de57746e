#include "RiverBuffers.h"

#include "DetailLevels.h"
#include "LogManager.h"
#include "MemoryReserve.h"
#include "Planet.h"
#include "PlanetBuffers.h"
#include "RiverWorker.h"

#include <algorithm>
#include <system_error>

namespace {

constexpr const char* NO_MEMORY = "Not enough memory to show the rivers and lakes; they are not drawn.";

// Sends data into buffer as its whole store; false when the GL kept less.
template <typename T>
bool sendChecked(GLenum target, const GlBuffer& buffer, const std::vector<T>& data)
{
    const auto bytes = static_cast<GLsizeiptr>(data.size() * sizeof(T));
    glBindBuffer(target, buffer.name);
    glBufferData(target, bytes, data.empty() ? nullptr : data.data(), GL_STATIC_DRAW);
    GLint size = -1;
    glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
    glBindBuffer(target, 0);
    return size == bytes;
}

} // namespace

RiverBuffers::RiverBuffers() = default;
RiverBuffers::~RiverBuffers() = default;

void RiverBuffers::follow(Planet& planet, bool waitForThem, bool landWhole)
{
    stopReadingPlanet();
    wanted = landWhole;
    started = uploaded = false;
    orders.clear();
    lakeIndices = 0;
    if (planet.shapeSettled) {
        start(planet);
        take(waitForThem);
    }
}

void RiverBuffers::refresh(Planet& planet)
{
    if (!started && planet.shapeSettled)
        start(planet);
    take(false);
}

void RiverBuffers::stopReadingPlanet()
{
    worker.reset();
}

void RiverBuffers::start(Planet& planet)
{
    started = true;
    if (!wanted ||
        !canReserve(besideDrawingBytes(planet.weld.vertexCount(), RiverWorker::BYTES_PER_VERTEX))) {
        ORB_LOG(Warning, "%s", NO_MEMORY);
        return;
    }
    try {
        worker = std::make_unique<RiverWorker>(planet, planet.shape);
    } catch (const std::system_error& error) {
        ORB_LOG(Warning, "No thread for the rivers and lakes (%s); they are not drawn.", error.what());
    }
}

// Uploads what the worker has made, waiting for it if asked.
void RiverBuffers::take(bool wait)
{
    if (!worker)
        return;
    const std::optional<RiverGeometry> made = wait ? worker->waitAndTake() : worker->take();
    if (!made && !worker->failed())
        return; // under way
    worker.reset();
    if (!made || !upload(*made)) {
        orders.clear();
        lakeIndices = 0;
        ORB_LOG(Warning, "%s", NO_MEMORY);
    }
}

bool RiverBuffers::upload(const RiverGeometry& geometry)
{
    if (!sendChecked(GL_ELEMENT_ARRAY_BUFFER, lines, geometry.lines) ||
        !sendChecked(GL_ELEMENT_ARRAY_BUFFER, lakeTriangles, geometry.lakeTriangles) ||
        !sendChecked(GL_ARRAY_BUFFER, lakeSurface, geometry.lakeSurface) ||
        !sendChecked(GL_ARRAY_BUFFER, lakeFloor, geometry.lakeFloor))
        return false;
    orders = geometry.orders;
    lakeIndices = static_cast<GLsizei>(geometry.lakeTriangles.size());
    uploaded = true;
    return true;
}

float riverLineWidth(int order)
{
    constexpr int WIDEST = 6; // pixels, from order 5 on
    return static_cast<float>(std::min(1 + order, WIDEST));
}

void RiverBuffers::drawRivers(const PlanetBuffers& land, float pixelScale) const
{
    if (!uploaded)
        return;
    glPushAttrib(GL_LINE_BIT);
    for (const RiverOrderLines& group : orders) {
        glLineWidth(riverLineWidth(group.order) * pixelScale);
        land.drawLandLines({GL_LINES, lines.name, GLsizei(group.first), GLsizei(group.count)});
    }
    glPopAttrib();
}

void RiverBuffers::drawLakes(bool fixedPipeline) const
{
    if (!uploaded || lakeIndices == 0)
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, lakeSurface.name);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    if (fixedPipeline) {
        glEnable(GL_NORMALIZE);
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, nullptr);
    } else {
        glBindBuffer(GL_ARRAY_BUFFER, lakeFloor.name);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(3, GL_FLOAT, 0, nullptr);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, lakeTriangles.name);
    glDrawElements(GL_TRIANGLES, lakeIndices, GL_UNSIGNED_INT, nullptr);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (fixedPipeline) {
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisable(GL_NORMALIZE);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}
