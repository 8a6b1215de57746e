#pragma once

#include "SafeFile.h"

#include <string>
#include <vector>

// What tells GIS tools (GDAL, QGIS) where a map's pixels lie on the planet,
// written beside the map: a world file "NAME.pgw" with the pixel size and the
// upper-left pixel's centre in degrees, and GDAL's "NAME.png.aux.xml" with
// the coordinate system. The maps cover the globe: longitude -180 to 180
// degrees left to right, latitude 90 to -90 top to bottom.

// The six lines of a width x height map's world file: A = 360 / width, 0, 0,
// E = -180 / height, C = -180 + A / 2, F = 90 + E / 2, each the shortest
// decimal that reads back as the same double.
std::string worldFileText(int width, int height);

// A geographic coordinate system in WKT on the planet's sea sphere (radius
// 1: the planet has no scale of its own), longitude 0 through +x.
std::string coordinateSystemWkt();

// The PAM dataset GDAL reads: <PAMDataset><SRS>WKT</SRS></PAMDataset>.
std::string auxXmlText();

// "NAME.pgw" for "NAME.png" (".png" in any case); other names get ".pgw" added.
std::string worldFileName(const std::string& mapName);

// A file written beside a map, and its contents.
struct Sidecar {
    SaveTarget target;
    std::string text;
};

// The world file and the .aux.xml of a width x height map saved through
// mapTarget: beside the name the user gave (a replacing target), or with the
// map's N (a numbered one; saved in one SaveSet with the map, which gives
// them its N).
std::vector<Sidecar> sidecarsOf(const SaveTarget& mapTarget, int width, int height);
