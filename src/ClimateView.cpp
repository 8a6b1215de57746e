#include "ClimateView.h"

namespace {
constexpr const char* NAMES[CLIMATE_VIEW_COUNT] = {"biomes", "heights", "temperature", "rain"};
} // namespace

const char* viewName(ClimateView view)
{
    return NAMES[static_cast<int>(view)];
}

std::optional<ClimateView> viewNamed(std::string_view name)
{
    for (int v = 0; v < CLIMATE_VIEW_COUNT; ++v)
        if (name == NAMES[v])
            return static_cast<ClimateView>(v);
    return std::nullopt;
}

ClimateView nextView(ClimateView view)
{
    return static_cast<ClimateView>((static_cast<int>(view) + 1) % CLIMATE_VIEW_COUNT);
}

bool needsClimate(ClimateView view)
{
    return view != ClimateView::Heights;
}
