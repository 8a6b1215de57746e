#include "TerrainColours.h"

#include <algorithm>
#include <charconv>

const TerrainPalette TERRAIN = {
    {"shallowFloor", {0.32f, 0.62f, 0.60f}, -50.0f, -3.0f},
    {0.01f, 0.05f, 0.13f},
    {0.87f, 0.80f, 0.58f},
    {
        {"lowland", {0.24f, 0.50f, 0.16f}, 2.0f, 9.0f},
        {"highland", {0.46f, 0.52f, 0.24f}, 45.0f, 80.0f},
        {"rock", {0.47f, 0.40f, 0.34f}, 90.0f, 125.0f},
        {"snow", {0.96f, 0.96f, 0.94f}, 145.0f, 175.0f},
    },
    {"shallowSea", {0.13f, 0.36f, 0.55f}, -150.0f, 0.0f},
    {0.01f, 0.06f, 0.17f},
};

namespace {

// GLSL's smoothstep, term by term in float.
float smoothStep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// GLSL's mix: x * (1 - a) + y * a.
Rgb mix(const Rgb& x, const Rgb& y, float a)
{
    Rgb out;
    for (int k = 0; k < 3; ++k)
        out[k] = x[k] * (1.0f - a) + y[k] * a;
    return out;
}

Rgb blend(const Rgb& below, const ColourBand& band, float steps)
{
    return mix(below, band.colour, smoothStep(band.from, band.to, steps));
}

// The shortest text that reads back as the same float, always with a point
// or an exponent: GLSL 1.20 reads "2" as an int.
std::string glslFloat(float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    std::string literal(text, end);
    if (literal.find_first_of(".e") == std::string::npos)
        literal += ".0";
    return literal;
}

std::string glslVec3(const char* name, const Rgb& colour)
{
    return std::string("    vec3 ") + name + " = vec3(" + glslFloat(colour[0]) + ", " + glslFloat(colour[1]) + ", " +
           glslFloat(colour[2]) + ");\n";
}

std::string glslSmoothstep(const ColourBand& band)
{
    return "smoothstep(" + glslFloat(band.from) + ", " + glslFloat(band.to) + ", steps)";
}

} // namespace

Rgb terrainColour(float steps)
{
    if (steps < 0.0f)
        return blend(TERRAIN.deepFloor, TERRAIN.seaFloor, steps);
    Rgb c = TERRAIN.beach;
    for (const ColourBand& band : TERRAIN.bands)
        c = blend(c, band, steps);
    return c;
}

Rgb seaColour(float steps)
{
    return blend(TERRAIN.deepSea, TERRAIN.shallowSea, steps);
}

std::string terrainColourGlsl()
{
    std::string glsl = "vec3 terrainColour(float steps)\n{\n";
    glsl += glslVec3("deepFloor", TERRAIN.deepFloor);
    glsl += glslVec3(TERRAIN.seaFloor.name, TERRAIN.seaFloor.colour);
    glsl += glslVec3("beach", TERRAIN.beach);
    for (const ColourBand& band : TERRAIN.bands)
        glsl += glslVec3(band.name, band.colour);
    glsl += "\n    if (steps < 0.0)\n        return mix(deepFloor, " + std::string(TERRAIN.seaFloor.name) + ", " +
            glslSmoothstep(TERRAIN.seaFloor) + ");\n";
    glsl += "    vec3 c = beach;\n";
    for (const ColourBand& band : TERRAIN.bands)
        glsl += "    c = mix(c, " + std::string(band.name) + ", " + glslSmoothstep(band) + ");\n";
    return glsl + "    return c;\n}\n";
}
