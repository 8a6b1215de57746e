#include "WorldShape.h"

#include <algorithm>
#include <charconv>

double WorldShape::shownRadius(double r) const
{
    if (relief == 1.0)
        return r;
    return std::max(seaRadius + (r - seaRadius) * relief, SHOWN_RADIUS_MIN);
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
