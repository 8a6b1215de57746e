#pragma once

#include "SafeFile.h"

#include <string>
#include <vector>

// An RGB image, rows from the top, 3 bytes a pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

// Writes image as an 8-bit RGB PNG with an optional text comment, through
// SafeFile. On failure returns false and says why in error (the errno of the
// disk, or the encoder's own failure); written gets the file's name.
bool writePng(const SaveTarget& target, const Image& image, const std::string& comment, std::string& error,
              std::string* written = nullptr);

// Reads an 8-bit RGB or RGBA PNG (alpha dropped); false when it cannot.
bool readPng(const std::string& path, Image& image);
