#include "Poster.h"

#include "DetailLevels.h"
#include "Failure.h"
#include "FrameDrawing.h"
#include "Landscape.h"
#include "LogManager.h"
#include "MemoryReserve.h"
#include "OffscreenContext.h"
#include "Orbivane.h"
#include "PlanetSaving.h"
#include "Renderer.h"
#include "SmoothFrame.h"

#include <GL/glew.h>

#include <string>

namespace {

// The reasons a picture is not saved for want of memory, after "Could not
// save the picture FILE: ".
constexpr const char* NO_ROOM_FOR_DRIVER = "not enough memory for the OpenGL driver";
constexpr const char* NO_ROOM_TO_DRAW = "not enough memory to draw it whole";

// The view of the poster: --look-at's, or the window's starting view.
ViewControl posterView()
{
    ViewControl view;
    if (runOptions.lookAt)
        view.startAt(*runOptions.lookAt);
    return view;
}

// Whether the planet's buffers whole and the picture's samples would find
// room beside the driver now: asked before anything is made.
bool roomToDraw(int width, int height)
{
    return canReserve(drawingBytes(weldSubdivisions(currentPlanet->weld)) + smoothFrameBytes(width, height));
}

// The poster drawn in the current context, the renderer's settings as a
// window starts with them; an empty image, with why, unless the planet was
// drawn whole without an error.
Image drawInContext(std::string& why)
{
    setFacetedLand(false);
    setClimateView(runOptions.view);
    setRiversShown(true);
    initGL();
    const ViewControl view = posterView();
    const int width = runOptions.renderWidth, height = runOptions.renderHeight;
    if (!roomToDraw(width, height)) {
        why = NO_ROOM_TO_DRAW;
        return {};
    }
    Image poster;
    PlanetShaders shaders = setupShaders();
    chooseDetail(view, width, height, FrameMotion{false, false, true});
    if (planetDrawnWhole())
        runAtBoundary([&] { poster = drawSmoothFrame(view, width, height, width, height); },
                      {"Not enough memory to draw the picture", "Could not draw the picture"});
    // Drawing refreshes the land, which may find no room: checked again after.
    if (!planetDrawnWhole()) {
        why = NO_ROOM_TO_DRAW;
        poster = {};
    }
    if (const GLenum error = glGetError(); error != GL_NO_ERROR) {
        ORB_LOG(Error, "OpenGL error 0x%04x while drawing the picture", error);
        if (error == GL_OUT_OF_MEMORY)
            why = NO_ROOM_TO_DRAW;
        poster = {};
    }
    // The programs and buffers go while their context still exists.
    releasePlanetGraphics();
    return poster;
}

// The current planet drawn in a context of its own; an empty image, with
// why, when it could not be drawn whole. The driver's room is tried first:
// without it Mesa may crash making the context or drawing.
Image drawPoster(std::string& why)
{
    if (!canReserve(CONTEXT_DRIVER_BYTES)) {
        why = NO_ROOM_FOR_DRIVER;
        return {};
    }
    const OffscreenContext context;
    if (!context.ready()) {
        ORB_LOG(Error, "No picture could be drawn: %s", context.failure().c_str());
        return {};
    }
    return drawInContext(why);
}

} // namespace

bool runPoster()
{
    if (currentPlanet) {
        finishLiveGeneration(*currentPlanet);
        exportFinishedPlanet(*currentPlanet);
        std::string why = "it could not be drawn";
        const Image poster = drawPoster(why);
        savePoster(*currentPlanet, poster, why, runOptions);
    }
    releaseCurrentPlanet();
    return true;
}
