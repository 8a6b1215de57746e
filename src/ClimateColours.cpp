#include "ClimateColours.h"

#include <algorithm>

const ColourRamp TEMPERATURE_RAMP = {{
    {-30.0f, {0.36f, 0.20f, 0.55f}},
    {-10.0f, {0.30f, 0.55f, 0.90f}},
    {0.0f, {0.85f, 0.93f, 0.97f}},
    {12.0f, {0.45f, 0.75f, 0.35f}},
    {24.0f, {0.97f, 0.80f, 0.25f}},
    {35.0f, {0.78f, 0.15f, 0.10f}},
}};

const ColourRamp RAIN_RAMP = {{
    {0.0f, {0.62f, 0.45f, 0.26f}},
    {250.0f, {0.88f, 0.80f, 0.48f}},
    {600.0f, {0.55f, 0.75f, 0.33f}},
    {1200.0f, {0.18f, 0.58f, 0.38f}},
    {2200.0f, {0.15f, 0.45f, 0.75f}},
    {4000.0f, {0.16f, 0.18f, 0.55f}},
}};

namespace {

// How far value lies from one stop to the next, 0 to 1, as the GLSL has it.
float along(float value, const RampStop& from, const RampStop& to)
{
    return std::clamp((value - from.value) / (to.value - from.value), 0.0f, 1.0f);
}

std::string rampGlsl(const char* function, const ColourRamp& ramp)
{
    std::string glsl = std::string("vec3 ") + function + "(float value)\n{\n" +
                       glslVec3("c", ramp.stops[0].colour);
    for (std::size_t s = 1; s < ColourRamp::STOPS; ++s) {
        const RampStop &from = ramp.stops[s - 1], &to = ramp.stops[s];
        glsl += "    c = mix(c, vec3(" + glslFloat(to.colour[0]) + ", " + glslFloat(to.colour[1]) + ", " +
                glslFloat(to.colour[2]) + "), clamp((value - " + glslFloat(from.value) + ") / (" +
                glslFloat(to.value) + " - " + glslFloat(from.value) + "), 0.0, 1.0));\n";
    }
    return glsl + "    return c;\n}\n";
}

// A class number's colour, the classes compared one by one: the number
// arrives as a float attribute, exact for these small whole numbers.
std::string biomeColourGlsl()
{
    std::string glsl = "vec3 biomeColour(float biome)\n{\n";
    for (std::size_t b = 0; b + 1 < std::size_t(Biome::Count); ++b) {
        const Rgb& c = BIOME_CLASSES[b].colour;
        glsl += "    if (biome < " + glslFloat(float(b) + 0.5f) + ")\n        return vec3(" + glslFloat(c[0]) + ", " +
                glslFloat(c[1]) + ", " + glslFloat(c[2]) + ");\n";
    }
    const Rgb& last = BIOME_CLASSES[std::size_t(Biome::Count) - 1].colour;
    return glsl + "    return vec3(" + glslFloat(last[0]) + ", " + glslFloat(last[1]) + ", " + glslFloat(last[2]) +
           ");\n}\n";
}

std::string classTest(const char* name, Biome biome)
{
    return "abs(" + std::string(name) + " - " + glslFloat(float(biomeNumber(biome))) + ") < 0.5";
}

} // namespace

Rgb rampColour(const ColourRamp& ramp, float value)
{
    Rgb c = ramp.stops[0].colour;
    for (std::size_t s = 1; s < ColourRamp::STOPS; ++s)
        c = mixColours(c, ramp.stops[s].colour, along(value, ramp.stops[s - 1], ramp.stops[s]));
    return c;
}

bool isSeaClass(Biome biome)
{
    return biome == Biome::Ocean || biome == Biome::SeaIce;
}

bool isIceClass(Biome biome)
{
    return biome == Biome::Ice || biome == Biome::SeaIce;
}

Rgb climateSeaColour(float steps, float frozen)
{
    return mixColours(openSeaColour(steps), BIOME_CLASSES[std::size_t(Biome::SeaIce)].colour, frozen);
}

Rgb climateVertexColour(ClimateView view, float temperature, float rain, Biome biome)
{
    if (isSeaClass(biome) || view == ClimateView::Heights)
        return TERRAIN.beach;
    if (view == ClimateView::Temperature)
        return rampColour(TEMPERATURE_RAMP, temperature);
    if (view == ClimateView::Rain)
        return rampColour(RAIN_RAMP, rain);
    return BIOME_CLASSES[std::size_t(biome)].colour;
}

std::string climateColourGlsl()
{
    std::string glsl = biomeColourGlsl() + rampGlsl("temperatureColour", TEMPERATURE_RAMP) +
                       rampGlsl("rainColour", RAIN_RAMP);
    glsl += "vec3 climateColour(int view, vec3 climate)\n{\n";
    glsl += "    if (" + classTest("climate.z", Biome::Ocean) + " || " + classTest("climate.z", Biome::SeaIce) +
            " || view == " + std::to_string(int(ClimateView::Heights)) + ")\n";
    const Rgb& beach = TERRAIN.beach;
    glsl += "        return vec3(" + glslFloat(beach[0]) + ", " + glslFloat(beach[1]) + ", " + glslFloat(beach[2]) +
            ");\n";
    glsl += "    if (view == " + std::to_string(int(ClimateView::Temperature)) +
            ")\n        return temperatureColour(climate.x);\n";
    glsl += "    if (view == " + std::to_string(int(ClimateView::Rain)) + ")\n        return rainColour(climate.y);\n";
    glsl += "    return biomeColour(climate.z);\n}\n";
    return glsl + "float iceClass(float biome)\n{\n    return " + classTest("biome", Biome::Ice) + " || " +
           classTest("biome", Biome::SeaIce) + " ? 1.0 : 0.0;\n}\n";
}

std::string seaIceGlsl()
{
    const std::string colour = glslVec3("seaIceColour", BIOME_CLASSES[std::size_t(Biome::SeaIce)].colour);
    return "const" + colour.substr(colour.find(" vec3")) + "\nfloat seaIce(float biome)\n{\n    return " +
           classTest("biome", Biome::SeaIce) + " ? 1.0 : 0.0;\n}\n";
}

std::string viewNumbersGlsl()
{
    return "const int HEIGHTS_VIEW = " + std::to_string(int(ClimateView::Heights)) + ";\n";
}
