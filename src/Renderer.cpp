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
    PlanetShaders shaders;
    if (!shaderObjectsAvailable()) {
        ORB_LOG(Error, "The OpenGL driver offers no ARB shader objects, so the shaders cannot be used; "
                       "the planet is drawn with the fixed pipeline.");
        return shaders;
    }
    ORB_LOG(Info, "Compiling shaders:");
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

// Triangles of consecutive vertex triples. The fixed pipeline lights them
// with the direction from the centre as normal: the unit sphere's own, and
// near enough for land within a few percent of it (GL_NORMALIZE rescales).
void drawArray(const float* vertices, int vertexCount, bool withProgram)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    if (!withProgram) {
        glEnable(GL_NORMALIZE);
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 0, vertices);
    }
    glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    if (withProgram) {
        glUseProgramObjectARB(0);
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisable(GL_NORMALIZE);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}
} // namespace

void renderPlanet()
{
    Planet* planet = currentPlanet.get();
    if (!planet)
        return;
    glPushMatrix();
    glRotatef(planet->angle[0], 1, 0, 0);
    glRotatef(planet->angle[1], 0, 1, 0);
    glRotatef(planet->angle[2], 0, 0, 1);

    const bool landProgram = useProgram(planet->landShader, FIXED_LAND_COLOUR);
    {
        // Live generation scales vertices meanwhile; the whole draw sees each
        // vertex either before or after a step, never half-way.
        std::lock_guard<std::mutex> lock(planet->mutex);
        drawArray(planet->vertices.data(), planet->vertexCount, landProgram);
    }

    const bool seaProgram = useProgram(planet->water->shader, FIXED_SEA_COLOUR);
    drawArray(planet->water->vertices.data(), planet->water->vertexCount, seaProgram);

    glPopMatrix();
}
