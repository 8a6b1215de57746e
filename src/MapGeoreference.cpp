#include "MapGeoreference.h"

#include <cerrno>
#include <charconv>
#include <unistd.h>

namespace {

std::string shortest(double value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

bool endsInPng(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".png";
}

// The sidecar of the map at mapTarget: the map's name (or, numbered, its
// suffix) turned into the sidecar's by `rename`, at the map's N.
template <typename Rename>
SaveTarget besideMap(const SaveTarget& mapTarget, int n, Rename rename)
{
    if (!mapTarget.isNumbered)
        return SaveTarget::replacing(rename(mapTarget.path));
    return SaveTarget::numbered(mapTarget.prefix, rename(mapTarget.suffix), n);
}

// The N the numbered map was written under, from its name.
int numberOf(const SaveTarget& mapTarget, const std::string& written)
{
    if (!mapTarget.isNumbered || written.size() < mapTarget.prefix.size() + mapTarget.suffix.size())
        return mapTarget.first;
    const std::string digits =
        written.substr(mapTarget.prefix.size(), written.size() - mapTarget.prefix.size() - mapTarget.suffix.size());
    int n = mapTarget.first;
    std::from_chars(digits.data(), digits.data() + digits.size(), n);
    return n;
}

// Writes text to target. A numbered target must land on N: a file that
// went elsewhere because N was taken is removed again (EEXIST).
bool writeSidecar(const SaveTarget& target, int n, const std::string& text, std::string& error)
{
    SafeFile file(target);
    file.write(text);
    if (!file.commit()) {
        error = failureText(file.failure);
        return false;
    }
    if (target.isNumbered && file.finalPath != target.prefix + std::to_string(n) + target.suffix) {
        unlink(file.finalPath.c_str());
        error = failureText(EEXIST);
        return false;
    }
    return true;
}

} // namespace

std::string worldFileText(int width, int height)
{
    const double a = 360.0 / width, e = -180.0 / height;
    return shortest(a) + "\n0\n0\n" + shortest(e) + "\n" + shortest(-180.0 + a / 2.0) + "\n" + shortest(90.0 + e / 2.0) +
           "\n";
}

std::string coordinateSystemWkt(double radiusMetres)
{
    return "GEOGCS[\"Orbivane planet\",DATUM[\"Orbivane sea sphere\",SPHEROID[\"Orbivane sea sphere\"," +
           shortest(radiusMetres) + ",0]],PRIMEM[\"Longitude 0 (+x)\",0],UNIT[\"degree\",0.0174532925199433]]";
}

std::string auxXmlText(const MapMetadata& metadata)
{
    std::string text = "<PAMDataset>\n  <SRS>" + coordinateSystemWkt(metadata.radiusMetres) + "</SRS>\n";
    if (const auto& band = metadata.band)
        text += "  <PAMRasterBand band=\"1\">\n    <Description>" + std::string(band->description) +
                "</Description>\n    <UnitType>" + band->unit + "</UnitType>\n    <Offset>" + shortest(band->offset) +
                "</Offset>\n    <Scale>" + shortest(band->scale) + "</Scale>\n  </PAMRasterBand>\n";
    return text + "</PAMDataset>\n";
}

std::string worldFileName(const std::string& mapName)
{
    return (endsInPng(mapName) ? mapName.substr(0, mapName.size() - 4) : mapName) + ".pgw";
}

bool writeGeoreference(const SaveTarget& mapTarget, const std::string& written, int width, int height,
                       std::string& failedFile, std::string& error, const MapMetadata& metadata)
{
    const int n = numberOf(mapTarget, written);
    const SaveTarget worldFile = besideMap(mapTarget, n, worldFileName);
    const SaveTarget aux = besideMap(mapTarget, n, [](const std::string& name) { return name + ".aux.xml"; });
    for (const auto& [target, text] :
         {std::pair{&worldFile, worldFileText(width, height)}, std::pair{&aux, auxXmlText(metadata)}})
        if (!writeSidecar(*target, n, text, error)) {
            failedFile = target->isNumbered ? target->prefix + std::to_string(n) + target->suffix : target->path;
            return false;
        }
    return true;
}
