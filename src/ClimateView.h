#pragma once

#include <optional>
#include <string_view>

// What the land is coloured by: in the window (key V cycles them in this
// order) and in the colour map, the cube faces' colours and the meshes'
// vertex colours saved from it.
enum class ClimateView { Biomes, Heights, Temperature, Rain };

constexpr int CLIMATE_VIEW_COUNT = 4;

// "biomes", "heights", "temperature" or "rain": the --view value and the
// word the window logs ("View: biomes").
const char* viewName(ClimateView view);

// The view a --view value names; nothing for any other text.
std::optional<ClimateView> viewNamed(std::string_view name);

// The view after view when V is pressed; rain is followed by biomes.
ClimateView nextView(ClimateView view);

// Whether the view needs the planet's climate (every view but heights).
bool needsClimate(ClimateView view);
