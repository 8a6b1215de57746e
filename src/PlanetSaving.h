#pragma once

#include "ClimateView.h"
#include "MapSaving.h"
#include "MeshExport.h"
#include "SafeFile.h"
#include "SavedPlanet.h"

#include <functional>
#include <optional>
#include <string>

class LandSnapshot;
class Planet;
struct Image;
struct Options;

// What a planet can be saved as, for the console cycle and the window alike:
// the mesh and the maps. Every outcome is logged; the maps are made in
// MapSaving, what every saved file says of its planet in SavedPlanet, and the
// files themselves by one small writer per format.

// How an export is written beyond its format.
struct ExportForm {
    bool compress = false; // quantised and meshopt-encoded, when the format can be (LandView)
    // Above 0: a .glb's land textured with the colour map and the normal map
    // this many pixels wide (the pixels --map and --normal-map would write);
    // a textured .glb is written plain, whatever compress says.
    int textureWidth = 0;
};

// Writes planet to target as its land stands at the end of the plane under
// way (a live generation goes on meanwhile), its vertex colours showing
// view (a .glb carries the biome classes in every view), in form; logs the
// outcome. Returns whether the file was written with all it was asked to
// hold: one written without its climate's colours, its rivers or its
// textures for want of memory (each said) returns false.
bool exportPlanetTo(Planet& planet, const SaveTarget& target, ClimateView view = ClimateView::Heights,
                    ExportForm form = {});

// Makes the maps of planet, width pixels wide, from its land at the end of
// the plane under way, the colour map showing view, and writes them to
// targets; logs each outcome. When numbered with the colour map, the height
// map and the normal map take exactly the number the colour map took. Returns whether every map asked for was written.
bool saveMapsOf(Planet& planet, const MapTargets& targets, int width, ClimateView view = ClimateView::Heights);

// Makes the six height, six colour and six normal faces of planet
// (CubeFaces.h, NormalMap.h), size pixels square, the colours showing view,
// and writes them, stopping at the first that cannot be written; logs the
// outcome. Returns whether all eighteen were written.
bool saveCubeFacesOf(Planet& planet, const CubeFaceTarget& targetFor, int size,
                     ClimateView view = ClimateView::Heights);

// Writes the rivers, lakes and coasts of planet (RiverFile.h) to target from
// its land at the end of the plane under way, its settings record naming
// view; logs the outcome.
bool saveRiversOf(Planet& planet, const SaveTarget& target, ClimateView view);

// Whether options ask for any file to be written after each generation.
bool savesAsked(const Options& options);

// Counts the files options ask for (--export, --map, --heightmap, --dem, --rivers,
// and the cube faces, the biome map with its legend and the climate maps
// each as one) as asked and not written: a planet that could not be made
// owes them.
void oweAskedFiles(const Options& options);

// Writes the planet to the files options ask for once its generation has
// ended, once per planet, whichever way it was made (a console cycle, or N
// in the window): the first planet of the run to the names given, the K-th
// to NAME-K.EXT beside them. Its files count as asked as its saves start.
void saveAskedFiles(Planet& planet, const Options& options);

// Whether a file options asked for was not written in this run, or written
// short of what they asked (exportPlanetTo's, or any file of a planet whose
// shape is short: Planet::shapeShort): the run then ends with status 1.
bool savesAskedFailed();

// --render's picture of planet, the last planet saveAskedFiles numbered, to
// options.renderPath (planetPath's name for a later planet of the run), with
// the header the window's P gives its frames; it counts among the files
// asked for. An empty poster (it could not be drawn whole) is reported as not
// saved, for the reason notDrawn.
void savePoster(const Planet& planet, const Image& poster, const std::string& notDrawn, const Options& options);
