#include "ClimateMaps.h"

#include "ClimateColours.h"
#include "ColourMap.h"
#include "CubeFaces.h"
#include "LandRadii.h"
#include "WorldMap.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int CHANNELS = 4; // red, green, blue, frozen sea

// The corners' channels weighted.
std::array<float, CHANNELS> interpolated(const PixelCorners& corners, const std::vector<float>& channels)
{
    std::array<float, CHANNELS> out{};
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < CHANNELS; ++c)
            out[c] += corners.weight[k] * channels[CHANNELS * std::size_t(corners.vertex[k]) + c];
    return out;
}

// A pixel's colour before shading: the land's, or the sea by depth under its ice.
Rgb pixelColour(const std::array<float, CHANNELS>& values, float radius, float sea)
{
    const float steps = (radius - sea) * STEPS_PER_UNIT;
    if (steps >= 0.0f)
        return {values[0], values[1], values[2]};
    return climateSeaColour(steps, values[3]);
}

} // namespace

std::vector<float> viewVertexChannels(const Climate& climate, ClimateView view)
{
    std::vector<float> channels(CHANNELS * climate.biome.size());
    for (std::size_t v = 0; v < climate.biome.size(); ++v) {
        const Rgb c = climateVertexColour(view, climate.temperature[v], climate.rain[v], climate.biome[v]);
        std::copy(c.begin(), c.end(), &channels[CHANNELS * v]);
        channels[CHANNELS * v + 3] = climate.biome[v] == Biome::SeaIce ? 1.0f : 0.0f;
    }
    return channels;
}

std::vector<double> iceShares(const Climate& climate)
{
    std::vector<double> shares(climate.biome.size());
    for (std::size_t v = 0; v < shares.size(); ++v)
        shares[v] = isIceClass(climate.biome[v]) ? 1.0 : 0.0;
    return shares;
}

Image climateColourMapOf(const HeightGrid& grid, const LandRadii& land, const std::vector<float>& channels,
                         double seaRadius)
{
    const auto sea = static_cast<float>(seaRadius);
    Image image;
    image.width = grid.width;
    image.height = grid.height;
    image.rgb.resize(grid.radius.size() * 3);
    const RowDirections directions = mapRows(grid.width);
    land.lookUpCorners(grid.width, grid.height, directions, [&](int j, const PixelCorners* corners) {
        std::vector<float> shades(grid.width); // each row on either of two threads
        hillShadeRow(grid, directions, j, sea, shades.data());
        for (int i = 0; i < grid.width; ++i) {
            const std::size_t p = static_cast<std::size_t>(j) * grid.width + i;
            Rgb colour = pixelColour(interpolated(corners[i], channels), grid.radius[p], sea);
            if (grid.radius[p] >= sea)
                colour = reliefShaded(colour, shades[i]);
            if (!grid.water.empty() && grid.radius[p] >= sea)
                colour = withFreshWater(colour, grid.water[p], grid.ice.empty() ? 0.0f : grid.ice[p]);
            putRgb8(colour, &image.rgb[3 * p]);
        }
    });
    return image;
}

Image climateCubeColourFace(const std::vector<float>& radii, const LandRadii& land, int face, int size,
                            const std::vector<float>& channels, double seaRadius, const std::vector<float>* water,
                            const std::vector<float>* ice)
{
    Image image;
    image.width = image.height = size;
    image.rgb.resize(radii.size() * 3);
    const auto rows = [face, size](int j, std::array<double, 3>* directions) {
        for (int i = 0; i < size; ++i)
            directions[i] = cubeFaceDirection(face, i, j, size);
    };
    land.lookUpCorners(size, size, rows, [&](int j, const PixelCorners* corners) {
        for (int i = 0; i < size; ++i) {
            const std::size_t p = static_cast<std::size_t>(j) * size + i;
            Rgb colour = pixelColour(interpolated(corners[i], channels), radii[p], static_cast<float>(seaRadius));
            if (water && radii[p] >= seaRadius)
                colour = withFreshWater(colour, (*water)[p], ice ? (*ice)[p] : 0.0f);
            putRgb8(colour, &image.rgb[3 * p]);
        }
    });
    return image;
}

IndexedImage biomeMapOf(const LandRadii& land, int width, const std::vector<Biome>& biomes)
{
    IndexedImage image;
    image.width = width;
    image.height = width / 2;
    image.index.resize(static_cast<std::size_t>(image.width) * image.height);
    for (std::size_t b = 0; b < std::size_t(Biome::Count); ++b) {
        unsigned char colour[3];
        putRgb8(BIOME_CLASSES[b].colour, colour);
        image.palette.insert(image.palette.end(), colour, colour + 3);
    }
    land.lookUpCorners(image.width, image.height, mapRows(width), [&](int j, const PixelCorners* corners) {
        for (int i = 0; i < image.width; ++i) {
            const PixelCorners& c = corners[i];
            const int nearest = int(std::max_element(c.weight, c.weight + 3) - c.weight);
            image.index[static_cast<std::size_t>(j) * image.width + i] =
                static_cast<std::uint8_t>(biomes[c.vertex[nearest]]);
        }
    });
    return image;
}

std::uint16_t bandSample(double value, const MapBand& band)
{
    return static_cast<std::uint16_t>(std::clamp(std::round((value - band.offset) / band.scale), 0.0, 65535.0));
}

GreyImage16 climateMapOf(const LandRadii& land, int width, const std::vector<float>& values, const MapBand& band)
{
    GreyImage16 image;
    image.width = width;
    image.height = width / 2;
    image.grey.resize(static_cast<std::size_t>(image.width) * image.height);
    land.lookUpCorners(image.width, image.height, mapRows(width), [&](int j, const PixelCorners* corners) {
        for (int i = 0; i < image.width; ++i) {
            const PixelCorners& c = corners[i];
            double value = 0.0;
            for (int k = 0; k < 3; ++k)
                value += double(c.weight[k]) * values[c.vertex[k]];
            image.grey[static_cast<std::size_t>(j) * image.width + i] = bandSample(value, band);
        }
    });
    return image;
}
