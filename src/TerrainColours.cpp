#include "TerrainColours.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

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
    {{0.90f, 0.94f, 0.97f}, 100.0f},
    {0.16f, 0.42f, 0.66f},
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

std::string glslSmoothstep(const ColourBand& band, const char* lowered = "")
{
    return "smoothstep(" + glslFloat(band.from) + lowered + ", " + glslFloat(band.to) + lowered + ", steps)";
}

// How far the highest band (snow) lies below its equatorial heights at a
// latitude: snowLineFall * sin^4, as the generated GLSL computes it.
float snowLineFall(float latitude)
{
    const float polar = latitude * latitude;
    return TERRAIN.ice.snowLineFall * (polar * polar);
}

// The land above the sea: the beach, then each band over it, the highest
// one lowered by `fall` steps.
Rgb landColour(float steps, float fall)
{
    constexpr std::size_t HIGHEST = std::size(TERRAIN.bands) - 1;
    Rgb c = TERRAIN.beach;
    for (std::size_t b = 0; b < HIGHEST; ++b)
        c = blend(c, TERRAIN.bands[b], steps);
    const ColourBand& top = TERRAIN.bands[HIGHEST];
    return mix(c, top.colour, smoothStep(top.from - fall, top.to - fall, steps));
}

} // namespace

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

Rgb terrainColour(float steps, float latitude)
{
    return steps < 0.0f ? blend(TERRAIN.deepFloor, TERRAIN.seaFloor, steps) : landColour(steps, snowLineFall(latitude));
}

Rgb iceCovered(const Rgb& colour, float ice)
{
    return mix(colour, TERRAIN.ice.colour, ice);
}

Rgb openSeaColour(float steps)
{
    return blend(TERRAIN.deepSea, TERRAIN.shallowSea, steps);
}

Rgb mixColours(const Rgb& x, const Rgb& y, float a)
{
    return mix(x, y, a);
}

Rgb withFreshWater(const Rgb& land, float share, float ice)
{
    return share < 0.5f ? land : iceCovered(TERRAIN.freshWater, ice);
}

void putRgb8(const Rgb& colour, unsigned char* out)
{
    for (int k = 0; k < 3; ++k)
        out[k] = static_cast<unsigned char>(std::lround(std::clamp(colour[k], 0.0f, 1.0f) * 255.0f));
}

std::string iceColourGlsl()
{
    const std::string colour = glslVec3("iceColour", TERRAIN.ice.colour);
    return "const" + colour.substr(colour.find(" vec3"));
}

std::string terrainColourGlsl()
{
    std::string glsl = iceColourGlsl() + "\nvec3 terrainColour(float steps, float latitude)\n{\n";
    glsl += glslVec3("deepFloor", TERRAIN.deepFloor);
    glsl += glslVec3(TERRAIN.seaFloor.name, TERRAIN.seaFloor.colour);
    glsl += glslVec3("beach", TERRAIN.beach);
    for (const ColourBand& band : TERRAIN.bands)
        glsl += glslVec3(band.name, band.colour);
    glsl += "\n    vec3 c;\n    if (steps < 0.0) {\n        c = mix(deepFloor, " + std::string(TERRAIN.seaFloor.name) + ", " +
            glslSmoothstep(TERRAIN.seaFloor) + ");\n    } else {\n";
    glsl += "        float polar = latitude * latitude;\n        float snowLine = " +
            glslFloat(TERRAIN.ice.snowLineFall) + " * (polar * polar);\n        c = beach;\n";
    const ColourBand& top = TERRAIN.bands[std::size(TERRAIN.bands) - 1];
    for (const ColourBand& band : TERRAIN.bands)
        glsl += "        c = mix(c, " + std::string(band.name) + ", " +
                glslSmoothstep(band, &band == &top ? " - snowLine" : "") + ");\n";
    return glsl + "    }\n    return c;\n}\n";
}
