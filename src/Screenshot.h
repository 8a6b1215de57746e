#pragma once

#include "SafeFile.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// An RGB image, rows from the top, 3 bytes a pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

// A greyscale image of 16-bit samples, rows from the top.
struct GreyImage16 {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> grey;
};

// Values, one float a pixel, rows from the top (a GeoTIFF's, GeoTiff.h).
struct FloatImage {
    int width = 0;
    int height = 0;
    std::vector<float> value;
};

// An 8-bit palette image: each pixel a number into palette (3 bytes an
// entry, at most 256 entries), rows from the top.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> index;
    std::vector<unsigned char> palette;
};

// How hard the encoder works: Small tries every row filter at zlib's default
// level; Fast (large, smooth pictures such as maps) filters each row against
// the one above and deflates at the fastest level, several times quicker
// for a slightly larger file.
enum class PngCompression { Small, Fast };

// The text chunks of a PNG: the comment (keyword "Comment") and the settings
// record (SettingsRecord.h) under its own keyword, each left out when empty.
struct PngTexts {
    PngTexts(std::string comment = {}, std::string settings = {})
        : comment(std::move(comment)), settings(std::move(settings))
    {
    }
    PngTexts(const char* comment) : comment(comment) {}
    std::string comment;
    std::string settings;
};

// Writes image as an 8-bit RGB PNG with its texts, through
// SafeFile. On failure returns false and says why in error (the errno of the
// disk, or the encoder's own failure); written gets the file's name.
bool writePng(const SaveTarget& target, const Image& image, const PngTexts& texts, std::string& error,
              std::string* written = nullptr, PngCompression compression = PngCompression::Small);

// The same for a 16-bit greyscale PNG.
bool writePng(const SaveTarget& target, const GreyImage16& image, const PngTexts& texts, std::string& error,
              std::string* written = nullptr, PngCompression compression = PngCompression::Small);

// The same PNGs written into file, which is left for its caller to commit
// (alone or in a SaveSet); false, with the reason in error, when the encoder
// or the file failed.
bool encodePng(SafeFile& file, const Image& image, const PngTexts& texts, std::string& error,
               PngCompression compression = PngCompression::Small);
bool encodePng(SafeFile& file, const GreyImage16& image, const PngTexts& texts, std::string& error,
               PngCompression compression = PngCompression::Small);
// The same for an 8-bit palette PNG.
bool writePng(const SaveTarget& target, const IndexedImage& image, const PngTexts& texts, std::string& error,
              std::string* written = nullptr, PngCompression compression = PngCompression::Small);
bool encodePng(SafeFile& file, const IndexedImage& image, const PngTexts& texts, std::string& error,
               PngCompression compression = PngCompression::Small);

// The same 8-bit RGB PNG into bytes (replacing what they held), for a file
// that carries the picture inside it; false when the encoder or the memory
// failed.
bool encodePngBytes(const Image& image, const PngTexts& texts, std::vector<unsigned char>& bytes,
                    PngCompression compression = PngCompression::Small);

// Reads an 8-bit RGB or RGBA PNG (alpha dropped); false when it cannot.
bool readPng(const std::string& path, Image& image);
