#include "GeoTiff.h"

#include "GdalLibrary.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

// GDAL's functions once loaded (loadGdal), which every call that uses them
// makes first on its own thread.
struct {
    const GdalLibrary* operator->() const { return loadedGdal(); }
} gdal;

// How a picture's samples lie in memory, as GDALDatasetRasterIO takes them.
struct Layout {
    int width;
    int height;
    int bands;
    GDALDataType type;
    const void* data;
    int pixelSpace; // bytes from one pixel to the next
    const std::vector<unsigned char>* palette = nullptr; // 3 bytes an entry; for an indexed picture
};

// The header every saved file begins with, carried as the TIFF's image
// description, and the settings record as an item of its own: the one place
// a GeoTIFF's metadata items are set.
void carryHeader(GDALDatasetH dataset, const PngTexts& texts)
{
    gdal->GDALSetMetadataItem(dataset, "TIFFTAG_IMAGEDESCRIPTION", texts.comment.c_str(), nullptr);
    if (!texts.settings.empty())
        gdal->GDALSetMetadataItem(dataset, SETTINGS_ITEM, texts.settings.c_str(), nullptr);
}

// Where the pixels lie, the coordinate system, the header and the band.
void describe(GDALDatasetH dataset, const Layout& layout, const PngTexts& header, const MapMetadata& metadata)
{
    double transform[6] = {-180.0, 360.0 / layout.width, 0.0, 90.0, 0.0, -180.0 / layout.height};
    gdal->GDALSetGeoTransform(dataset, transform);
    gdal->GDALSetProjection(dataset, coordinateSystemWkt(metadata.radiusMetres).c_str());
    carryHeader(dataset, header);
    GDALRasterBandH first = gdal->GDALGetRasterBand(dataset, 1);
    if (const auto& band = metadata.band) {
        gdal->GDALSetDescription(first, band->description);
        gdal->GDALSetRasterUnitType(first, band->unit);
        gdal->GDALSetRasterOffset(first, band->offset);
        gdal->GDALSetRasterScale(first, band->scale);
    }
    if (layout.bands == 3)
        for (int b = 0; b < 3; ++b)
            gdal->GDALSetRasterColorInterpretation(gdal->GDALGetRasterBand(dataset, b + 1), GDALColorInterp(GCI_RedBand + b));
    if (layout.palette) {
        GDALColorTableH table = gdal->GDALCreateColorTable(GPI_RGB);
        for (std::size_t e = 0; 3 * e + 2 < layout.palette->size(); ++e) {
            const unsigned char* rgb = layout.palette->data() + 3 * e;
            const GDALColorEntry entry{rgb[0], rgb[1], rgb[2], 255};
            gdal->GDALSetColorEntry(table, int(e), &entry);
        }
        gdal->GDALSetRasterColorTable(first, table);
        gdal->GDALDestroyColorTable(table);
    }
}

// The picture's samples given to a MEM dataset as its bands, read where
// they are (GDAL only reads them): no copy of a map that may be 512 MB.
bool lendSamples(GDALDatasetH dataset, const Layout& layout)
{
    const int sampleBytes = gdal->GDALGetDataTypeSizeBytes(layout.type);
    const std::string pixel = "PIXELOFFSET=" + std::to_string(layout.pixelSpace),
                      line = "LINEOFFSET=" + std::to_string(std::int64_t(layout.pixelSpace) * layout.width);
    for (int b = 0; b < layout.bands; ++b) {
        char pointer[64] = "DATAPOINTER=";
        std::snprintf(pointer + 12, sizeof pointer - 12, "%p",
                      static_cast<const void*>(static_cast<const char*>(layout.data) + b * sampleBytes));
        const char* options[] = {pointer, pixel.c_str(), line.c_str(), nullptr};
        if (gdal->GDALAddBand(dataset, layout.type, const_cast<char**>(options)) != CE_None)
            return false;
    }
    return true;
}

// The overviews a COG keeps, as GDAL's COG driver picks them: each level
// half the one before (sides rounded up) until both sides fit a 512 px tile.
// Their decimation factors; none for a picture of one tile.
std::vector<int> overviewFactors(int width, int height)
{
    std::vector<int> factors;
    for (int factor = 2; width > 512 || height > 512; factor *= 2) {
        width = (width + 1) / 2;
        height = (height + 1) / 2;
        factors.push_back(factor);
    }
    return factors;
}

// One level coarser: sides halved, rounded up, each value the mean of the
// values it covers (four, or fewer on an odd side's last row or column).
std::vector<float> halved(const float* finer, int width, int height)
{
    const int w = (width + 1) / 2, h = (height + 1) / 2;
    std::vector<float> coarser(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float sum = 0.0f;
            int count = 0;
            for (int yy = 2 * y; yy < std::min(2 * y + 2, height); ++yy)
                for (int xx = 2 * x; xx < std::min(2 * x + 2, width); ++xx, ++count)
                    sum += finer[std::size_t(yy) * std::size_t(width) + std::size_t(xx)];
            coarser[std::size_t(y) * std::size_t(w) + std::size_t(x)] = sum / float(count);
        }
    return coarser;
}

// A single band of floats (elevations): each overview the mean of the
// ground it covers, as DEM overviews are usually made, computed here level
// from level into the overviews GDAL made empty; GDAL's own resampling took
// most of the file's time.
bool fillAveragedOverviews(GDALDatasetH dataset, const Layout& layout, int levels)
{
    GDALRasterBandH band = gdal->GDALGetRasterBand(dataset, 1);
    std::vector<float> level;
    const float* finer = static_cast<const float*>(layout.data);
    int width = layout.width, height = layout.height;
    for (int i = 0; i < levels; ++i) {
        level = halved(finer, width, height);
        width = (width + 1) / 2;
        height = (height + 1) / 2;
        finer = level.data();
        GDALRasterBandH overview = gdal->GDALGetOverview(band, i);
        if (!overview || gdal->GDALGetRasterBandXSize(overview) != width ||
            gdal->GDALGetRasterBandYSize(overview) != height ||
            gdal->GDALRasterIO(overview, GF_Write, 0, 0, width, height, level.data(), width, height, GDT_Float32, 0,
                               0) != CE_None)
            return false;
    }
    return true;
}

// The overviews made in the MEM dataset beside the samples it lends, where
// the COG driver takes them as they are: without them it would make them in
// a compressed temporary file of its own, and read them back. Resampled as
// the driver resamples (the nearest entry of a palette, cubic otherwise),
// but for elevations, averaged.
bool buildOverviews(GDALDatasetH dataset, const Layout& layout)
{
    std::vector<int> factors = overviewFactors(layout.width, layout.height);
    if (factors.empty())
        return true;
    const bool averaged = layout.type == GDT_Float32 && layout.bands == 1;
    const char* resampling = layout.palette ? "NEAREST" : averaged ? "NONE" : "CUBIC";
    return gdal->GDALBuildOverviews(dataset, resampling, int(factors.size()), factors.data(), 0, nullptr, nullptr,
                                    nullptr) == CE_None &&
           (!averaged || fillAveragedOverviews(dataset, layout, int(factors.size())));
}

// Loads GDAL for this file's functions; false with why when it cannot be.
bool loadGdal(std::string& why)
{
    return gdalLibrary(why) != nullptr;
}

// The picture made into a COG in memory and its bytes written to file.
bool encode(SafeFile& file, const Layout& layout, const PngTexts& header, const MapMetadata& metadata,
            std::string& error)
{
    if (!loadGdal(error))
        return false;
    const QuietGdal quiet;
    GDALDriverH memory = gdal->GDALGetDriverByName("MEM"), cog = gdal->GDALGetDriverByName("COG");
    if (!memory || !cog)
        return gdalFailed(error, "has no COG driver");
    GdalDataset source(gdal->GDALCreate(memory, "", layout.width, layout.height, 0, layout.type, nullptr));
    if (!source.get() || !lendSamples(source.get(), layout))
        return gdalFailed(error, "could not hold the map");
    describe(source.get(), layout, header, metadata);
    if (!buildOverviews(source.get(), layout))
        return gdalFailed(error, "could not make the overviews");
    const GdalMemoryFile tiff("map", "tif");
    // The fastest deflate, the overviews the source holds. Floats go through
    // TIFF's floating-point predictor first: the file is some 40 % smaller,
    // and so quicker to compress. Compressed on this thread alone: a failure
    // on GDAL's own worker threads would lose its reason.
    const char* predictor = layout.type == GDT_Float32 ? "PREDICTOR=3" : nullptr;
    const char* options[] = {"COMPRESS=DEFLATE", "LEVEL=1", predictor, nullptr};
    GdalDataset copy(gdal->GDALCreateCopy(cog, tiff.name.c_str(), source.get(), FALSE, const_cast<char**>(options), nullptr,
                                nullptr));
    if (!copy.get())
        return gdalFailed(error, "could not write the GeoTIFF");
    copy.close();
    if (gdal->CPLGetLastErrorType() >= CE_Failure)
        return gdalFailed(error, "could not finish the GeoTIFF");
    vsi_l_offset length = 0;
    const GByte* bytes = gdal->VSIGetMemFileBuffer(tiff.name.c_str(), &length, FALSE);
    if (!bytes)
        return gdalFailed(error, "lost the GeoTIFF it wrote");
    file.write(bytes, std::size_t(length));
    if (file.failed())
        error = failureText(file.failure);
    return !file.failed();
}

} // namespace

bool encodeGeoTiff(SafeFile& file, const Image& picture, const PngTexts& texts, const MapMetadata& metadata,
                   std::string& error)
{
    return encode(file, {picture.width, picture.height, 3, GDT_Byte, picture.rgb.data(), 3}, texts, metadata,
                  error);
}

bool encodeGeoTiff(SafeFile& file, const GreyImage16& picture, const PngTexts& texts,
                   const MapMetadata& metadata, std::string& error)
{
    return encode(file, {picture.width, picture.height, 1, GDT_UInt16, picture.grey.data(), 2}, texts, metadata,
                  error);
}

bool encodeGeoTiff(SafeFile& file, const IndexedImage& picture, const PngTexts& texts,
                   const MapMetadata& metadata, std::string& error)
{
    return encode(file, {picture.width, picture.height, 1, GDT_Byte, picture.index.data(), 1, &picture.palette},
                  texts, metadata, error);
}

bool encodeGeoTiff(SafeFile& file, const FloatImage& picture, const PngTexts& texts,
                   const MapMetadata& metadata, std::string& error)
{
    return encode(file, {picture.width, picture.height, 1, GDT_Float32, picture.value.data(), 4}, texts, metadata,
                  error);
}

std::optional<std::string> geoTiffSettingsRecord(std::string_view head, std::string& why)
{
    std::string loading;
    if (!loadGdal(loading)) {
        why = "is a GeoTIFF, which cannot be read: " + loading;
        return std::nullopt;
    }
    const QuietGdal quiet;
    const GdalMemoryFile tiff("map", "tif");
    // GDAL reads the bytes where they are; the file only names them.
    VSILFILE* named = gdal->VSIFileFromMemBuffer(tiff.name.c_str(),
                                           reinterpret_cast<GByte*>(const_cast<char*>(head.data())), head.size(), FALSE);
    if (!named)
        return std::nullopt;
    gdal->VSIFCloseL(named);
    const char* const drivers[] = {"GTiff", nullptr};
    const GdalDataset dataset(gdal->GDALOpenEx(tiff.name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY, drivers, nullptr, nullptr));
    if (!dataset.get()) {
        std::string reason;
        gdalFailed(reason, "could not read it");
        why = "is a GeoTIFF, which cannot be read: " + reason;
        return std::nullopt;
    }
    const char* record = gdal->GDALGetMetadataItem(dataset.get(), SETTINGS_ITEM, nullptr);
    return record ? std::optional<std::string>(record) : std::nullopt;
}
