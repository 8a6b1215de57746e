#include "PlanetBuffers.h"

#include "DetailLevels.h"
#include "LogManager.h"
#include "NormalsWorker.h"
#include "Planet.h"

#include <cstring>
#include <mutex>
#include <new>
#include <system_error>

namespace {

// Fills the bound array buffer with the welded positions: the first copy of
// every vertex of a soup, written straight into the GL's memory. Returns the
// bytes sent; 0, with a GL error to say why, when the GL has no room. Each
// at the radius shape shows it at.
GLsizeiptr sendWelded(const float* soup, const std::vector<std::uint32_t>& vertexToCorner, GLenum usage,
                      const WorldShape& shape = {})
{
    const auto bytes = static_cast<GLsizeiptr>(vertexToCorner.size() * 3 * sizeof(float));
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, usage);
    auto* out = static_cast<float*>(glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    if (!out)
        return 0;
    for (std::size_t v = 0; v < vertexToCorner.size(); ++v)
        std::memcpy(out + 3 * v, soup + 3 * std::size_t(vertexToCorner[v]), 3 * sizeof(float));
    if (shape.relief != 1.0)
        for (std::size_t v = 0; v < vertexToCorner.size(); ++v)
            moveToShownRadius(out + 3 * v, shape);
    return glUnmapBuffer(GL_ARRAY_BUFFER) ? bytes : 0;
}

} // namespace

PlanetBuffers::PlanetBuffers(Planet& planet)
{
    const IcosphereWeld& weld = planet.weld;
    indexCount = static_cast<GLsizei>(weld.cornerToVertex.size());

    // The soup's own corner order: the same triangles, wound the same way.
    const auto indexBytes = static_cast<GLsizeiptr>(weld.cornerToVertex.size() * sizeof(std::uint32_t));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.name);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indexBytes, weld.cornerToVertex.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    fullLevel = chosenLevel = weldSubdivisions(weld);
    if (fullLevel >= FIRST_COARSENED_SUBDIVISIONS)
        sendCoarseLevels(weld);

    glBindBuffer(GL_ARRAY_BUFFER, sea.name);
    const GLsizeiptr vertexBytes = sendWelded(planet.water->vertices.data(), weld.vertexToCorner, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    sent += static_cast<std::uint64_t>(indexBytes + vertexBytes);

    uploadLand(planet);
    startNormals(planet);
}

void PlanetBuffers::startNormals(Planet& planet)
{
    try {
        worker = std::make_unique<NormalsWorker>(planet);
    } catch (const std::system_error& error) {
        ORB_LOG(Error, "No thread for the land's smooth shading (%s); the land is drawn faceted.", error.what());
        return;
    }
    if (const auto first = worker->waitAndTake())
        uploadNormals(*first);
    takeNormals();
}

// A third as many indices again as the full level, one level at a time.
// Without the memory, here or in the GL, the planet is always drawn whole.
void PlanetBuffers::sendCoarseLevels(const IcosphereWeld& weld)
{
    coarseIndices = std::vector<GlBuffer>(static_cast<std::size_t>(fullLevel));
    bool complete = true;
    for (int level = 0; level < fullLevel && complete; ++level) {
        std::vector<std::uint32_t> triangles;
        try {
            triangles = levelTriangles(weld, level);
        } catch (const std::bad_alloc&) {
            complete = false;
            continue;
        }
        const auto bytes = static_cast<GLsizeiptr>(triangles.size() * sizeof(std::uint32_t));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, coarseIndices[std::size_t(level)].name);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, bytes, triangles.data(), GL_STATIC_DRAW);
        GLint size = 0;
        glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
        complete = size == bytes;
        sent += static_cast<std::uint64_t>(bytes);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (!complete) {
        coarseIndices.clear();
        ORB_LOG(Warning, "Not enough memory for the coarser levels of the planet; it is drawn whole while it moves.");
    }
}

int PlanetBuffers::levelDrawn() const
{
    return chosenLevel >= 0 && chosenLevel < static_cast<int>(coarseIndices.size()) ? chosenLevel : fullLevel;
}

PlanetBuffers::~PlanetBuffers() = default;

void PlanetBuffers::refreshLand(Planet& planet)
{
    if (planet.landVersion.load(std::memory_order_acquire) != uploadedVersion) {
        uploadLand(planet);
        if (worker)
            worker->request();
    }
    takeNormals();
}

// Uploads the newest normals the thread has finished, if any.
void PlanetBuffers::takeNormals()
{
    if (!worker)
        return;
    if (worker->takeFailure())
        ORB_LOG(Error, "Not enough memory for the land's smooth shading; the land keeps its former normals.");
    if (const auto fresh = worker->take())
        uploadNormals(*fresh);
}

void PlanetBuffers::uploadNormals(const std::vector<float>& values)
{
    const auto bytes = static_cast<GLsizeiptr>(values.size() * sizeof(float));
    glBindBuffer(GL_ARRAY_BUFFER, normals.name);
    glBufferData(GL_ARRAY_BUFFER, bytes, values.data(), GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    normalsSent = true;
    sent += static_cast<std::uint64_t>(bytes);
}

void PlanetBuffers::stopReadingPlanet()
{
    worker.reset();
}

void PlanetBuffers::takeLand(Planet& planet)
{
    worker.reset(); // it reads the planet going
    normalsSent = false;
    uploadLand(planet);
    startNormals(planet);
}

bool PlanetBuffers::fits(const Planet& planet) const
{
    return static_cast<std::size_t>(indexCount) == planet.weld.cornerToVertex.size();
}

void PlanetBuffers::uploadLand(Planet& planet)
{
    glBindBuffer(GL_ARRAY_BUFFER, land.name);
    {
        std::lock_guard<std::mutex> lock(planet.mutex);
        uploadedVersion = planet.landVersion.load(std::memory_order_acquire);
        sent += static_cast<std::uint64_t>(sendWelded(planet.vertices.data(), planet.weld.vertexToCorner, GL_DYNAMIC_DRAW,
                                                          planet.shape));
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void PlanetBuffers::draw(const GlBuffer& vertices, bool fixedPipeline) const
{
    const int level = levelDrawn();
    const bool whole = level == fullLevel;
    drawElements(vertices, fixedPipeline, {GL_TRIANGLES, whole ? indices.name : coarseIndices[std::size_t(level)].name, 0,
                                           whole ? indexCount : GLsizei(60) << (2 * level)});
}

void PlanetBuffers::drawElements(const GlBuffer& vertices, bool fixedPipeline, const Elements& elements) const
{
    glBindBuffer(GL_ARRAY_BUFFER, vertices.name);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, elements.buffer);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    if (fixedPipeline) {
        glEnable(GL_NORMALIZE);
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, nullptr);
    }
    const auto offset = static_cast<std::uintptr_t>(elements.first) * sizeof(std::uint32_t);
    glDrawElements(elements.mode, elements.count, GL_UNSIGNED_INT, reinterpret_cast<const void*>(offset));
    if (fixedPipeline) {
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisable(GL_NORMALIZE);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void PlanetBuffers::drawLand(bool fixedPipeline) const
{
    drawOverLand(fixedPipeline, [&](bool withoutNormals) { draw(land, withoutNormals); });
}

void PlanetBuffers::drawLandLines(const Elements& lines) const
{
    // A line has no facet: without smooth normals, its vertices' directions.
    drawOverLand(true, [&](bool directions) { drawElements(land, directions, lines); });
}

void PlanetBuffers::drawSea(bool fixedPipeline) const
{
    if (!fixedPipeline) {
        glBindBuffer(GL_ARRAY_BUFFER, land.name);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(3, GL_FLOAT, 0, nullptr);
    }
    draw(sea, fixedPipeline);
    if (!fixedPipeline)
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void PlanetBuffers::drawShell() const
{
    draw(sea, false);
}
