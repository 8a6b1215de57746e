#pragma once

#include <string>
#include <string_view>

// The options' table: the names the command line takes, the ranges of their
// values, the files each may name and the usage text that tells all of it.
// It sits below both the command line that reads the options (CommandLine.h)
// and the modules that write the files, so that each knows the ranges and
// names without knowing the other.

// Map widths in pixels; a map is half as high as it is wide.
constexpr int MAP_WIDTH_DEFAULT = 2048;
constexpr int MAP_WIDTH_MIN = 16;
constexpr int MAP_WIDTH_MAX = 16384;

// Cube face sizes in pixels.
constexpr int CUBE_SIZE_DEFAULT = 1024;
constexpr int CUBE_SIZE_MIN = 16;
constexpr int CUBE_SIZE_MAX = 8192;

constexpr int CUBE_FACES = 6;
// The faces in OpenGL's order, as their file names have them.
constexpr const char* CUBE_FACE_NAMES[CUBE_FACES] = {"px", "nx", "py", "ny", "pz", "nz"};

// The kinds of climate map, as their file names end: PREFIX-temperature.png.
constexpr const char* CLIMATE_MAP_NAMES[2] = {"temperature", "rain"};

// The planet's size as the climate and the files' headers take it: the
// Earth's radius and about the height of its highest mountain by default.
constexpr double RADIUS_KM_DEFAULT = 6371.0;
constexpr double RADIUS_KM_MAX = 1000000.0;
constexpr double HIGHEST_METRES_DEFAULT = 8000.0;
constexpr double HIGHEST_METRES_MAX = 100000.0;

// The most km² --river-area takes: about the surface of the largest planet
// --radius-km makes (4 pi 10^12 km²); a river needing more finds none.
constexpr double RIVER_AREA_KM2_MAX = 1e13;

// A poster's width and height in pixels, each.
inline constexpr int RENDER_SIZE_MIN = 16;
inline constexpr int RENDER_SIZE_MAX = 8192;

// The widths of the maps a textured .glb carries, in pixels: enough to show
// continents, at most what engines commonly load as one texture.
constexpr int GLB_TEXTURE_MIN = 64;
constexpr int GLB_TEXTURE_MAX = 8192;

// The most subdivisions --subdivisions takes; the machine's memory may allow fewer.
inline constexpr int SUBDIVISIONS_OPTION_MAX = 12;
constexpr int EROSION_STEPS_MAX = 1000;

// The formats --export writes, by the file name's extension in any case.
enum class MeshFormat { None, Ply, Obj, Glb };

// The format of path's extension (".ply", ".obj", ".glb", any case); None for
// any other, and for a name that is only the extension, such as ".ply": a
// hidden file without one.
MeshFormat meshFormatOf(const std::string& path);

// True when the file name of path ends in ".ply", ".obj" or ".glb", in any
// case. A name that is only the extension, such as ".ply", is a hidden file
// without one.
bool isExportPath(const std::string& path);

// True when path's format can carry textures (".glb", GlbWriter.h).
bool holdsTextures(const std::string& path);
// True when path's format can be written compressed (".glb"; LandView's
// compress).
bool compressible(const std::string& path);

// True when the file name of path ends in ".png", in any case, after a name.
bool isPngPath(std::string_view path);

// Whether a map named path is written as a GeoTIFF: its file name ends in
// ".tif", in any case, after a name.
bool isGeoTiffPath(std::string_view path);

// True when the file name of path ends in ".geojson" (any case) after a name.
bool isGeoJsonPath(const std::string& path);

// True when the file name of path ends in ".gpkg" (any case) after a name.
bool isGeoPackagePath(const std::string& path);

// Whether name ("--seed") is an option that takes a value.
bool takesValue(std::string_view name);

// Whether name ("--live") is an option that takes none.
bool isSwitch(std::string_view name);

// What --help prints.
std::string usageText();
