#include "WaterGeoPackage.h"

#include "GdalLibrary.h"
#include "GeoTiff.h"
#include "MapGeoreference.h"

#include <memory>

namespace {

const GdalLibrary& gdal()
{
    return *loadedGdal();
}

struct SpatialReferenceRelease {
    void operator()(OGRSpatialReferenceH srs) const { gdal().OSRRelease(srs); }
};
using SpatialReference = std::unique_ptr<std::remove_pointer_t<OGRSpatialReferenceH>, SpatialReferenceRelease>;

struct FeatureDestroy {
    void operator()(OGRFeatureH feature) const { gdal().OGR_F_Destroy(feature); }
};
using Feature = std::unique_ptr<std::remove_pointer_t<OGRFeatureH>, FeatureDestroy>;

struct GeometryDestroy {
    void operator()(OGRGeometryH geometry) const { gdal().OGR_G_DestroyGeometry(geometry); }
};
using Geometry = std::unique_ptr<std::remove_pointer_t<OGRGeometryH>, GeometryDestroy>;

struct Field {
    const char* name;
    OGRFieldType type;
};

OGRLayerH createLayer(GDALDatasetH dataset, const char* name, OGRSpatialReferenceH srs, OGRwkbGeometryType type,
                      const std::string& description, std::initializer_list<Field> fields)
{
    const std::string describe = "DESCRIPTION=" + description;
    const char* options[] = {describe.c_str(), nullptr};
    OGRLayerH layer = gdal().GDALDatasetCreateLayer(dataset, name, srs, type, const_cast<char**>(options));
    for (const Field& field : fields) {
        if (!layer)
            break;
        OGRFieldDefnH definition = gdal().OGR_Fld_Create(field.name, field.type);
        if (gdal().OGR_L_CreateField(layer, definition, TRUE) != OGRERR_NONE)
            layer = nullptr;
        gdal().OGR_Fld_Destroy(definition);
    }
    return layer;
}

Geometry lineString(const std::vector<MapPoint>& points, OGRwkbGeometryType type)
{
    Geometry line(gdal().OGR_G_CreateGeometry(type));
    for (const MapPoint& p : points)
        gdal().OGR_G_AddPoint_2D(line.get(), p[0], p[1]);
    return line;
}

Geometry polygon(const MapPolygon& shape)
{
    Geometry polygon(gdal().OGR_G_CreateGeometry(wkbPolygon));
    gdal().OGR_G_AddGeometryDirectly(polygon.get(), lineString(shape.exterior, wkbLinearRing).release());
    for (const MapRing& hole : shape.holes)
        gdal().OGR_G_AddGeometryDirectly(polygon.get(), lineString(hole, wkbLinearRing).release());
    return polygon;
}

// A new feature of layer with geometry; its fields are set by the caller.
Feature newFeature(OGRLayerH layer, Geometry geometry)
{
    Feature feature(gdal().OGR_F_Create(gdal().OGR_L_GetLayerDefn(layer)));
    gdal().OGR_F_SetGeometryDirectly(feature.get(), geometry.release());
    return feature;
}

bool addRivers(OGRLayerH layer, const WaterLayers& layers)
{
    static const char* const ENDS[] = {"sea", "lake", "river"};
    for (const RiverLine& river : layers.rivers) {
        Geometry lines(gdal().OGR_G_CreateGeometry(wkbMultiLineString));
        for (const auto& part : river.parts)
            gdal().OGR_G_AddGeometryDirectly(lines.get(), lineString(part, wkbLineString).release());
        Feature feature = newFeature(layer, std::move(lines));
        gdal().OGR_F_SetFieldInteger(feature.get(), 0, river.order);
        gdal().OGR_F_SetFieldDouble(feature.get(), 1, river.flow);
        gdal().OGR_F_SetFieldString(feature.get(), 2, ENDS[int(river.end)]);
        gdal().OGR_F_SetFieldDouble(feature.get(), 3, river.lengthKm);
        if (gdal().OGR_L_CreateFeature(layer, feature.get()) != OGRERR_NONE)
            return false;
    }
    return true;
}

bool addLakes(OGRLayerH layer, const WaterLayers& layers)
{
    for (const LakeShape& lake : layers.lakes) {
        Geometry shapes(gdal().OGR_G_CreateGeometry(wkbMultiPolygon));
        for (const MapPolygon& shape : lake.polygons)
            gdal().OGR_G_AddGeometryDirectly(shapes.get(), polygon(shape).release());
        Feature feature = newFeature(layer, std::move(shapes));
        const double values[] = {lake.levelMetres, lake.depthMetres, lake.areaKm2, lake.inflow};
        for (int k = 0; k < 4; ++k)
            gdal().OGR_F_SetFieldDouble(feature.get(), k, values[k]);
        if (gdal().OGR_L_CreateFeature(layer, feature.get()) != OGRERR_NONE)
            return false;
    }
    return true;
}

bool addLand(OGRLayerH layer, const WaterLayers& layers)
{
    for (const LandShape& land : layers.land) {
        Feature feature = newFeature(layer, polygon(land.polygon));
        gdal().OGR_F_SetFieldDouble(feature.get(), 0, land.areaKm2);
        if (gdal().OGR_L_CreateFeature(layer, feature.get()) != OGRERR_NONE)
            return false;
    }
    return true;
}

// The three layers written into dataset in one transaction.
bool writeLayers(GDALDatasetH dataset, const WaterLayers& layers, double radiusMetres, const std::string& description)
{
    const SpatialReference srs(gdal().OSRNewSpatialReference(coordinateSystemWkt(radiusMetres).c_str()));
    if (!srs)
        return false;
    gdal().OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER); // x longitude, y latitude
    OGRLayerH rivers =
        createLayer(dataset, "rivers", srs.get(), wkbMultiLineString, description,
                    {{"order", OFTInteger}, {"flow", OFTReal}, {"end", OFTString}, {"length_km", OFTReal}});
    OGRLayerH lakes =
        createLayer(dataset, "lakes", srs.get(), wkbMultiPolygon, description,
                    {{"level_m", OFTReal}, {"depth_m", OFTReal}, {"area_km2", OFTReal}, {"inflow", OFTReal}});
    OGRLayerH land = createLayer(dataset, "land", srs.get(), wkbPolygon, description, {{"area_km2", OFTReal}});
    return rivers && lakes && land && gdal().GDALDatasetStartTransaction(dataset, FALSE) == OGRERR_NONE &&
           addRivers(rivers, layers) && addLakes(lakes, layers) && addLand(land, layers) &&
           gdal().GDALDatasetCommitTransaction(dataset) == OGRERR_NONE;
}

} // namespace

bool encodeWaterGeoPackage(SafeFile& file, const WaterLayers& layers, double radiusMetres,
                           const std::string& description, const std::string& settings, std::string& error)
{
    if (!gdalLibrary(error))
        return false;
    const QuietGdal quiet;
    GDALDriverH driver = gdal().GDALGetDriverByName("GPKG");
    if (!driver)
        return gdalFailed(error, "has no GeoPackage driver");
    const GdalMemoryFile package("water", "gpkg");
    GdalDataset dataset(gdal().GDALCreate(driver, package.name.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset.get())
        return gdalFailed(error, "could not make the GeoPackage");
    if (!settings.empty())
        gdal().GDALSetMetadataItem(dataset.get(), SETTINGS_ITEM, settings.c_str(), nullptr);
    if (!writeLayers(dataset.get(), layers, radiusMetres, description))
        return gdalFailed(error, "could not write the GeoPackage's layers");
    dataset.close();
    if (gdal().CPLGetLastErrorType() >= CE_Failure)
        return gdalFailed(error, "could not finish the GeoPackage");
    vsi_l_offset length = 0;
    const GByte* bytes = gdal().VSIGetMemFileBuffer(package.name.c_str(), &length, FALSE);
    if (!bytes)
        return gdalFailed(error, "lost the GeoPackage it wrote");
    file.write(bytes, std::size_t(length));
    if (file.failed())
        error = failureText(file.failure);
    return !file.failed();
}
