#include "Renderer.h"

#include "LogManager.h"
#include "Orbivane.h"
#include "ResourcePath.h"
#include "Shader.h"

#include <mutex>

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
        currentPlanet->landShader = shaders.land.get();
        currentPlanet->water->shader = shaders.water.get();
    }
    return shaders;
}

namespace {
// A program that did not link would make every draw call an error.
void useProgram(const Shader& shader)
{
    glUseProgramObjectARB(shader.linked ? shader.program : 0);
}

void drawArray(const float* vertices, int vertexCount)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    glDisableClientState(GL_VERTEX_ARRAY);
}
} // namespace

void renderPlanet()
{
    Planet* planet = currentPlanet.get();
    if (!planet || !planet->landShader || !planet->water->shader)
        return;
    glPushMatrix();
    glRotatef(planet->angle[0], 1, 0, 0);
    glRotatef(planet->angle[1], 0, 1, 0);
    glRotatef(planet->angle[2], 0, 0, 1);

    useProgram(*planet->landShader);
    {
        // Live generation scales vertices meanwhile; the whole draw sees each
        // vertex either before or after a step, never half-way.
        std::lock_guard<std::mutex> lock(planet->mutex);
        drawArray(planet->vertices.data(), planet->vertexCount);
    }
    glUseProgramObjectARB(0);

    useProgram(*planet->water->shader);
    drawArray(planet->water->vertices.data(), planet->water->vertexCount);
    glUseProgramObjectARB(0);

    glPopMatrix();
}
