#include "MapGeoreference.h"

#include "FileNames.h"

#include <charconv>

namespace {

std::string shortest(double value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

bool endsInPng(const std::string& name)
{
    return hasExtension(name, ".png");
}

// The sidecar of the map at mapTarget: the map's name (or, numbered, its
// suffix) turned into the sidecar's by `rename`.
template <typename Rename>
SaveTarget besideMap(const SaveTarget& mapTarget, Rename rename)
{
    if (!mapTarget.isNumbered)
        return SaveTarget::replacing(rename(mapTarget.path));
    return SaveTarget::numbered(mapTarget.prefix, rename(mapTarget.suffix), mapTarget.first, mapTarget.last);
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

std::vector<Sidecar> sidecarsOf(const SaveTarget& mapTarget, int width, int height, const MapMetadata& metadata)
{
    return {{besideMap(mapTarget, worldFileName), worldFileText(width, height)},
            {besideMap(mapTarget, [](const std::string& name) { return name + ".aux.xml"; }), auxXmlText(metadata)}};
}
