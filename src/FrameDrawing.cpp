#include "FrameDrawing.h"

#include "DetailLevels.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "Renderer.h"
#include "TurningDetail.h"

#include <GL/glew.h>
#include <GL/glu.h>

void initGL()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.1f, 0.15f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_ALPHA_TEST);
    glCullFace(GL_FRONT);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
}

void setProjection(const ViewControl& view, int width, int height)
{
    const DepthPlanes planes = view.planes();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(ViewControl::FIELD_OF_VIEW, static_cast<double>(width) / height, planes.nearPlane,
                   planes.farPlane);
    glMatrixMode(GL_MODELVIEW);
}

void placeCameraAndLight(const ViewControl& view)
{
    glLoadIdentity();
    gluLookAt(view.distance(), 0, 0, 0, 0, 0, 0, 1, 0);
    // In world coordinates, as the fixed view has it. The shaders place the
    // sun themselves; the fixed pipeline lights with this one.
    glLightfv(GL_LIGHT0, GL_POSITION, LIGHT_POSITION);
    // After the light, so the light stays with the camera as the user turns
    // the planet; the starting view multiplies by the exact identity.
    glMultMatrixd(view.userTurn().matrix().data());
}

void chooseDetail(const ViewControl& view, int width, int height, const FrameMotion& motion)
{
    if (!currentPlanet || !currentPlanet->buffers)
        return;
    const ScreenScale scale{view.distance(), ViewControl::FIELD_OF_VIEW, height};
    const DetailChoice levels = frameLevels(currentPlanet->subdivisions, scale, width, motion);
    currentPlanet->buffers->useLevels(levels.land, levels.sea);
}

void drawPlanetFrame(const ViewControl& view, float pixelScale)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    placeCameraAndLight(view);
    renderPlanet(pixelScale);
}
