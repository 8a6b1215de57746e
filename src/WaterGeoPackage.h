#pragma once

#include "SafeFile.h"
#include "WaterLayers.h"

#include <string>

// The water's layers (WaterLayers.h) as an OGC GeoPackage made by GDAL's
// vector library: layers "rivers" (MultiLineString: order, flow, end,
// length_km), "lakes" (MultiPolygon: level_m, depth_m, area_km2, inflow) and
// "land" (Polygon: area_km2), in the planet's own geographic coordinate
// system (coordinateSystemWkt, on its sea sphere), each layer's description
// the given one, and the settings record as the dataset's metadata item
// SETTINGS_ITEM (GeoTiff.h). GDAL writes into memory only; the bytes then go
// into file (left for its caller to commit). False, with GDAL's reason in
// error, when GDAL or the file failed; GDAL prints nothing.
bool encodeWaterGeoPackage(SafeFile& file, const WaterLayers& layers, double radiusMetres,
                           const std::string& description, const std::string& settings, std::string& error);
