#include "OptionTable.h"

#include "FileNames.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

MeshFormat meshFormatOf(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".ply")
        return MeshFormat::Ply;
    if (extension == ".obj")
        return MeshFormat::Obj;
    return extension == ".glb" ? MeshFormat::Glb : MeshFormat::None;
}

bool isExportPath(const std::string& path)
{
    return meshFormatOf(path) != MeshFormat::None;
}

bool holdsTextures(const std::string& path)
{
    return meshFormatOf(path) == MeshFormat::Glb;
}

bool compressible(const std::string& path)
{
    return meshFormatOf(path) == MeshFormat::Glb;
}

bool isPngPath(std::string_view path)
{
    return hasExtension(path, ".png");
}

bool isGeoTiffPath(std::string_view path)
{
    return hasExtension(path, ".tif");
}

bool isGeoJsonPath(const std::string& path)
{
    return hasExtension(path, ".geojson");
}

bool isGeoPackagePath(const std::string& path)
{
    return hasExtension(path, ".gpkg");
}

bool takesValue(std::string_view name)
{
    for (const char* known : {"--subdivisions", "--iterations", "--live-seconds", "--seed", "--export", "--map",
                              "--heightmap", "--dem", "--map-width", "--land", "--relief", "--cube-faces", "--cube-size",
                              "--radius-km", "--highest", "--hypsometry", "--view", "--biome-map", "--climate-maps", "--erosion",
                              "--rivers", "--river-area", "--like", "--look-at", "--glb-textures", "--normal-map"})
        if (name == known)
            return true;
    return false;
}

bool isSwitch(std::string_view name)
{
    return name == "--live" || name == "--batch" || name == "--no-window" || name == "--compress";
}

std::string usageText()
{
    return "Usage: orbivane [--subdivisions N] [--iterations N] [--live | --batch] [--live-seconds S]\n"
           "                [--no-window] [--seed N] [--export FILE] [--map FILE.png] [--heightmap FILE.png] [--map-width W]\n"
           "                [--dem FILE.tif]\n"
           "                [--land PERCENT] [--relief FACTOR] [--cube-faces PREFIX] [--cube-size N]\n"
           "                [--radius-km R] [--highest METRES] [--hypsometry earth|linear] [--view VIEW]\n"
           "                [--biome-map FILE.png] [--climate-maps PREFIX]\n"
           "                [--erosion STEPS] [--rivers FILE.geojson] [--river-area KM2] [--compress] [--like FILE]\n"
           "                [--render WxH FILE.png] [--look-at LAT,LON[,DISTANCE]]\n"
           "                [--glb-textures W] [--normal-map FILE.png]\n"
           "Generates a random planet and shows it turning in a window.\n"
           "\n"
           "It asks three questions on the console:\n"
           "  the number of subdivisions of the icosahedron (4 is quick, 8 is detailed),\n"
           "  the number of landscape iterations (5000 gives continents),\n"
           "  whether to watch the generation live (y/n).\n"
           "Closing the window asks again; the end of input ends the program.\n"
           "An answer given as an option is not asked; with all three, one planet is made\n"
           "and the console is not read.\n"
           "\n"
           "Options:\n"
           "  --subdivisions N      answer the first question: 0 to 12, as far as memory allows\n"
           "  --iterations N        answer the second question: 0 to 2147483647\n"
           "  --live, --batch       answer the third: watch the land rise, or generate it first\n"
           "  --no-window           make and save the planets without opening a window\n"
           "  --live-seconds S      spread a live generation over S seconds (0 to 86400; 0: as fast as the\n"
           "                        machine goes; by default 10 in a window, from its first frame, else 0)\n"
           "  --seed N              make every planet from seed N (0 to 4294967295) instead of the time\n"
           "  --export FILE         write every planet to FILE (.ply, .obj or .glb) once it is generated\n"
           "  --compress            write the --export .glb quantised and meshopt-encoded, about a third of its\n"
           "                        size; its readers need EXT_meshopt_compression (see the README)\n"
           "  --map FILE.png        write every planet's colour map (equirectangular) once it is generated\n"
           "  --heightmap FILE.png  write every planet's 16-bit greyscale height map once it is generated\n"
           "  --dem FILE.tif        write every planet's elevations in metres (32-bit floats, sea level 0) as a\n"
           "                        cloud-optimised GeoTIFF once it is generated\n"
           "  --map-width W         width of the maps in pixels, 16 to 16384 (default 2048); the height is W / 2\n"
           "  --cube-faces PREFIX   write every planet's six cube faces once it is generated: 16-bit heights as\n"
           "                        PREFIX-px.png, -nx, -py, -ny, -pz, -nz, colours as PREFIX-px-colour.png ...\n"
           "                        and normal maps as PREFIX-px-normal.png ...\n"
           "  --cube-size N         side of the cube faces in pixels, 16 to 8192 (default 1024)\n"
           "  --land PERCENT        set the sea level so that PERCENT (0 to 100) of the surface is land\n"
           "  --relief FACTOR       stretch the heights from the sea level by FACTOR (above 0, up to 10)\n"
           "                        in the window, the maps and the exports\n"
           "  --radius-km R         the planet's radius in km (above 0, up to 1000000; default 6371)\n"
           "  --highest METRES      the height of its highest land above the sea (above 0, up to 100000;\n"
           "                        default 8000); the climate and the files' headers use both\n"
           "  --hypsometry CURVE    how heights become metres: earth (default) spreads the land and the sea floor\n"
           "                        over heights as Earth's are, linear scales them all in proportion\n"
           "  --view VIEW           what the saved colours show, and the window first: biomes (default),\n"
           "                        heights, temperature or rain\n"
           "  --biome-map FILE.png  write every planet's biome classes as an 8-bit palette map, the legend as FILE.json\n"
           "  --climate-maps PREFIX\n"
           "                        write every planet's temperature (degrees C) and rain (mm a year) as 16-bit\n"
           "                        maps PREFIX-temperature.png and PREFIX-rain.png (STEM-temperature.tif ...\n"
           "                        for a PREFIX of STEM.tif)\n"
           "                        --map, --heightmap and --biome-map given a FILE.tif write cloud-optimised\n"
           "                        GeoTIFFs; every map says where its pixels lie to GIS tools (GDAL, QGIS)\n"
           "  --erosion STEPS       let rivers and falling slopes wear the land for STEPS steps (1 to 1000)\n"
           "                        before it is shown or saved\n"
           "  --rivers FILE.geojson write every planet's rivers, lakes and land as GeoJSON once it is generated:\n"
           "                        FILE.geojson, FILE-lakes.geojson and FILE-land.geojson; a FILE.gpkg writes\n"
           "                        one GeoPackage with the three layers\n"
           "  --river-area KM2      the catchment in square km a river needs, in the window, the files and the maps\n"
           "                        (above 0, up to 10000000000000); by default a 4000th of the planet up to\n"
           "                        7 subdivisions, a quarter of that for each one more\n"
           "  --like FILE           make the planet a file saved by Orbivane was made from: its seed, answers,\n"
           "                        land, relief, size, view, erosion and river area; an option given beside it\n"
           "                        wins\n"
           "  --glb-textures W      texture the land of a .glb export with its colour map and normal map,\n"
           "                        W pixels wide (64 to 8192), inside the file; not with --compress\n"
           "  --normal-map FILE.png write every planet's normal map (equirectangular, tangent space: red east,\n"
           "                        green north) once it is generated\n"
           "  --render WxH FILE.png draw every planet off screen as a smooth W by H picture (16 to 8192 each),\n"
           "                        without a window or a display; the answers are taken as with --no-window\n"
           "  --look-at LAT,LON[,DISTANCE]\n"
           "                        put the point at latitude LAT (-90 to 90) and longitude LON (-180 to 180)\n"
           "                        under the camera, DISTANCE radii away (1.5 to 8, default 3), in the\n"
           "                        window's starting view and the picture of --render\n"
           "  --help                show this text and exit\n"
           "  --version             show the version and exit\n"
           "\n"
           "Keys in the window:\n"
           "  Esc  close the window; the questions come back\n"
           "  P    save the frame as Orbivane-SEED-N.png\n"
           "  E    export the planet shown as Orbivane-SEED-N.ply\n"
           "  M    save the maps of the planet shown as Orbivane-SEED-N-map.png and Orbivane-SEED-N-height.png\n"
           "  C    save the cube faces of the planet shown as Orbivane-SEED-N-px.png ... Orbivane-SEED-N-nz-colour.png\n"
           "  N    make a new planet with the same answers and the next seed; the view stays\n"
           "  F    show the land by its facets, each triangle flat, or smooth again\n"
           "  V    show the next view: biomes, heights, temperature, rain\n"
           "  W    hide or show the rivers and lakes (shown once the land has stopped rising)\n"
           "\n"
           "Holding the planet in the window:\n"
           "  drag with the left button  turn the planet under the pointer\n"
           "  mouse wheel                come nearer or go farther (1.5 to 8 radii, 3 at the start)\n"
           "  Space                      pause or resume the turning\n"
           "  Home or R                  bring back the starting view\n"
           "\n"
           "The seed of the planet shown is in the log (Orbivane.log): in the record of every save\n"
           "and of every N (\"New planet: seed S\"). Run with --seed S to make that planet again.\n";
}
