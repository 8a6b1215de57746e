#pragma once

#include <string>

// The legend of the biome classes, from BIOME_CLASSES: a JSON array of
// {"number": N, "name": "...", "colour": [R, G, B]}, the colour in bytes as
// the biome map's palette has it. On one line by default, or a class a line
// indented by indent spaces. The biome map's FILE.json and the .glb's extras
// carry it.
std::string biomeLegendJson(int indent = -1);
