#include "Renderer.h"

#include "Failure.h"
#include "LogManager.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "ResourcePath.h"
#include "Shader.h"
#include "TerrainColours.h"

#include <algorithm>

PlanetShaders::PlanetShaders() = default;
PlanetShaders::~PlanetShaders() = default;
PlanetShaders::PlanetShaders(PlanetShaders&&) noexcept = default;
PlanetShaders& PlanetShaders::operator=(PlanetShaders&&) noexcept = default;

PlanetShaders setupShaders()
{
    PlanetShaders shaders;
    if (shaderObjectsAvailable()) {
        ORB_LOG(Info, "Compiling shaders:");
        shaders.land = std::make_unique<Shader>(resourcePath("res/land.vert").c_str(),
                                                resourcePath("res/land.frag").c_str(),
                                                ShaderInsert{TERRAIN_COLOUR_MARKER, terrainColourGlsl()});
        shaders.water = std::make_unique<Shader>(resourcePath("res/water.vert").c_str(),
                                                 resourcePath("res/water.frag").c_str(),
                                                 ShaderInsert{ICE_COVER_MARKER, iceCoverGlsl()});
    } else {
        ORB_LOG(Error, "The OpenGL driver offers no ARB shader objects, so the shaders cannot be used; "
                       "the planet is drawn with the fixed pipeline.");
    }
    attachPlanetGraphics(shaders);
    return shaders;
}

void attachPlanetGraphics(PlanetShaders& shaders)
{
    if (!currentPlanet) {
        shaders.buffers.reset();
        return;
    }
    if (shaders.buffers && shaders.buffers->fits(*currentPlanet))
        shaders.buffers->takeLand(*currentPlanet);
    else {
        shaders.buffers.reset();
        shaders.buffers = std::make_unique<PlanetBuffers>(*currentPlanet);
    }
    currentPlanet->landShader = shaders.land.get();
    currentPlanet->water->shader = shaders.water.get();
    currentPlanet->buffers = shaders.buffers.get();
}

void releasePlanetGraphics()
{
    if (!currentPlanet)
        return;
    currentPlanet->landShader = nullptr;
    currentPlanet->water->shader = nullptr;
    currentPlanet->buffers = nullptr;
}

namespace {
// Fixed-pipeline materials, RGBA, for a context without usable programs: the
// shaders' lowland green and deep sea blue, the sea translucent above the
// 0.1 alpha test.
constexpr GLfloat FIXED_LAND_COLOUR[4] = {0.24f, 0.50f, 0.16f, 1.0f};
constexpr GLfloat FIXED_SEA_COLOUR[4] = {0.02f, 0.16f, 0.38f, 0.7f};

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
} // namespace

void renderPlanet()
{
    Planet* planet = currentPlanet.get();
    if (!planet || !planet->buffers)
        return;
    PlanetBuffers& buffers = *planet->buffers;
    buffers.refreshLand(*planet);
    glPushMatrix();
    glRotatef(planet->angle[0], 1, 0, 0);
    glRotatef(planet->angle[1], 0, 1, 0);
    glRotatef(planet->angle[2], 0, 0, 1);

    drawWith(planet->landShader, FIXED_LAND_COLOUR, [&](bool fixed) { buffers.drawLand(fixed); });
    drawWith(planet->water->shader, FIXED_SEA_COLOUR, [&](bool fixed) { buffers.drawSea(fixed); });

    glPopMatrix();
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
