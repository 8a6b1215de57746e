#include "BiomeLegend.h"

#include "Biomes.h"

#include <nlohmann/json.hpp>

std::string biomeLegendJson(int indent)
{
    std::string text = "[";
    for (std::size_t b = 0; b < std::size_t(Biome::Count); ++b) {
        unsigned char colour[3];
        putRgb8(BIOME_CLASSES[b].colour, colour);
        const nlohmann::ordered_json entry = {
            {"number", b}, {"name", BIOME_CLASSES[b].name}, {"colour", {colour[0], colour[1], colour[2]}}};
        // Appended piece by piece: g++ 12 warns wrongly about chained string sums.
        if (b)
            text += ',';
        if (indent >= 0)
            text.append("\n").append(std::size_t(indent), ' ');
        text += entry.dump();
    }
    return text + (indent < 0 ? "]" : "\n]");
}
