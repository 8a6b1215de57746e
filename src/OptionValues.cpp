#include "OptionValues.h"

#include <charconv>
#include <vector>

std::optional<std::uint32_t> parseSeed(std::string_view text)
{
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::optional<int> parseCount(std::string_view text, int low, int high)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<double> parseNumber(std::string_view text, double low, double high, bool lowOpen)
{
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || stop != end || !(value <= high) || value < low ||
        (lowOpen && value == low))
        return std::nullopt;
    return value;
}

std::optional<LookAt> parseLookAt(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    const std::optional<double> latitude = parseNumber(parts[0], -90.0, 90.0, false);
    const std::optional<double> longitude = parseNumber(parts[1], -180.0, 180.0, false);
    const std::optional<double> distance = parts.size() == 3 ? parseNumber(parts[2], ViewControl::MIN_DISTANCE,
                                                                           ViewControl::MAX_DISTANCE, false)
                                                             : ViewControl::START_DISTANCE;
    if (!latitude || !longitude || !distance)
        return std::nullopt;
    return LookAt{*latitude, *longitude, *distance};
}

std::optional<std::pair<int, int>> parseSize(std::string_view text, int low, int high)
{
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const std::optional<int> width = parseCount(text.substr(0, x), low, high);
    const std::optional<int> height = parseCount(text.substr(x + 1), low, high);
    if (!width || !height)
        return std::nullopt;
    return std::pair{*width, *height};
}

std::pair<std::string_view, std::optional<std::string_view>> splitOption(std::string_view arg)
{
    const auto eq = arg.find('=');
    if (eq == std::string_view::npos || arg.substr(0, 2) != "--")
        return {arg, std::nullopt};
    return {arg.substr(0, eq), arg.substr(eq + 1)};
}
