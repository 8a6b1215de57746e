#include "WorldShape.h"

#include <algorithm>
#include <charconv>
#include <cmath>

double WorldShape::shownRadius(double r) const
{
    if (relief == 1.0)
        return r;
    return std::max(seaRadius + (r - seaRadius) * relief, SHOWN_RADIUS_MIN);
}

void moveToShownRadius(float* xyz, const WorldShape& shape)
{
    if (shape.relief == 1.0)
        return;
    const double r = std::sqrt(double(xyz[0]) * xyz[0] + double(xyz[1]) * xyz[1] + double(xyz[2]) * xyz[2]);
    if (r == 0.0)
        return;
    const double scale = shape.shownRadius(r) / r;
    for (int k = 0; k < 3; ++k)
        xyz[k] = static_cast<float>(xyz[k] * scale);
}

std::string shortestText(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

std::string shapeComment(const WorldShape& shape)
{
    std::string text;
    if (shape.seaRadius != 1.0)
        text += ", sea radius " + shortestText(shape.seaRadius);
    if (shape.relief != 1.0)
        text += ", relief " + shortestText(shape.relief);
    return text;
}
