#include "NormalMap.h"

#include "CubeFaces.h"
#include "LandRadii.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

using Dir = std::array<double, 3>;

Dir minus(const Dir& a, const Dir& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

double dot(const Dir& a, const Dir& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Dir cross(const Dir& a, const Dir& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Dir unit(const Dir& a)
{
    const double length = std::sqrt(dot(a, a));
    return {a[0] / length, a[1] / length, a[2] / length};
}

// a without its part along unit u, made unit.
Dir across(const Dir& a, const Dir& u)
{
    const double along = dot(a, u);
    return unit({a[0] - along * u[0], a[1] - along * u[1], a[2] - along * u[2]});
}

unsigned char encoded(double component)
{
    return static_cast<unsigned char>(std::lround((std::clamp(component, -1.0, 1.0) + 1.0) * 0.5 * 255.0));
}

// One row of unit directions and the surface points through them.
struct Row {
    std::vector<Dir> direction;
    std::vector<Dir> point;
};

// Row j's directions and its surface points at shown(stored radius).
template <typename Shown>
void load(Row& row, int j, int width, const float* radius, const RowDirections& directions, const Shown& shown)
{
    directions(j, row.direction.data());
    for (int i = 0; i < width; ++i) {
        row.direction[i] = unit(row.direction[i]);
        const double r = shown(radius[std::size_t(j) * width + i]);
        row.point[i] = {r * row.direction[i][0], r * row.direction[i][1], r * row.direction[i][2]};
    }
}

void load(Row& row, int j, int width, const float* radius, const RowDirections& directions, const WorldShape& shape)
{
    load(row, j, width, radius, directions, [&shape](float r) { return shape.shownRadius(r); });
}

int leftOf(int i, int width, bool wraps)
{
    return wraps ? (i + width - 1) % width : std::max(i - 1, 0);
}

int rightOf(int i, int width, bool wraps)
{
    return wraps ? (i + 1) % width : std::min(i + 1, width - 1);
}

// The outward unit normal of pixel i of row `here` (`above` and `below` its
// neighbouring rows, the same row on a picture's edge) in the planet's frame.
Dir worldNormal(const Row& above, const Row& here, const Row& below, int i, int width, bool wraps)
{
    const int left = leftOf(i, width, wraps), right = rightOf(i, width, wraps);
    const Dir normal = unit(cross(minus(here.point[right], here.point[left]), minus(above.point[i], below.point[i])));
    if (dot(normal, here.direction[i]) < 0.0) // a mirrored picture: its rows and columns turn the other way
        return {-normal[0], -normal[1], -normal[2]};
    return normal;
}

// The normal of pixel i of row `here` in its tangent space.
Dir tangentNormal(const Row& above, const Row& here, const Row& below, int i, int width, bool wraps)
{
    const int left = leftOf(i, width, wraps), right = rightOf(i, width, wraps);
    const Dir& out = here.direction[i];
    const Dir tangent = across(minus(here.direction[right], here.direction[left]), out);
    const Dir bitangent = across(across(minus(above.direction[i], below.direction[i]), out), tangent);
    const Dir normal = worldNormal(above, here, below, i, width, wraps);
    return {dot(normal, tangent), dot(normal, bitangent), dot(normal, out)};
}

Image normalImage(int width, int height, const float* radius, const RowDirections& directions, bool wraps,
                  const WorldShape& shape)
{
    Image image;
    image.width = width;
    image.height = height;
    image.rgb.resize(std::size_t(3) * width * height);
    Row rows[3]; // the rows above, at and below the one being made; each loaded once
    for (Row& row : rows)
        row.direction.resize(width), row.point.resize(width);
    load(rows[1], 0, width, radius, directions, shape);
    rows[0] = rows[1];
    load(rows[2], std::min(1, height - 1), width, radius, directions, shape);
    for (int j = 0; j < height; ++j) {
        unsigned char* out = &image.rgb[std::size_t(3) * j * width];
        for (int i = 0; i < width; ++i) {
            const Dir n = tangentNormal(rows[0], rows[1], rows[2], i, width, wraps);
            for (int k = 0; k < 3; ++k)
                out[3 * i + k] = encoded(n[k]);
        }
        std::swap(rows[0], rows[1]);
        std::swap(rows[1], rows[2]);
        if (j + 2 < height)
            load(rows[2], j + 2, width, radius, directions, shape);
        else
            rows[2] = rows[1];
    }
    return image;
}

} // namespace

Image normalMapOf(const HeightGrid& grid, const WorldShape& shape)
{
    return normalImage(grid.width, grid.height, grid.radius.data(), mapRows(grid.width), true, shape);
}

Image cubeNormalFace(const std::vector<float>& radii, int face, int size, const WorldShape& shape)
{
    const RowDirections directions = [face, size](int j, std::array<double, 3>* out) {
        for (int i = 0; i < size; ++i)
            out[i] = cubeFaceDirection(face, i, j, size);
    };
    return normalImage(size, size, radii.data(), directions, false, shape);
}

void mapSurfaceRow(const HeightGrid& grid, const RowDirections& directions, int j, float seaRadius,
                   std::array<double, 3>* normals, std::array<double, 3>* ups)
{
    const auto shown = [seaRadius](float r) { return double(std::max(r, seaRadius)); };
    Row rows[3]; // above, at and below row j; the same row on the map's top and bottom
    for (int k = 0; k < 3; ++k) {
        rows[k].direction.resize(grid.width), rows[k].point.resize(grid.width);
        const int row = std::clamp(j + k - 1, 0, grid.height - 1);
        load(rows[k], row, grid.width, grid.radius.data(), directions, shown);
    }
    for (int i = 0; i < grid.width; ++i) {
        normals[i] = worldNormal(rows[0], rows[1], rows[2], i, grid.width, true);
        ups[i] = rows[1].direction[i];
    }
}

std::array<double, 3> decodeNormal(const unsigned char* rgb)
{
    return unit({rgb[0] / 127.5 - 1.0, rgb[1] / 127.5 - 1.0, rgb[2] / 127.5 - 1.0});
}
