#include "PlanetBuffers.h"

#include "ClimateWorker.h"
#include "DetailLevels.h"
#include "LogManager.h"
#include "MemoryReserve.h"
#include "NormalsWorker.h"
#include "Planet.h"

#include <cstring>
#include <mutex>
#include <new>
#include <system_error>

PlanetBuffers::PlanetBuffers(Planet& planet, int level)
{
    const IcosphereWeld& weld = planet.weld;
    soupCorners = weld.cornerToVertex.size();
    topLevel = chosenLevel = level;
    if (level < weldSubdivisions(weld)) {
        try {
            reduced = levelMesh(weld, level);
        } catch (const std::bad_alloc&) {
            made = false;
            return;
        }
    }
    // The soup's own corner order: the same triangles, wound the same way.
    sendIndices(reduced ? reduced->triangles : weld.cornerToVertex);
    if (made && !reduced && level >= FIRST_COARSENED_SUBDIVISIONS)
        sendCoarseLevels(weld);

    glBindBuffer(GL_ARRAY_BUFFER, sea.name);
    const GLsizeiptr vertexBytes = sendWelded(planet.water->vertices.data(), vertexCorners(planet), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    made = made && vertexBytes > 0;
    sent += static_cast<std::uint64_t>(vertexBytes);
    if (!made)
        return;
    uploadLand(planet, topLevel);
    if (made) {
        startNormals(planet);
        startClimate(planet, true);
    }
}

const std::vector<std::uint32_t>& PlanetBuffers::vertexCorners(const Planet& planet) const
{
    return reduced ? reduced->corners : planet.weld.vertexToCorner;
}

void PlanetBuffers::sendIndices(const std::vector<std::uint32_t>& triangles)
{
    indexCount = static_cast<GLsizei>(triangles.size());
    const auto bytes = static_cast<GLsizeiptr>(triangles.size() * sizeof(std::uint32_t));
    glMadeIt();
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices.name);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, bytes, triangles.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    made = glMadeIt();
    if (made)
        sent += static_cast<std::uint64_t>(bytes);
}

void PlanetBuffers::startClimate(Planet& planet, bool wait)
{
    // A planet drawn coarser for want of memory is shown by its heights: its
    // climate is made for the whole weld.
    if (climateTried || !planet.shapeSettled || reduced)
        return;
    climateTried = true;
    if (!canReserve(besideDrawingBytes(planet.weld.vertexCount(), ClimateWorker::BYTES_PER_VERTEX))) {
        ORB_LOG(Error, "Not enough memory for the planet's climate; the land is shown by its heights.");
        return;
    }
    try {
        climateWorker = std::make_unique<ClimateWorker>(planet);
    } catch (const std::system_error& error) {
        ORB_LOG(Error, "No thread for the planet's climate (%s); the land is shown by its heights.", error.what());
        return;
    }
    if (wait)
        if (const auto first = climateWorker->waitAndTake())
            uploadClimate(*first);
    takeClimate();
}

void PlanetBuffers::takeClimate()
{
    if (!climateWorker)
        return;
    if (climateWorker->failed()) {
        ORB_LOG(Error, "Not enough memory for the planet's climate; the land is shown by its heights.");
        climateWorker.reset();
        return;
    }
    if (const auto made = climateWorker->take()) {
        uploadClimate(*made);
        climateWorker.reset();
    }
}

void PlanetBuffers::uploadClimate(const std::vector<float>& values)
{
    const auto bytes = static_cast<GLsizeiptr>(values.size() * sizeof(float));
    glMadeIt();
    glBindBuffer(GL_ARRAY_BUFFER, climate.name);
    glBufferData(GL_ARRAY_BUFFER, bytes, values.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    climateSent = glMadeIt();
    if (climateSent)
        sent += static_cast<std::uint64_t>(bytes);
    else
        ORB_LOG(Warning, "Not enough memory for the planet's climate in the GL; the land is shown by its heights.");
}

void PlanetBuffers::bindClimate(bool bind) const
{
    // Without the array a program reads the attribute's current value, which
    // a draw from the array leaves undefined (another planet's last vertex,
    // after N): set to class 0, the open sea, so nothing shows ice before
    // its own climate has come.
    if ((!climateSent || !bind) && glMultiTexCoord3f)
        glMultiTexCoord3f(GL_TEXTURE1, 0.0f, 0.0f, 0.0f);
    if (!climateSent)
        return;
    glClientActiveTexture(GL_TEXTURE1);
    if (bind) {
        glBindBuffer(GL_ARRAY_BUFFER, climate.name);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(3, GL_FLOAT, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    } else {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glClientActiveTexture(GL_TEXTURE0);
}

void PlanetBuffers::startNormals(Planet& planet)
{
    if (!canReserve(besideDrawingBytes(planet.weld.vertexCount(), NormalsWorker::BYTES_PER_VERTEX))) {
        ORB_LOG(Error, "Not enough memory for the land's smooth shading; the land is drawn faceted.");
        return;
    }
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
    coarseIndices = std::vector<GlBuffer>(static_cast<std::size_t>(topLevel));
    bool complete = true;
    for (int level = 0; level < topLevel && complete; ++level) {
        std::vector<std::uint32_t> triangles;
        try {
            triangles = levelTriangles(weld, level);
        } catch (const std::bad_alloc&) {
            complete = false;
            continue;
        }
        const auto bytes = static_cast<GLsizeiptr>(triangles.size() * sizeof(std::uint32_t));
        glMadeIt();
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, coarseIndices[std::size_t(level)].name);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, bytes, triangles.data(), GL_STATIC_DRAW);
        GLint size = 0;
        glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
        complete = glMadeIt() && size == bytes;
        sent += static_cast<std::uint64_t>(bytes);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (!complete) {
        coarseIndices.clear();
        ORB_LOG(Warning, "Not enough memory for the coarser levels of the planet; it is drawn whole while it moves.");
    }
}

int PlanetBuffers::drawnLevel(int chosen) const
{
    return chosen >= 0 && chosen < static_cast<int>(coarseIndices.size()) ? chosen : topLevel;
}

PlanetBuffers::~PlanetBuffers() = default;

void PlanetBuffers::refreshLand(Planet& planet)
{
    if (!made)
        return;
    // Rising land is sent at the finer of the levels drawn; settled land,
    // which the rivers draw over, whole.
    const int level = planet.shapeSettled ? topLevel : std::max(levelDrawn(), seaLevelDrawn());
    const bool moved = planet.landVersion.load(std::memory_order_acquire) != uploadedVersion;
    if (moved || level > landLevel) {
        uploadLand(planet, level);
        if (made && worker && moved)
            worker->request();
    }
    takeNormals();
    startClimate(planet, false);
    takeClimate();
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

// The normals of the weld's vertices, or of a coarser level's alone.
void PlanetBuffers::uploadNormals(const std::vector<float>& values)
{
    std::vector<float> picked;
    if (reduced) {
        try {
            picked.resize(3 * reduced->weldVertices.size());
        } catch (const std::bad_alloc&) {
            ORB_LOG(Error, "Not enough memory for the land's smooth shading; the land keeps its former normals.");
            return;
        }
        for (std::size_t v = 0; v < reduced->weldVertices.size(); ++v)
            std::memcpy(&picked[3 * v], &values[3 * std::size_t(reduced->weldVertices[v])], 3 * sizeof(float));
    }
    const std::vector<float>& sending = reduced ? picked : values;
    const auto bytes = static_cast<GLsizeiptr>(sending.size() * sizeof(float));
    glMadeIt();
    glBindBuffer(GL_ARRAY_BUFFER, normals.name);
    glBufferData(GL_ARRAY_BUFFER, bytes, sending.data(), GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    normalsSent = glMadeIt();
    if (!normalsSent) {
        ORB_LOG(Error, "Not enough memory for the land's smooth shading; the land is drawn faceted.");
        return;
    }
    sent += static_cast<std::uint64_t>(bytes);
}

void PlanetBuffers::stopReadingPlanet()
{
    worker.reset();
    climateWorker.reset();
}

void PlanetBuffers::takeLand(Planet& planet)
{
    worker.reset(); // it reads the planet going
    climateWorker.reset();
    normalsSent = climateSent = climateTried = false;
    uploadLand(planet, topLevel);
    if (made) {
        startNormals(planet);
        startClimate(planet, true);
    }
}

bool PlanetBuffers::fits(const Planet& planet) const
{
    return soupCorners == planet.weld.cornerToVertex.size();
}

const std::vector<std::uint32_t>* PlanetBuffers::levelVertices(const IcosphereWeld& weld, int level)
{
    if (reduced || level < 0 || level >= static_cast<int>(coarseIndices.size()))
        return nullptr;
    coarseVertices.resize(coarseIndices.size());
    std::vector<std::uint32_t>& vertices = coarseVertices[std::size_t(level)];
    if (vertices.empty()) {
        try {
            vertices = levelMesh(weld, level).weldVertices;
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return &vertices;
}

void PlanetBuffers::uploadLand(Planet& planet, int level)
{
    const std::vector<std::uint32_t>* some = level < topLevel ? levelVertices(planet.weld, level) : nullptr;
    glBindBuffer(GL_ARRAY_BUFFER, land.name);
    {
        std::lock_guard<std::mutex> lock(planet.mutex);
        uploadedVersion = planet.landVersion.load(std::memory_order_acquire);
        const GLsizeiptr bytes =
            some ? sendSomeWelded(planet.vertices.data(), vertexCorners(planet), *some, planet.shape)
                 : sendWelded(planet.vertices.data(), vertexCorners(planet), GL_DYNAMIC_DRAW, planet.shape);
        made = bytes > 0;
        sent += static_cast<std::uint64_t>(bytes);
    }
    landLevel = some ? level : topLevel;
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void PlanetBuffers::draw(const GlBuffer& vertices, bool fixedPipeline) const
{
    if (!made)
        return;
    const int level = &vertices == &sea ? seaLevelDrawn() : levelDrawn();
    const bool whole = level == topLevel;
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
    drawOverLand(fixedPipeline, [&](bool withoutNormals) {
        bindClimate(!fixedPipeline);
        draw(land, withoutNormals);
        bindClimate(false);
    });
}

void PlanetBuffers::drawLandLines(const Elements& lines) const
{
    // The lines number the whole planet's vertices: a planet held coarser
    // for want of memory has other vertices, and draws none.
    if (!made || reduced)
        return;
    // A line has no facet: without smooth normals, its vertices' directions.
    // The climate, once sent, as the land has it: rivers freeze where it has ice.
    drawOverLand(true, [&](bool directions) {
        bindClimate(true);
        drawElements(land, directions, lines);
        bindClimate(false);
    });
}

void PlanetBuffers::drawSea(bool fixedPipeline) const
{
    if (!fixedPipeline) {
        glBindBuffer(GL_ARRAY_BUFFER, land.name);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(3, GL_FLOAT, 0, nullptr);
        bindClimate(true);
    }
    draw(sea, fixedPipeline);
    if (!fixedPipeline) {
        bindClimate(false);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}

void PlanetBuffers::drawShell() const
{
    draw(sea, false);
}
