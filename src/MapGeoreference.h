#pragma once

#include "SafeFile.h"

#include <optional>
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

// A 16-bit map's physical values: offset + scale x sample, in unit.
struct MapBand {
    double offset;
    double scale;
    const char* unit;        // GDAL's UnitType
    const char* description; // what the band holds
};

// What a map's .aux.xml says besides where its pixels lie.
struct MapMetadata {
    double radiusMetres = 1.0;   // the sea sphere's radius; 1 for a planet of no size
    std::optional<MapBand> band; // for a map of physical values
};

// A geographic coordinate system in WKT on the planet's sea sphere of
// radiusMetres, longitude 0 through +x.
std::string coordinateSystemWkt(double radiusMetres = 1.0);

// The PAM dataset GDAL reads: <PAMDataset><SRS>WKT</SRS></PAMDataset>, and
// for a band its <PAMRasterBand band="1"> with <Description>, <UnitType>,
// <Offset> and <Scale>, so GDAL gives the physical value of a sample.
std::string auxXmlText(const MapMetadata& metadata = {});

// "NAME.pgw" for "NAME.png" (".png" in any case); other names get ".pgw" added.
std::string worldFileName(const std::string& mapName);

// A file written beside a map, and its contents.
struct Sidecar {
    SaveTarget target;
    std::string text;
};

// The world file and the .aux.xml (with metadata) of a width x height map
// saved through mapTarget: beside the name the user gave (a replacing
// target), or with the map's N (a numbered one; saved in one SaveSet with the
// map, which gives them its N).
std::vector<Sidecar> sidecarsOf(const SaveTarget& mapTarget, int width, int height,
                                const MapMetadata& metadata = {});
