#include "Renderer.h"

#include "LogManager.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "ResourcePath.h"
#include "Shader.h"


PlanetShaders::PlanetShaders() = default;
PlanetShaders::~PlanetShaders() = default;
PlanetShaders::PlanetShaders(PlanetShaders&&) noexcept = default;
PlanetShaders& PlanetShaders::operator=(PlanetShaders&&) noexcept = default;

PlanetShaders setupShaders()
{
    ORB_LOG(Info, "Compiling shaders:");
    PlanetShaders shaders;
    shaders.land = std::make_unique<Shader>(resourcePath("res/land.vert").c_str(),
                                            resourcePath("res/land.frag").c_str());
    shaders.water = std::make_unique<Shader>(resourcePath("res/water.vert").c_str(),
                                             resourcePath("res/water.frag").c_str());
    if (currentPlanet) {
        shaders.buffers = std::make_unique<PlanetBuffers>(*currentPlanet);
        currentPlanet->landShader = shaders.land.get();
        currentPlanet->water->shader = shaders.water.get();
        currentPlanet->buffers = shaders.buffers.get();
    }
    return shaders;
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
// A program that did not link would make every draw call an error.
void useProgram(const Shader& shader)
{
    glUseProgramObjectARB(shader.linked ? shader.program : 0);
}
} // namespace

void renderPlanet()
{
    Planet* planet = currentPlanet.get();
    if (!planet || !planet->landShader || !planet->water->shader || !planet->buffers)
        return;
    planet->buffers->refreshLand(*planet);
    glPushMatrix();
    glRotatef(planet->angle[0], 1, 0, 0);
    glRotatef(planet->angle[1], 0, 1, 0);
    glRotatef(planet->angle[2], 0, 0, 1);

    useProgram(*planet->landShader);
    planet->buffers->drawLand();
    useProgram(*planet->water->shader);
    planet->buffers->drawSea();
    glUseProgramObjectARB(0);

    glPopMatrix();
}
