#pragma once

#include <string>
#include <vector>

// An RGB image, rows from the top, 3 bytes a pixel.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

// Writes image as an 8-bit RGB PNG with an optional text comment. On failure
// returns false and says why in error.
bool writePng(const std::string& path, const Image& image, const std::string& comment, std::string& error);

// Reads an 8-bit RGB or RGBA PNG (alpha dropped); false when it cannot.
bool readPng(const std::string& path, Image& image);
