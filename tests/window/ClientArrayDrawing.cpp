#include "ClientArrayDrawing.h"

#include "Planet.h"
#include "Renderer.h"
#include "Shader.h"

#include <GL/glew.h>
#include <mutex>

namespace {
void drawSoup(const float* vertices, int vertexCount)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void setFloat(GLhandleARB program, const char* name, float value)
{
    const GLint location = glGetUniformLocationARB(program, name);
    if (location >= 0)
        glUniform1fARB(location, value);
}
} // namespace

void drawWithClientArrays(Planet& planet)
{
    glPushMatrix();
    glRotatef(planet.angle[0], 1, 0, 0);
    glRotatef(planet.angle[1], 0, 1, 0);
    glRotatef(planet.angle[2], 0, 0, 1);
    const GLhandleARB water = planet.water->shader->program;
    glUseProgramObjectARB(planet.landShader->program);
    std::lock_guard<std::mutex> lock(planet.mutex);
    drawSoup(planet.vertices.data(), planet.vertexCount);
    // The sea with the land under it, then the air, as the renderer draws
    // them; programs without these uniforms pass them over.
    glUseProgramObjectARB(water);
    setFloat(water, "airRadius", 0.0f);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(3, GL_FLOAT, 0, planet.vertices.data());
    drawSoup(planet.water->vertices.data(), planet.water->vertexCount);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    drawAirGlow(planet.water->shader);
    glUseProgramObjectARB(0);
    glPopMatrix();
}
