#pragma once

#include "ClimateView.h"
#include "Hypsometry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Everything that made a planet's land, its climate and its colours, as one
// line of text saved in every file made from it, so that --like FILE makes
// the planet again. The record is command-line options after a versioned
// keyword:
//   orbivane-settings/1 --seed 42 --subdivisions 8 --iterations 5000 --batch
//       --land 30 --relief 1 --radius-km 6371 --highest 8000 --view biomes --erosion 10
//       --hypsometry earth
// (on one line); --land, --erosion and --river-area are left out when they
// were not used (a record without --river-area reads back to the default,
// which follows the subdivisions it holds),
// --hypsometry when linear: a record without it was made with linear
// metres (as every record was before heights had a curve), and reads back so.
// Numbers are written in the shortest fixed notation that reads back as the
// same double, so the options read from a record are bit-identical.
struct PlanetSettings {
    std::uint32_t seed = 0;
    int subdivisions = 0;
    int iterations = 0;                // fault planes asked for
    bool live = false;                 // raised plane by plane (--live) rather than in batch
    std::optional<double> landPercent; // 0 to 100; nothing: the sea at radius 1
    double relief = 1.0;
    double radiusKm = 6371.0;
    double highestMetres = 8000.0;
    ClimateView view = ClimateView::Biomes; // what the saved colours show
    int erosionSteps = 0;                   // 0: the land as generated
    Hypsometry hypsometry = Hypsometry::Earth; // how its heights became metres
    std::optional<double> riverAreaKm2{};      // a river's catchment, km²; nothing: the mesh's default
};

// The keyword a record starts with, and the name of the member, chunk or
// comment that holds it in a file.
inline constexpr std::string_view SETTINGS_KEYWORD = "orbivane-settings";

// The longest record read back, in bytes: about 180 for usual values, and
// under 1850 when all five decimal values are the smallest doubles the
// options take, each some 330 digits in fixed notation.
inline constexpr std::size_t SETTINGS_RECORD_MAX = 2048;

// The record of settings: "orbivane-settings/1 --seed ...".
std::string settingsRecord(const PlanetSettings& settings);

// The options a record holds, as command-line words ("--seed", "42",
// "--batch", ...), for the command line to take as it takes its own; nothing,
// with the reason in why, for a text that is not a record of this version,
// is longer than SETTINGS_RECORD_MAX or names an option a record never holds.
std::optional<std::vector<std::string>> settingsArguments(std::string_view record, std::string& why);
