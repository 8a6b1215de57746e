#include "Renderer.h"

#include "ClimateColours.h"
#include "DetailLevels.h"
#include "Failure.h"
#include "LogManager.h"
#include "MemoryReserve.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "ResourcePath.h"
#include "RiverBuffers.h"
#include "Shader.h"
#include "TerrainColours.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

PlanetShaders::PlanetShaders() = default;
PlanetShaders::~PlanetShaders() = default;
PlanetShaders::PlanetShaders(PlanetShaders&&) noexcept = default;
PlanetShaders& PlanetShaders::operator=(PlanetShaders&&) noexcept = default;

namespace {

// Said once for a planet the window shows nothing of.
constexpr const char* NO_ROOM_TO_SHOW = "Not enough memory to show the planet";

// The finest level of the planet the driver has room to draw, with its
// programs; -1 when not even the coarsest. Asked before anything is made,
// so that the driver never runs out of memory where it cannot say so (its
// shader compiler aborts, its draws crash).
int levelWithRoom(const Planet& planet)
{
    return finestLevelWithin(weldSubdivisions(planet.weld), canReserve);
}

// The planet's buffers at the finest level from `level` down whose every
// buffer the GL made; null when none.
std::unique_ptr<PlanetBuffers> buffersFrom(Planet& planet, int level)
{
    for (; level >= 0; --level) {
        auto buffers = std::make_unique<PlanetBuffers>(planet, level);
        if (buffers->complete())
            return buffers;
    }
    return nullptr;
}

// Says when the planet is drawn coarser than whole, or not at all.
void reportShown(const Planet& planet, const PlanetBuffers* buffers)
{
    const int whole = weldSubdivisions(planet.weld);
    if (!buffers)
        ORB_LOG(Error, "%s", NO_ROOM_TO_SHOW);
    else if (buffers->heldLevel() < whole)
        ORB_LOG(Error, "Not enough memory to show the planet whole; it is drawn at %d subdivisions.",
                buffers->heldLevel());
}

// attachPlanetGraphics with the finest level to try already found.
void attachFrom(PlanetShaders& shaders, int level)
{
    if (!currentPlanet) {
        shaders.buffers.reset();
        return;
    }
    if (shaders.buffers && shaders.buffers->fits(*currentPlanet) && shaders.buffers->heldLevel() <= level)
        shaders.buffers->takeLand(*currentPlanet);
    else
        shaders.buffers.reset(); // its memory is the new planet's
    if (!shaders.buffers || !shaders.buffers->complete())
        shaders.buffers = buffersFrom(*currentPlanet, level);
    reportShown(*currentPlanet, shaders.buffers.get());
    const bool firstPlanet = !shaders.rivers;
    if (firstPlanet)
        shaders.rivers = std::make_unique<RiverBuffers>();
    shaders.rivers->follow(*currentPlanet, firstPlanet,
                           shaders.buffers && shaders.buffers->heldLevel() == weldSubdivisions(currentPlanet->weld));
    currentPlanet->landShader = shaders.land.get();
    currentPlanet->water->shader = shaders.water.get();
    currentPlanet->buffers = shaders.buffers.get();
    currentPlanet->watched.store(shaders.buffers != nullptr, std::memory_order_relaxed);
    currentPlanet->rivers = shaders.rivers.get();
}

} // namespace

PlanetShaders setupShaders()
{
    PlanetShaders shaders;
    const int level = currentPlanet ? levelWithRoom(*currentPlanet) : 0;
    if (level < 0) {
        ORB_LOG(Error, "%s", NO_ROOM_TO_SHOW);
        return shaders;
    }
    if (shaderObjectsAvailable()) {
        ORB_LOG(Info, "Compiling shaders:");
        // All four from one place: a user's shader is never paired with a stock one.
        const std::vector<std::string> files =
            resourcePaths({"res/land.vert", "res/land.frag", "res/water.vert", "res/water.frag"});
        shaders.land = std::make_unique<Shader>(files[0].c_str(), files[1].c_str(),
                                                ShaderInsert{TERRAIN_COLOUR_MARKER, terrainColourGlsl() + viewNumbersGlsl()},
                                                ShaderInsert{CLIMATE_COLOUR_MARKER, climateColourGlsl()});
        shaders.water = std::make_unique<Shader>(files[2].c_str(), files[3].c_str(),
                                                 ShaderInsert{ICE_COLOUR_MARKER,
                                                              iceColourGlsl() + seaIceGlsl() + viewNumbersGlsl()},
                                                 ShaderInsert{SEA_ICE_MARKER, seaIceGlsl()});
    } else {
        ORB_LOG(Error, "The OpenGL driver offers no ARB shader objects, so the shaders cannot be used; "
                       "the planet is drawn with the fixed pipeline.");
    }
    attachFrom(shaders, level);
    return shaders;
}

void attachPlanetGraphics(PlanetShaders& shaders)
{
    attachFrom(shaders, currentPlanet ? levelWithRoom(*currentPlanet) : 0);
}

void releasePlanetGraphics()
{
    if (!currentPlanet)
        return;
    currentPlanet->landShader = nullptr;
    currentPlanet->water->shader = nullptr;
    if (currentPlanet->buffers)
        currentPlanet->buffers->stopReadingPlanet();
    if (currentPlanet->rivers)
        currentPlanet->rivers->stopReadingPlanet();
    currentPlanet->buffers = nullptr;
    currentPlanet->rivers = nullptr;
}

namespace {
// Key F: the land drawn by its facets rather than smooth.
bool facets = false;
// Key V: what the land is coloured by.
ClimateView chosenView = ClimateView::Biomes;
// Key W: the rivers and lakes drawn.
bool rivers = true;

// Sets a float uniform of the program in use; a name the program does not
// use is passed over.
void setUniform(const Shader& shader, const char* name, float value)
{
    const GLint location = glGetUniformLocationARB(shader.program, name);
    if (location >= 0)
        glUniform1fARB(location, value);
}

// The sea's radius and the colour bands' height scale from the planet's
// shape; the air, when airRadius is not 0, as far above a sea raised above
// radius 1, and where it was over a sea lowered (it must not sink into the
// land).
void setShapeUniforms(const Shader& shader, const WorldShape& shape, float airRadius)
{
    const float sea = static_cast<float>(shape.seaRadius);
    setUniform(shader, "seaRadius", sea);
    setUniform(shader, "reliefScale", static_cast<float>(shape.relief));
    setUniform(shader, "airRadius", airRadius * std::max(sea, 1.0f));
}

// Sets an int or bool uniform of the program in use; a name the program
// does not use is passed over.
void setIntUniform(const Shader& shader, const char* name, int value)
{
    const GLint location = glGetUniformLocationARB(shader.program, name);
    if (location >= 0)
        glUniform1iARB(location, value);
}

// Land without smooth normals is drawn faceted whatever the key chose. With
// river, the land's program draws the rivers: lines, which have no facets.
void setLandUniforms(const Shader& land, const WorldShape& shape, bool faceted, ClimateView view, bool river = false)
{
    setShapeUniforms(land, shape, 0.0f);
    setIntUniform(land, "faceted", faceted && !river);
    setIntUniform(land, "view", int(view));
    setIntUniform(land, "river", river);
    const GLint colour = glGetUniformLocationARB(land.program, "riverColour");
    if (river && colour >= 0)
        glUniform3fARB(colour, TERRAIN.freshWater[0], TERRAIN.freshWater[1], TERRAIN.freshWater[2]);
}

// Fixed-pipeline materials, RGBA, for a context without usable programs: the
// shaders' lowland green and deep sea blue, the sea translucent above the
// 0.1 alpha test.
constexpr GLfloat FIXED_LAND_COLOUR[4] = {0.24f, 0.50f, 0.16f, 1.0f};
constexpr GLfloat FIXED_SEA_COLOUR[4] = {0.02f, 0.16f, 0.38f, 0.7f};
const GLfloat FIXED_RIVER_COLOUR[4] = {TERRAIN.freshWater[0], TERRAIN.freshWater[1], TERRAIN.freshWater[2], 1.0f};

// Uses the shader's program when it linked; otherwise (a program that did
// not link, or none at all) the fixed pipeline with colour as material.
// Returns whether a program is in use.
bool useProgram(const Shader* shader, const GLfloat (&colour)[4])
{
    if (shader && shader->linked) {
        glUseProgramObjectARB(shader->program);
        return true;
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
    return false;
}

// Draws with shader's program, or with the fixed pipeline where it has none.
// Without shader objects the ARB entry points may be null: none is called.
template <typename Draw>
void drawWith(const Shader* shader, const GLfloat (&colour)[4], Draw draw)
{
    const bool program = useProgram(shader, colour);
    draw(!program);
    if (program)
        glUseProgramObjectARB(0);
}

// The ring the air's glow is drawn on: per vertex the cosine and sine of its
// angle about the planet's centre as seen, and 0 on the inner edge (just
// inside the sea's limb) or 1 on the outer (the air's). The sea's program
// places it around the limb, so only the pixels by the limb are shaded.
constexpr int AIR_RING_SEGMENTS = 360;

const std::vector<float>& airRing()
{
    static const std::vector<float> ring = [] {
        std::vector<float> vertices;
        for (int i = 0; i <= AIR_RING_SEGMENTS; ++i) {
            const double angle = 2 * M_PI * i / AIR_RING_SEGMENTS;
            for (const float edge : {0.0f, 1.0f})
                vertices.insert(vertices.end(), {float(std::cos(angle)), float(std::sin(angle)), edge});
        }
        return vertices;
    }();
    return ring;
}
} // namespace

void drawAirGlow(const Shader* water, const WorldShape& shape)
{
    if (!water || !water->linked || glGetUniformLocationARB(water->program, "airRadius") < 0)
        return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    glBlendFunc(GL_ONE, GL_ONE);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    glUseProgramObjectARB(water->program);
    setShapeUniforms(*water, shape, AIR_RADIUS);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, airRing().data());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 2 * (AIR_RING_SEGMENTS + 1));
    glDisableClientState(GL_VERTEX_ARRAY);
    glUseProgramObjectARB(0);
    glPopAttrib();
}

namespace {
// The rivers over the land, a hair above it, with the land's program; then
// the lakes with the sea's, their corners where they are (the sea at 1).
void drawRiversAndLakes(const Planet& planet, const PlanetBuffers& buffers, const RiverBuffers& water,
                        float pixelScale)
{
    glPushMatrix();
    const float lift = 1.0f + RIVER_LIFT;
    glScalef(lift, lift, lift);
    drawWith(planet.landShader, FIXED_RIVER_COLOUR, [&](bool fixed) {
        if (!fixed)
            setLandUniforms(*planet.landShader, planet.shape, false, ClimateView::Heights, true);
        water.drawRivers(buffers, pixelScale);
    });
    glPopMatrix();
    drawWith(planet.water->shader, FIXED_SEA_COLOUR, [&](bool fixed) {
        if (!fixed) {
            setShapeUniforms(*planet.water->shader, planet.shape, 0.0f);
            setUniform(*planet.water->shader, "seaRadius", 1.0f);
        }
        water.drawLakes(fixed);
    });
}
} // namespace

void setRiversShown(bool shown)
{
    rivers = shown;
}

bool riversShown()
{
    return rivers;
}

void setFacetedLand(bool faceted)
{
    facets = faceted;
}

bool facetedLand()
{
    return facets;
}

void setClimateView(ClimateView view)
{
    chosenView = view;
}

ClimateView climateView()
{
    return chosenView;
}

void renderPlanet(float pixelScale)
{
    Planet* planet = currentPlanet.get();
    if (!planet || !planet->buffers)
        return;
    PlanetBuffers& buffers = *planet->buffers;
    const bool shown = buffers.complete();
    buffers.refreshLand(*planet);
    if (!buffers.complete()) {
        if (shown)
            ORB_LOG(Error, "%s", NO_ROOM_TO_SHOW);
        return;
    }
    glPushMatrix();
    glRotatef(planet->angle[0], 1, 0, 0);
    glRotatef(planet->angle[1], 0, 1, 0);
    glRotatef(planet->angle[2], 0, 0, 1);

    // The climate views wait for the climate: a live generation's rising land shows its heights.
    const ClimateView view = buffers.hasClimate() ? chosenView : ClimateView::Heights;
    drawWith(planet->landShader, FIXED_LAND_COLOUR, [&](bool fixed) {
        if (!fixed)
            setLandUniforms(*planet->landShader, planet->shape, facets || !buffers.hasNormals(), view);
        buffers.drawLand(fixed);
    });
    if (planet->rivers) {
        planet->rivers->refresh(*planet);
        if (rivers && planet->rivers->ready())
            drawRiversAndLakes(*planet, buffers, *planet->rivers, pixelScale);
    }
    drawWith(planet->water->shader, FIXED_SEA_COLOUR, [&](bool fixed) {
        if (!fixed) {
            setShapeUniforms(*planet->water->shader, planet->shape, 0.0f);
            setIntUniform(*planet->water->shader, "view", int(view));
        }
        // The fixed pipeline draws the unit sphere where the sea stands.
        const auto sea = static_cast<GLfloat>(planet->shape.seaRadius);
        if (fixed) {
            glPushMatrix();
            glScalef(sea, sea, sea);
        }
        buffers.drawSea(fixed);
        if (fixed)
            glPopMatrix();
    });
    drawAirGlow(planet->water->shader, planet->shape);

    glPopMatrix();
}

bool planetDrawnWhole()
{
    const Planet* planet = currentPlanet.get();
    if (!planet || !planet->buffers)
        return false;
    const PlanetBuffers& buffers = *planet->buffers;
    const bool climateShown = buffers.hasClimate() || !needsClimate(chosenView);
    const bool riversDrawn = !rivers || (planet->rivers && planet->rivers->ready());
    return buffers.complete() && buffers.heldLevel() == weldSubdivisions(planet->weld) && buffers.hasNormals() &&
           climateShown && riversDrawn;
}

void showNextPlanet(std::unique_ptr<Planet> next, PlanetShaders& shaders)
{
    if (currentPlanet) {
        std::copy_n(currentPlanet->angle, 3, next->angle);
        std::copy_n(currentPlanet->speed, 3, next->speed);
        next->rotating = currentPlanet->rotating;
    }
    releasePlanetGraphics();
    releaseCurrentPlanet();
    currentPlanet = std::move(next);
    runAtBoundary([&shaders] { attachPlanetGraphics(shaders); },
                  {"Not enough memory for the new planet's buffers.", "Could not show the new planet"});
    exportFinishedPlanet(*currentPlanet);
}
