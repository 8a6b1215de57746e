#pragma once

#include "MapGeoreference.h"
#include "OptionTable.h"
#include "SafeFile.h"
#include "Screenshot.h"

#include <optional>
#include <string>
#include <string_view>

// Maps as cloud-optimised GeoTIFFs, made by GDAL's COG driver. GDAL writes
// into memory only (/vsimem/); the bytes then go through the SafeFile they
// are given like any other file, so GDAL never opens a name the user gave.
// Each file holds what a PNG map keeps beside it: where its pixels lie (the
// whole globe, longitude -180 to 180 left to right), the coordinate system
// (coordinateSystemWkt), and a band's unit, scale and offset.

// The dataset metadata item that holds a GeoTIFF's settings record.
inline constexpr const char* SETTINGS_ITEM = "orbivane-settings";

// Writes picture into file (left for its caller to commit) as a COG with
// metadata's coordinate system and band, and the texts a PNG map carries:
// the header as the TIFF's image description, the settings record as the
// metadata item SETTINGS_ITEM. An RGB picture has
// three bytes a pixel, a grey one 16-bit samples, an indexed one its palette
// as the colour table. False, with GDAL's reason in error, when GDAL or the
// file failed; GDAL prints nothing.
bool encodeGeoTiff(SafeFile& file, const Image& picture, const PngTexts& texts, const MapMetadata& metadata,
                   std::string& error);
bool encodeGeoTiff(SafeFile& file, const GreyImage16& picture, const PngTexts& texts,
                   const MapMetadata& metadata, std::string& error);
bool encodeGeoTiff(SafeFile& file, const IndexedImage& picture, const PngTexts& texts,
                   const MapMetadata& metadata, std::string& error);
bool encodeGeoTiff(SafeFile& file, const FloatImage& picture, const PngTexts& texts,
                   const MapMetadata& metadata, std::string& error);

// The settings record of a GeoTIFF whose first bytes are head (its header and
// tags lie at its start); nothing when GDAL cannot read them or there is no
// record; why, when GDAL cannot be loaded or cannot read them, says so with
// the reason ("is a GeoTIFF, which cannot be read: GDAL could not be loaded:
// ...", "...: GDAL could not read it: ...").
// GDAL prints nothing.
std::optional<std::string> geoTiffSettingsRecord(std::string_view head, std::string& why);
