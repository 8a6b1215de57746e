#include "ClientArrayDrawing.h"

#include "Planet.h"
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
} // namespace

void drawWithClientArrays(Planet& planet)
{
    glPushMatrix();
    glRotatef(planet.angle[0], 1, 0, 0);
    glRotatef(planet.angle[1], 0, 1, 0);
    glRotatef(planet.angle[2], 0, 0, 1);
    glUseProgramObjectARB(planet.landShader->program);
    {
        std::lock_guard<std::mutex> lock(planet.mutex);
        drawSoup(planet.vertices.data(), planet.vertexCount);
    }
    glUseProgramObjectARB(planet.water->shader->program);
    drawSoup(planet.water->vertices.data(), planet.water->vertexCount);
    glUseProgramObjectARB(0);
    glPopMatrix();
}
