#pragma once

#include "OptionTable.h"
#include "Rivers.h"
#include "SafeFile.h"

#include <string>

// The water of a planet as GeoJSON (RFC 7946), longitude and latitude in
// degrees on the sphere as the maps place them:
//  - each river line (Rivers.h) a LineString from its start to where it
//    ends, with its "order", its "flow" (at its last vertex before the end,
//    in mm a year times area on the unit sphere) and its "end" ("sea",
//    "lake" or "river");
//  - each lake's shore a Polygon with its "level" (radius of its surface in
//    sea radii, as generated), "depth" (its deepest point below the level)
//    and "inflow";
//  - each coastline a Polygon with the land on its left (counter-clockwise
//    round an island).
// The collection's "description" is the planet's header comment, and its
// "orbivane-settings" member the settings record (SettingsRecord.h).

// The document of water, with header as its description and settings as its
// record (left out when empty). Throws std::bad_alloc.
std::string riverGeoJson(const LandWater& water, const IcosphereWeld& weld, const std::string& header,
                         const std::string& settings);

// Writes the document through SafeFile; false with the reason in error when
// it cannot be written. written gets the file's name.
bool writeRiverFile(const SaveTarget& target, const LandWater& water, const IcosphereWeld& weld,
                    const std::string& header, const std::string& settings, std::string& error,
                    std::string* written = nullptr);
