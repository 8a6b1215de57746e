#pragma once

#include "ViewControl.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

// The values the command line's options take, read from their text: each
// the whole text or nothing.

// A seed: a whole number of 32 bits.
std::optional<std::uint32_t> parseSeed(std::string_view text);

// A whole number from low to high.
std::optional<int> parseCount(std::string_view text, int low, int high);

// A decimal number (no exponent) from low to high, low itself excluded when
// lowOpen.
std::optional<double> parseNumber(std::string_view text, double low, double high, bool lowOpen);

// "LAT,LON" or "LAT,LON,DISTANCE": degrees within -90 to 90 and -180 to 180,
// the distance within the view's (ViewControl), the starting one when left out.
std::optional<LookAt> parseLookAt(std::string_view text);

// "WxH", both from low to high: width, height.
std::optional<std::pair<int, int>> parseSize(std::string_view text, int low, int high);

// "--name=value" as name and value; a bare option, or an argument that is
// no option, has no value.
std::pair<std::string_view, std::optional<std::string_view>> splitOption(std::string_view arg);
