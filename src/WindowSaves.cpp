#include "WindowSaves.h"

#include "Failure.h"
#include "FrameReadback.h"
#include "LogManager.h"
#include "CubeFaces.h"
#include "MeshExport.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "Renderer.h"
#include "SafeFile.h"
#include "Screenshot.h"
#include "WorldMap.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The start of every name the program gives a file saved from planet.
std::string namePrefix(const Planet& planet)
{
    return "Orbivane-" + std::to_string(planet.seed) + "-";
}

// "Orbivane-SEED-N.EXT" with the first N from `first` that names nothing
// yet: a file the program names itself never replaces one, nor follows a
// symlink.
SaveTarget namedByTheProgram(const Planet& planet, const char* extension, int first = 1)
{
    return SaveTarget::numbered(namePrefix(planet), extension, first);
}

} // namespace

void saveScreenshot(GLFWwindow* window, const Planet& planet)
{
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    const Image image = readShownFrame(width, height);

    const SaveTarget target = namedByTheProgram(planet, ".png");
    std::string error, written;
    const MeshInfo info = meshInfoOf(planet);
    if (writePng(target, image, {headerComment(info), settingsRecordOf(planet, info, climateView())}, error, &written))
        ORB_LOG(Info, "Screenshot saved to %s", written.c_str());
    else
        ORB_LOG(Error, "Could not save the screenshot %s: %s", target.name().c_str(), error.c_str());
}

void exportShown(Planet& planet)
{
    exportPlanetTo(planet, namedByTheProgram(planet, ".ply"), climateView());
}

void saveMaps(Planet& planet)
{
    const int n = SaveTarget::firstFreeNumber(namePrefix(planet), {"-map.png", "-height.png", "-map.pgw",
                                                                   "-height.pgw", "-map.png.aux.xml",
                                                                   "-height.png.aux.xml"});
    saveMapsOf(planet, {namedByTheProgram(planet, "-map.png", n), namedByTheProgram(planet, "-height.png", n)},
               MAP_WIDTH_DEFAULT, climateView());
}

void saveCubeFaces(Planet& planet)
{
    std::vector<std::string> endings;
    for (const char* face : CUBE_FACE_NAMES)
        for (const char* kind : {".png", "-colour.png"})
            endings.push_back(std::string("-") + face + kind);
    const int n = SaveTarget::firstFreeNumber(namePrefix(planet), endings);
    saveCubeFacesOf(planet, [&](const std::string& ending) {
        return namedByTheProgram(planet, ending.c_str(), n);
    }, CUBE_SIZE_DEFAULT, climateView());
}

void SaveRequests::serve(GLFWwindow* window, Planet& planet)
{
    runAtBoundary(
        [&] {
            if (screenshot)
                saveScreenshot(window, planet);
            if (mesh)
                exportShown(planet);
            if (maps)
                saveMaps(planet);
            if (cubeFaces)
                saveCubeFaces(planet);
        },
        {"Not enough memory to save from the window; it goes on.", "Could not save from the window"});
    *this = {};
}
