#pragma once

#include "ClimateView.h"
#include "Dialogue.h"
#include "Hypsometry.h"
#include "OptionTable.h"
#include "ViewControl.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct Options {
    std::optional<std::uint32_t> seed; // every generation's seed, instead of the time
    std::string exportPath;            // .ply, .obj or .glb written after each generation; empty: none
    std::string mapPath;               // colour map (.png) written after each generation; empty: none
    std::string heightMapPath;         // 16-bit height map (.png) written after each generation; empty: none
    std::string demPath;               // elevations in metres (.tif) written after each generation; empty: none
    int mapWidth = MAP_WIDTH_DEFAULT;  // pixels, MAP_WIDTH_MIN to MAP_WIDTH_MAX; the maps are half as high
    std::string cubeFacesPrefix;       // PREFIX-px.png ... PREFIX-nz-colour.png after each generation; empty: none
    int cubeSize = CUBE_SIZE_DEFAULT;  // a cube face's side in pixels, CUBE_SIZE_MIN to CUBE_SIZE_MAX
    std::optional<double> landPercent; // 0 to 100: the sea stands where this share of the surface is land
    double relief = 1.0;               // heights from the sea stretched by this, above 0 up to 10
    GivenAnswers answers;              // --subdivisions, --iterations, --live or --batch: not asked
    bool noWindow = false;             // make and save the planets, never open a window
    std::optional<double> liveSeconds; // a live rise spread over this many seconds, 0 to 86400; 0: at full speed;
                                        // nothing: the default pace (LivePace.h)
    double radiusKm = RADIUS_KM_DEFAULT; // the sea sphere's radius in km, above 0 up to RADIUS_KM_MAX
    double highestMetres = HIGHEST_METRES_DEFAULT; // the highest land above the sea, m, above 0 up to HIGHEST_METRES_MAX
    Hypsometry hypsometry = Hypsometry::Earth; // how heights become metres (--hypsometry)
    ClimateView view = ClimateView::Biomes; // what the saved colours show
    std::string biomeMapPath;          // FILE.png of biome class numbers and FILE.json, its legend; empty: none
    std::string climateMapsPrefix;     // PREFIX-temperature.png and PREFIX-rain.png (16-bit); empty: none
    std::string riversPath;            // rivers, lakes and land (.geojson or .gpkg) written after each generation; empty: none
    int erosionSteps = 0;              // 0: the land as generated; 1 to EROSION_STEPS_MAX steps of erosion
    std::optional<double> riverAreaKm2; // a river's catchment, km², above 0 up to RIVER_AREA_KM2_MAX; nothing: by the mesh
    bool compress = false;             // --export's .glb quantised and meshopt-encoded; only with a .glb
    std::optional<LookAt> lookAt;      // the point under the camera and its distance first; none: the starting view
    std::string renderPath;            // a poster (.png) drawn off screen after each generation, no window; empty: none
    int renderWidth = 0;               // the poster's size in pixels, RENDER_SIZE_MIN to RENDER_SIZE_MAX each
    int renderHeight = 0;
    int glbTextureWidth = 0;           // a .glb's land textured with maps this wide (GLB_TEXTURE_MIN to _MAX); 0: untextured
    std::string normalMapPath;         // normal map (.png) written after each generation; empty: none
};

struct ParsedCommandLine {
    Options options;
    // -1: run the program; otherwise exit at once with this status (0 after
    // --help or --version, 2 after a bad option with the usage on err).
    int exitStatus = -1;
};

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// What a refused command line prints on standard error: "orbivane: WHY", an
// empty line and the usage.
std::string refusalText(const std::string& why);

// Every file the options name to be written, with the option that names it:
// an option that writes files joins the checks of this list (no two name one
// file; every folder may be written into, OutputFolders.h).
std::vector<std::pair<const char*, std::string>> outputFiles(const Options& options);

// The file the planet-th planet of a run is saved to under an option's path:
// path itself for the first, NAME-K.EXT beside it for the K-th.
std::string planetPath(const std::string& path, int planet);

// The legend beside a biome map: FILE.json for FILE.png.
std::string biomeLegendPath(const std::string& mapPath);

// The climate map of kind under --climate-maps prefix: PREFIX-KIND.png, or
// STEM-KIND.tif (a GeoTIFF) for a prefix STEM.tif.
std::string climateMapPath(const std::string& prefix, const char* kind);
