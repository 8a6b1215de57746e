#include "Poster.h"

#include "Failure.h"
#include "FrameDrawing.h"
#include "Landscape.h"
#include "LogManager.h"
#include "OffscreenContext.h"
#include "Orbivane.h"
#include "PlanetSaving.h"
#include "Renderer.h"
#include "SmoothFrame.h"

#include <GL/glew.h>

namespace {

// The view of the poster: --look-at's, or the window's starting view.
ViewControl posterView()
{
    ViewControl view;
    if (runOptions.lookAt)
        view.startAt(*runOptions.lookAt);
    return view;
}

// The current planet drawn in a context of its own, the renderer's settings
// as a window starts with them; an empty image when it could not be.
Image drawPoster()
{
    const OffscreenContext context;
    if (!context.ready()) {
        ORB_LOG(Error, "No picture could be drawn: %s", context.failure().c_str());
        return {};
    }
    setFacetedLand(false);
    setClimateView(runOptions.view);
    setRiversShown(true);
    initGL();
    const ViewControl view = posterView();
    const int width = runOptions.renderWidth, height = runOptions.renderHeight;
    Image poster;
    {
        PlanetShaders shaders = setupShaders();
        chooseDetail(view, width, height, FrameMotion{false, false, true});
        runAtBoundary([&] { poster = drawSmoothFrame(view, width, height, width, height); },
                      {"Not enough memory to draw the picture", "Could not draw the picture"});
        if (const GLenum error = glGetError(); error != GL_NO_ERROR)
            ORB_LOG(Error, "OpenGL error 0x%04x while drawing the picture", error);
        // The programs and buffers go while their context still exists.
        releasePlanetGraphics();
    }
    return poster;
}

} // namespace

bool runPoster()
{
    if (currentPlanet) {
        finishLiveGeneration(*currentPlanet);
        exportFinishedPlanet(*currentPlanet);
        savePoster(*currentPlanet, drawPoster(), runOptions);
    }
    releaseCurrentPlanet();
    return true;
}
