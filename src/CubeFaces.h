#pragma once

#include "OptionTable.h"
#include "Screenshot.h"

#include <array>
#include <vector>

class LandRadii;

// Cube faces for engines: the planet seen from its centre through the six
// faces of a cube, each face size x size pixels. The faces and their
// orientation are OpenGL's cube map's (GL_TEXTURE_CUBE_MAP_POSITIVE_X and on,
// rows from t = 0, the image's top): for a direction r with major axis ma,
// s = (sc / |ma| + 1) / 2 and t = (tc / |ma| + 1) / 2 with
//   +X: sc = -rz, tc = -ry    -X: sc = +rz, tc = -ry
//   +Y: sc = +rx, tc = +rz    -Y: sc = +rx, tc = -rz
//   +Z: sc = +rx, tc = -ry    -Z: sc = -rx, tc = -ry
// Pixel k of a row or column lies at s (or t) = k / (size - 1): the first and
// last rows and columns lie on the cube's edges, so a face's edge holds
// exactly the values of its neighbour's (a quad-sphere's shared vertices).

// Face sizes (CUBE_SIZE_MIN to CUBE_SIZE_MAX) and the faces' names are the
// options' (OptionTable.h).

// The direction (not of unit length: its major axis is +-1) through pixel
// (i, j) of face `face` (0 to 5, CUBE_FACE_NAMES' order). Directions on a
// shared edge are bit for bit the same from both faces.
std::array<double, 3> cubeFaceDirection(int face, int i, int j, int size);

// The land's radius through every pixel of a face, rows from the top.
// Throws std::bad_alloc and std::system_error as LandRadii::lookUp does.
std::vector<float> cubeFaceRadii(const LandRadii& land, int face, int size);

// A face's 16-bit heights, normalised as the height map's (heightSample with
// the land's smallest and largest vertex radius).
GreyImage16 cubeHeightFace(const std::vector<float>& radii, int size, float minRadius, float maxRadius);

// A face's colours: the land shader's by height and latitude, the map's sea;
// not shaded, since an engine lights the relief itself. water, when given,
// is the fresh water's share through every pixel (cubeFaceRadii of a
// LandRadii of Rivers.h freshWaterShares): rivers and lakes over the land.
// ice, when given, is the climate's ice through every pixel (the same of
// ClimateMaps.h iceShares): land, sea and rivers under it in the ice colour.
Image cubeColourFace(const std::vector<float>& radii, int face, int size, double seaRadius = 1.0,
                     const std::vector<float>* water = nullptr, const std::vector<float>* ice = nullptr);
