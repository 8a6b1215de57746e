#include "SettingsRecord.h"

#include <algorithm>
#include <charconv>

namespace {

// The version written after the keyword; a later format takes the next one.
constexpr std::string_view VERSION_TAG = "/1 ";

// The options a record may hold, each with whether a value follows it.
struct RecordOption {
    std::string_view name;
    bool takesValue;
};
constexpr RecordOption RECORD_OPTIONS[] = {
    {"--seed", true},      {"--subdivisions", true}, {"--iterations", true}, {"--live", false},
    {"--batch", false},    {"--land", true},         {"--relief", true},     {"--radius-km", true},
    {"--highest", true},   {"--view", true},         {"--erosion", true},    {"--hypsometry", true},
    {"--river-area", true}};

// The shortest fixed-notation text that reads back as value: the command
// line takes no exponent.
std::string fixedText(double value)
{
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return error == std::errc() ? std::string(text, end) : std::string("nan");
}

// Letters, digits and the few marks a record's words are made of: nothing a
// JSON string, a PNG text chunk or a PLY comment would have to escape.
bool recordCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == ' ' || c == '/';
}

const RecordOption* recordOption(std::string_view word)
{
    const auto* found = std::find_if(std::begin(RECORD_OPTIONS), std::end(RECORD_OPTIONS),
                                     [&](const RecordOption& option) { return option.name == word; });
    return found == std::end(RECORD_OPTIONS) ? nullptr : found;
}

} // namespace

std::string settingsRecord(const PlanetSettings& settings)
{
    std::string text(SETTINGS_KEYWORD);
    text.append(VERSION_TAG).append("--seed ").append(std::to_string(settings.seed));
    text.append(" --subdivisions ").append(std::to_string(settings.subdivisions));
    text.append(" --iterations ").append(std::to_string(settings.iterations));
    text.append(settings.live ? " --live" : " --batch");
    if (settings.landPercent)
        text.append(" --land ").append(fixedText(*settings.landPercent));
    text.append(" --relief ").append(fixedText(settings.relief));
    text.append(" --radius-km ").append(fixedText(settings.radiusKm));
    text.append(" --highest ").append(fixedText(settings.highestMetres));
    text.append(" --view ").append(viewName(settings.view));
    if (settings.erosionSteps > 0)
        text.append(" --erosion ").append(std::to_string(settings.erosionSteps));
    // Left out when linear: a record without it reads back so.
    if (settings.hypsometry != Hypsometry::Linear)
        text.append(" --hypsometry ").append(hypsometryName(settings.hypsometry));
    if (settings.riverAreaKm2)
        text.append(" --river-area ").append(fixedText(*settings.riverAreaKm2));
    return text;
}

std::optional<std::vector<std::string>> settingsArguments(std::string_view record, std::string& why)
{
    if (record.size() > SETTINGS_RECORD_MAX) {
        why = "has a settings record longer than " + std::to_string(SETTINGS_RECORD_MAX) + " bytes";
        return std::nullopt;
    }
    if (!record.starts_with(SETTINGS_KEYWORD) || record.substr(SETTINGS_KEYWORD.size(), 1) != "/") {
        why = "has a settings record that does not start with " + std::string(SETTINGS_KEYWORD) + "/";
        return std::nullopt;
    }
    if (record.substr(SETTINGS_KEYWORD.size(), VERSION_TAG.size()) != VERSION_TAG) {
        why = "has a settings record of a later version than this program reads";
        return std::nullopt;
    }
    if (!std::all_of(record.begin(), record.end(), recordCharacter)) {
        why = "has a settings record with a character no record holds";
        return std::nullopt;
    }
    std::vector<std::string> words;
    std::string_view rest = record.substr(SETTINGS_KEYWORD.size() + VERSION_TAG.size());
    while (!rest.empty()) {
        const std::size_t space = std::min(rest.find(' '), rest.size());
        words.emplace_back(rest.substr(0, space));
        rest.remove_prefix(std::min(space + 1, rest.size()));
    }
    // The options seen so far, --live and --batch as one: each answers once.
    std::vector<std::string_view> seen;
    for (std::size_t w = 0; w < words.size(); ++w) {
        const RecordOption* option = recordOption(words[w]);
        const std::string_view name = words[w] == "--live" ? "--batch" : std::string_view(words[w]);
        if (!option || std::find(seen.begin(), seen.end(), name) != seen.end() ||
            (option->takesValue && ++w == words.size())) {
            why = "has a malformed settings record at '" + words[std::min(w, words.size() - 1)] + "'";
            return std::nullopt;
        }
        seen.push_back(name);
    }
    if (std::find(seen.begin(), seen.end(), "--hypsometry") == seen.end())
        words.insert(words.end(), {"--hypsometry", std::string(hypsometryName(Hypsometry::Linear))});
    return words;
}
