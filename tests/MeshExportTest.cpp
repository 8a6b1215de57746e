#include "LandNormals.h"
#include "Landscape.h"
#include "MeshExport.h"
#include "Planet.h"
#include "PlanetSaving.h"
#include "Screenshot.h"
#include "SettingsRecord.h"
#include "TestSupport.h"
#include "VertexNeighbours.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <meshoptimizer.h>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <stdexcept>
#include <sstream>
#include <tuple>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// What a reader got back from an exported file.
struct ReadMesh {
    std::vector<std::string> comments;
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<float> colours;        // 0 to 1 (PLY: its bytes / 255)
    std::vector<std::uint32_t> faces;  // 0-based
    // An OBJ's "o NAME" lines: each name with the vertices and faces before it.
    struct Object {
        std::string name;
        std::size_t firstVertex;
        std::size_t firstFace;
    };
    std::vector<Object> objects;
};

// The welded mesh as the exporter writes it: positions read at each vertex's
// first corner, faces counter-clockwise from outside.
struct IndexedMesh {
    std::vector<float> positions;
    std::vector<std::uint32_t> faces;
};

IndexedMesh weldedMesh(const IcosphereWeld& weld, const float* soup)
{
    IndexedMesh mesh;
    for (std::uint32_t corner : weld.vertexToCorner)
        mesh.positions.insert(mesh.positions.end(), soup + 3 * std::size_t(corner), soup + 3 * std::size_t(corner) + 3);
    for (std::size_t t = 0; t < weld.faceCount(); ++t)
        for (std::size_t k : {0, 2, 1})
            mesh.faces.push_back(weld.cornerToVertex[3 * t + k]);
    return mesh;
}

IndexedMesh weldedMesh(const Planet& planet)
{
    return weldedMesh(planet.weld, planet.vertices.data());
}

bool exportPlanet(const std::string& path, const Planet& planet, const MeshInfo& info, std::string& error)
{
    return exportMesh(SaveTarget::replacing(path), LandView{planet.weld, planet.vertices.data()}, info, error);
}

std::unique_ptr<Planet> generatedPlanet(int subdivisions, int iterations)
{
    return quietPlanet(42, subdivisions, iterations);
}

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

// Reads the binary little-endian PLY layout the exporter promises: x, y, z,
// nx, ny, nz floats and red, green, blue uchars per vertex and a
// uchar-counted uint list per face. Fails the test on
// any other header or a body of the wrong length.
ReadMesh readPly(const std::string& path)
{
    const std::string bytes = readFile(path);
    const std::size_t bodyStart = bytes.find("end_header\n");
    EXPECT_NE(bodyStart, std::string::npos) << path;
    std::istringstream header(bytes.substr(0, bodyStart));
    ReadMesh mesh;
    std::size_t vertices = 0, faces = 0;
    std::vector<std::string> properties;
    for (std::string line; std::getline(header, line);) {
        if (line.rfind("comment ", 0) == 0)
            mesh.comments.push_back(line.substr(8));
        else if (line.rfind("element vertex ", 0) == 0)
            vertices = std::stoul(line.substr(15));
        else if (line.rfind("element face ", 0) == 0)
            faces = std::stoul(line.substr(13));
        else
            properties.push_back(line);
    }
    const std::vector<std::string> expected = {
        "ply", "format binary_little_endian 1.0", "property float x", "property float y", "property float z",
        "property float nx", "property float ny", "property float nz", "property uchar red", "property uchar green",
        "property uchar blue", "property list uchar uint vertex_indices"};
    EXPECT_EQ(properties, expected);
    std::size_t at = bodyStart + 11;
    EXPECT_EQ(bytes.size(), at + 27 * vertices + 13 * faces) << "body length of " << path;
    if (bytes.size() != at + 27 * vertices + 13 * faces)
        return mesh;
    for (std::size_t v = 0; v < vertices; ++v, at += 27)
        for (std::size_t k = 0; k < 3; ++k) {
            mesh.positions.push_back(std::bit_cast<float>(littleEndian32(bytes, at + 4 * k)));
            mesh.normals.push_back(std::bit_cast<float>(littleEndian32(bytes, at + 12 + 4 * k)));
            mesh.colours.push_back(static_cast<unsigned char>(bytes[at + 24 + k]) / 255.0f);
        }
    for (std::size_t f = 0; f < faces; ++f, at += 13) {
        EXPECT_EQ(bytes[at], 3) << "face " << f << " is not a triangle";
        for (std::size_t k = 0; k < 3; ++k)
            mesh.faces.push_back(littleEndian32(bytes, at + 1 + 4 * k));
    }
    return mesh;
}

// Reads "v x y z r g b", "vn x y z", "f a//a b//b c//c" and "o NAME" lines;
// fails the test on any other line or a field count that differs.
ReadMesh readObj(const std::string& path)
{
    ReadMesh mesh;
    for (const std::string& line : readLines(path)) {
        if (line.rfind("# ", 0) == 0) {
            mesh.comments.push_back(line.substr(2));
            continue;
        }
        if (line.rfind("o ", 0) == 0) {
            mesh.objects.push_back({line.substr(2), mesh.positions.size() / 3, mesh.faces.size() / 3});
            continue;
        }
        std::istringstream fields(line);
        std::string tag;
        std::vector<std::string> values;
        fields >> tag;
        for (std::string value; fields >> value;)
            values.push_back(value);
        const std::size_t count = tag == "v" ? 6 : 3;
        EXPECT_EQ(values.size(), count) << "fields of \"" << line << "\"";
        values.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            const float number = std::strtof(values[k].c_str(), nullptr);
            if (tag == "v")
                (k < 3 ? mesh.positions : mesh.colours).push_back(number);
            else if (tag == "vn")
                mesh.normals.push_back(number);
            else if (tag == "f" && values[k] == values[k].substr(0, values[k].find('/')) + "//" +
                                                   values[k].substr(0, values[k].find('/')))
                mesh.faces.push_back(static_cast<std::uint32_t>(std::stoul(values[k])) - 1);
            else
                ADD_FAILURE() << "unexpected line \"" << line << "\"";
        }
    }
    return mesh;
}

template <class Floats> // a vector or the planet's array
std::array<std::uint32_t, 3> bitsAt(const Floats& xyz, std::size_t vertex)
{
    std::array<std::uint32_t, 3> bits;
    std::memcpy(bits.data(), &xyz[3 * vertex], sizeof bits);
    return bits;
}

// Outward component of the right-hand normal of face f, in double precision.
double outwardness(const IndexedMesh& mesh, std::size_t f)
{
    const float* a = &mesh.positions[3 * std::size_t(mesh.faces[3 * f])];
    const float* b = &mesh.positions[3 * std::size_t(mesh.faces[3 * f + 1])];
    const float* c = &mesh.positions[3 * std::size_t(mesh.faces[3 * f + 2])];
    double e1[3], e2[3], centre[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = double(b[k]) - a[k];
        e2[k] = double(c[k]) - a[k];
        centre[k] = double(a[k]) + b[k] + c[k];
    }
    return (e1[1] * e2[2] - e1[2] * e2[1]) * centre[0] + (e1[2] * e2[0] - e1[0] * e2[2]) * centre[1] +
           (e1[0] * e2[1] - e1[1] * e2[0]) * centre[2];
}

void expectSameBits(const std::vector<float>& got, const std::vector<float>& want, const std::string& what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    EXPECT_EQ(std::memcmp(got.data(), want.data(), got.size() * sizeof(float)), 0) << what;
}

TEST(MeshExportWeld, IcosphereKeepsExactlyItsDistinctPositions)
{
    for (int n = 0; n <= 4; ++n) {
        auto planet = generatedPlanet(n, 0);
        const IndexedMesh mesh = weldedMesh(*planet);
        const int distinct = 10 * (1 << (2 * n)) + 2;
        EXPECT_EQ(mesh.positions.size(), 3u * distinct) << "n=" << n;
        EXPECT_EQ(mesh.faces.size(), std::size_t(planet->vertexCount)) << "n=" << n;
    }
}

TEST(MeshExportWeld, EveryCornerKeepsItsPositionBitForBitOnAGeneratedPlanet)
{
    auto planet = generatedPlanet(3, 200);
    const IndexedMesh mesh = weldedMesh(*planet);
    const std::size_t count = mesh.positions.size() / 3;
    EXPECT_EQ(count, 642u);
    // Face (a, c, b) stands for the land's triangle (a, b, c).
    const int corner[3] = {0, 2, 1};
    for (std::size_t i = 0; i < mesh.faces.size(); ++i) {
        const std::uint32_t index = mesh.faces[i];
        ASSERT_LT(index, count) << "face index " << i;
        const std::size_t original = i - i % 3 + corner[i % 3];
        ASSERT_EQ(bitsAt(mesh.positions, index), bitsAt(planet->vertices, original)) << "corner " << original;
    }
    std::vector<std::array<std::uint32_t, 3>> all;
    for (std::size_t v = 0; v < count; ++v)
        all.push_back(bitsAt(mesh.positions, v));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "a position was left unwelded";
}

TEST(MeshExportWeld, EveryFaceTurnsCounterClockwiseFromOutside)
{
    for (auto [n, iterations] : {std::pair{2, 0}, {4, 0}, {3, 200}, {4, 1000}}) {
        auto planet = generatedPlanet(n, iterations);
        const IndexedMesh mesh = weldedMesh(*planet);
        for (std::size_t f = 0; f < mesh.faces.size() / 3; ++f)
            ASSERT_GT(outwardness(mesh, f), 0.0) << "n=" << n << " iterations=" << iterations << " face " << f;
    }
}

TEST(MeshExportWeld, TheIcosahedronNumbersItsCornersByFirstAppearance)
{
    const IcosphereWeld weld = weldIcosphere(ICOSAHEDRON_FACES, 0);
    std::vector<std::uint32_t> number(12, 99), expected, firstCorners;
    for (std::uint32_t c = 0; c < 60; ++c) {
        const int vertex = ICOSAHEDRON_FACES[c / 3][c % 3];
        if (number[vertex] == 99) {
            number[vertex] = static_cast<std::uint32_t>(firstCorners.size());
            firstCorners.push_back(c);
        }
        expected.push_back(number[vertex]);
    }
    EXPECT_EQ(weld.cornerToVertex, expected);
    EXPECT_EQ(weld.vertexToCorner, firstCorners);
    EXPECT_THROW(weldIcosphere(ICOSAHEDRON_FACES, 13), std::invalid_argument);
}

TEST(MeshExportWeld, StructureAgreesWithThePositionsOfTheUndeformedSphere)
{
    // Copies of one vertex have the same bits, and distinct vertices differ.
    for (int n = 0; n <= 6; ++n) {
        auto planet = generatedPlanet(n, 0);
        const IcosphereWeld& weld = planet->weld;
        ASSERT_EQ(weld.cornerToVertex.size(), std::size_t(planet->vertexCount));
        for (std::size_t c = 0; c < weld.cornerToVertex.size(); ++c)
            ASSERT_EQ(bitsAt(planet->vertices, weld.vertexToCorner[weld.cornerToVertex[c]]),
                      bitsAt(planet->vertices, c))
                << "n=" << n << " corner " << c;
        std::vector<std::array<std::uint32_t, 3>> all;
        for (std::uint32_t corner : weld.vertexToCorner)
            all.push_back(bitsAt(planet->vertices, corner));
        std::sort(all.begin(), all.end());
        ASSERT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "n=" << n << ": two vertices in one place";
    }
}

TEST(MeshExportWeld, LandCaughtHalfWayThroughAPlaneStillSavesClosed)
{
    // A live generation scales the copies of a shared vertex one at a time:
    // mid-plane they differ. Here every corner past the middle is pushed out.
    auto planet = generatedPlanet(3, 0);
    for (std::size_t i = planet->vertices.size() / 2; i < planet->vertices.size(); ++i)
        planet->vertices[i] *= 1.001f;
    ScopedTempDir dir;
    std::string error;
    ASSERT_TRUE(exportPlanet("mid.ply", *planet, MeshInfo{1, 3, 10, 4}, error)) << error;
    const ReadMesh mesh = readPly("mid.ply");
    EXPECT_EQ(mesh.comments, std::vector<std::string>{"Orbivane planet: seed 1, subdivisions 3, iterations 4 of 10, live generation"});
    EXPECT_EQ(mesh.positions.size(), 3u * 642);
    // Closed and consistently wound: every directed edge once, and its reverse once.
    std::set<std::pair<std::uint32_t, std::uint32_t>> edges;
    for (std::size_t f = 0; f < mesh.faces.size(); f += 3)
        for (std::size_t k = 0; k < 3; ++k)
            ASSERT_TRUE(edges.emplace(mesh.faces[f + k], mesh.faces[f + (k + 1) % 3]).second);
    for (const auto& [a, b] : edges)
        ASSERT_TRUE(edges.count({b, a})) << "open edge " << a << "-" << b;
}

TEST(MeshExportFiles, HeadersSayTheModeAndHowFarALiveGenerationGot)
{
    const std::pair<MeshInfo, const char*> cases[] = {
        {{7, 2, 50}, "iterations 50, batch generation"},
        {{7, 2, 50, 50}, "iterations 50, live generation"},
        {{7, 2, 50, 12}, "iterations 12 of 50, live generation"},
        {{7, 2, 50, 12, true}, "iterations 12 of 50, stopped, live generation"},
        {{7, 2, 50, 0, true}, "iterations 0 of 50, stopped, live generation"},
    };
    for (const auto& [info, tail] : cases)
        EXPECT_EQ(headerComment(info), std::string("Orbivane planet: seed 7, subdivisions 2, ") + tail);
}

TEST(MeshExportFiles, PlyAndObjReadBackAsTheWeldedMesh)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(3, 200);
    const MeshInfo info{planet->seed, 3, 200};
    std::string error;
    ASSERT_TRUE(exportPlanet("planet.ply", *planet, info, error)) << error;
    ASSERT_TRUE(exportPlanet("planet.OBJ", *planet, info, error)) << error;
    const IndexedMesh welded = weldedMesh(*planet);
    const std::string comment = "Orbivane planet: seed 42, subdivisions 3, iterations 200, batch generation";
    for (const auto& [name, mesh] : {std::pair{"PLY", readPly("planet.ply")}, {"OBJ", readObj("planet.OBJ")}}) {
        EXPECT_EQ(mesh.comments, std::vector<std::string>{comment}) << name;
        expectSameBits(mesh.positions, welded.positions, name);
        EXPECT_EQ(mesh.faces, welded.faces) << name;
    }
    EXPECT_EQ(readLines("planet.OBJ").front(), "# " + comment);
}

TEST(MeshExportFiles, HeadersCarrySeedSubdivisionsAndIterations)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(0, 0);
    const MeshInfo info{4294967295u, 0, 123456};
    std::string error;
    ASSERT_TRUE(exportPlanet("sphere.ply", *planet, info, error)) << error;
    ASSERT_TRUE(exportPlanet("sphere.obj", *planet, info, error)) << error;
    const std::string header = "ply\nformat binary_little_endian 1.0\n"
                               "comment Orbivane planet: seed 4294967295, subdivisions 0, iterations 123456, batch generation\n"
                               "element vertex 12\nproperty float x\nproperty float y\nproperty float z\n"
                               "property float nx\nproperty float ny\nproperty float nz\n"
                               "property uchar red\nproperty uchar green\nproperty uchar blue\n"
                               "element face 20\nproperty list uchar uint vertex_indices\nend_header\n";
    const std::string ply = readFile("sphere.ply");
    EXPECT_EQ(ply.substr(0, header.size()), header);
    EXPECT_EQ(ply.size(), header.size() + 12 * 27 + 20 * 13);
    const auto lines = readLines("sphere.obj");
    ASSERT_EQ(lines.size(), 1u + 12 + 12 + 20);
    EXPECT_EQ(lines[0], "# Orbivane planet: seed 4294967295, subdivisions 0, iterations 123456, batch generation");
    EXPECT_EQ(lines[1].substr(0, 2), "v ");
    EXPECT_EQ(lines[13].substr(0, 3), "vn ");
    EXPECT_EQ(lines[25].substr(0, 2), "f ");
}

TEST(MeshExportPaths, RecognisesPlyObjAndGlbNamesInAnyCase)
{
    for (const char* name : {"a.ply", "A.PLY", "dir/planet.Obj", "x.y.obj", "/tmp/p.pLy", "a.glb", "b.GLB"})
        EXPECT_TRUE(isExportPath(name)) << name;
    for (const char* name : {"a.stl", "ply", "a.ply.txt", "a.", "", "dir.ply/", "a.plyx", "aply", ".obj", "a.gltf",
                             ".glb"})
        EXPECT_FALSE(isExportPath(name)) << name;
}

TEST(MeshExportPaths, FailuresSayWhyAndLeaveNoFileBehind)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(1, 0);
    const MeshInfo info{42, 1, 0};
    auto tryExport = [&](const std::string& path, std::string& error) {
        error.clear();
        return exportPlanet(path, *planet, info, error);
    };
    std::string error;
    EXPECT_FALSE(tryExport("planet.stl", error));
    EXPECT_NE(error.find("unknown file type"), std::string::npos) << error;
    EXPECT_NE(error.find("(use .ply, .obj or .glb)"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists("planet.stl"));

    EXPECT_FALSE(tryExport("missing/planet.ply", error));
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
    EXPECT_NE(error.find("missing/planet.ply"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists("missing"));

    fs::create_symlink("loop.ply", "loop.ply");
    EXPECT_FALSE(tryExport("loop.ply", error));
    EXPECT_NE(error.find(std::strerror(ELOOP)), std::string::npos) << error;

    fs::create_directory("taken.obj");
    EXPECT_FALSE(tryExport("taken.obj", error));
    EXPECT_NE(error.find(std::strerror(EISDIR)), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory("taken.obj"));

    // A link to a device: the device is no file to replace (a full disk is a
    // reliability test on a small tmpfs).
    fs::create_symlink("/dev/full", "full.ply");
    EXPECT_FALSE(tryExport("full.ply", error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink("full.ply"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));

    EXPECT_TRUE(tryExport("after.ply", error)) << "a failure must not spoil the next export: " << error;
    EXPECT_EQ(readPly("after.ply").faces.size(), 240u);
}

TEST(MeshExportFiles, PlyAndObjCarryEachVertexsTerrainColourAndLandNormal)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(3, 3000);
    const MeshInfo info{42, 3, 3000};
    std::string error;
    ASSERT_TRUE(exportPlanet("planet.ply", *planet, info, error)) << error;
    ASSERT_TRUE(exportPlanet("planet.obj", *planet, info, error)) << error;
    const std::vector<float> normals = landNormals(planet->weld, planet->vertices.data());
    const IndexedMesh welded = weldedMesh(*planet);
    // PLY keeps the colour to the nearest of 255 steps, OBJ as the float itself.
    for (const auto& [name, mesh, bytes] : {std::tuple{"PLY", readPly("planet.ply"), true},
                                            {"OBJ", readObj("planet.obj"), false}}) {
        expectSameBits(mesh.normals, normals, name);
        ASSERT_EQ(mesh.colours.size(), welded.positions.size()) << name;
        std::set<std::array<float, 3>> distinct;
        for (std::size_t v = 0; v < welded.positions.size(); v += 3) {
            const float* p = &welded.positions[v];
            const float radius = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            const Rgb colour = terrainColour((radius - 1.0f) * STEPS_PER_UNIT, p[1] / radius);
            distinct.insert(colour);
            // The PLY holds no sea: its floor takes the sea's colours
            // (MeshExportPly.TheSeaFloorDarkensWithDepthInEveryView).
            if (bytes && radius < 1.0f)
                continue;
            for (std::size_t k = 0; k < 3; ++k)
                ASSERT_EQ(mesh.colours[v + k], bytes ? std::lround(colour[k] * 255.0f) / 255.0f : colour[k])
                    << name << " vertex " << v / 3;
        }
        EXPECT_GT(distinct.size(), 20u) << name << ": the land spans many colours";
    }
}

// With the sea the OBJ holds two objects: the land, line for line as it is
// without the sea, then the sea sphere as the .glb has it (at most five
// subdivisions) at the sea radius, closed and counter-clockwise from
// outside, its normals outward and every vertex in one colour, a blue.
TEST(MeshExportObj, TheSeaFollowsTheUnchangedLandAsAnObjectOfItsOwn)
{
    ScopedTempDir dir;
    struct Case {
        int subdivisions;
        WorldShape shape;
    };
    for (const auto& [subdivisions, shape] : {Case{3, {}}, Case{6, {1.002, 2.0}}}) {
        SCOPED_TRACE("subdivisions " + std::to_string(subdivisions));
        const auto planet = generatedPlanet(subdivisions, 500);
        LandView land{planet->weld, planet->vertices.data()};
        land.shape = shape;
        const MeshInfo info{42, subdivisions, 500};
        std::string error;
        ASSERT_TRUE(exportMesh(SaveTarget::replacing("alone.obj"), land, info, error)) << error;
        land.sea = planet->water->vertices.data();
        ASSERT_TRUE(exportMesh(SaveTarget::replacing("both.obj"), land, info, error)) << error;
        const std::vector<std::string> alone = readLines("alone.obj"), both = readLines("both.obj");
        ASSERT_GT(both.size(), alone.size() + 2);
        EXPECT_EQ(both[1], "o land");
        EXPECT_TRUE(std::equal(alone.begin() + 1, alone.end(), both.begin() + 2)) << "the land as without the sea";
        EXPECT_EQ(both[alone.size() + 1], "o sea");

        const ReadMesh mesh = readObj("both.obj");
        const std::size_t landVertices = planet->weld.vertexCount(), landFaces = planet->weld.faceCount();
        const int seaLevels = std::min(subdivisions, 5);
        const std::size_t seaVertices = 10 * (std::size_t(1) << (2 * seaLevels)) + 2;
        ASSERT_EQ(mesh.objects.size(), 2u);
        EXPECT_EQ(mesh.objects[1].name, "sea");
        EXPECT_EQ(mesh.objects[1].firstVertex, landVertices);
        EXPECT_EQ(mesh.objects[1].firstFace, landFaces);
        ASSERT_EQ(mesh.positions.size(), 3 * (landVertices + seaVertices));
        ASSERT_EQ(mesh.faces.size(), 3 * (landFaces + 20 * (std::size_t(1) << (2 * seaLevels))));
        if (shape.isDefault()) {
            const std::vector<float> seaPositions(mesh.positions.begin() + 3 * landVertices, mesh.positions.end());
            expectSameBits(seaPositions, weldedMesh(planet->weld, planet->water->vertices.data()).positions,
                           "the undeformed sphere's own vertices");
        }
        const Rgb seaColour = {mesh.colours[3 * landVertices], mesh.colours[3 * landVertices + 1],
                               mesh.colours[3 * landVertices + 2]};
        EXPECT_GT(seaColour[2], seaColour[0]);
        for (std::size_t v = landVertices; v < landVertices + seaVertices; ++v) {
            const float* p = &mesh.positions[3 * v];
            const double radius = std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
            ASSERT_NEAR(radius, shape.seaRadius, 1e-6) << "sea vertex " << v;
            double outward = 0.0;
            for (std::size_t k = 0; k < 3; ++k) {
                outward += mesh.normals[3 * v + k] * p[k] / radius;
                ASSERT_EQ(mesh.colours[3 * v + k], seaColour[k]) << "sea vertex " << v;
            }
            ASSERT_GT(outward, 0.999) << "sea vertex " << v;
        }
        const IndexedMesh sea{mesh.positions,
                              std::vector<std::uint32_t>(mesh.faces.begin() + 3 * landFaces, mesh.faces.end())};
        std::set<std::pair<std::uint32_t, std::uint32_t>> edges;
        for (std::size_t f = 0; f < sea.faces.size() / 3; ++f) {
            ASSERT_GT(outwardness(sea, f), 0.0) << "sea face " << f;
            for (std::size_t k = 0; k < 3; ++k) {
                ASSERT_GE(sea.faces[3 * f + k], landVertices) << "sea face " << f;
                edges.emplace(sea.faces[3 * f + k], sea.faces[3 * f + (k + 1) % 3]);
            }
        }
        for (const auto& [a, b] : edges)
            ASSERT_TRUE(edges.count({b, a})) << "open sea edge " << a << "-" << b;
    }
}

// The PLY holds no sea, so its floor is coloured as the colour map colours
// the sea, in the heights view and in the climate views alike: never the
// beach's colour, and away from the polar ice no lighter the deeper it
// lies, the shelf clearly lighter than the abyss.
TEST(MeshExportPly, TheSeaFloorDarkensWithDepthInEveryView)
{
    ScopedTempDir dir;
    auto planet = quietPlanet(42, 4, 3000);
    const double sea = planet->shape.seaRadius;
    std::array<unsigned char, 3> beach;
    putRgb8(TERRAIN.beach, beach.data());
    for (ClimateView view : {ClimateView::Heights, ClimateView::Biomes, ClimateView::Rain}) {
        SCOPED_TRACE(viewName(view));
        testing::internal::CaptureStdout();
        const bool exported = exportPlanetTo(*planet, SaveTarget::replacing("p.ply"), view);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(exported);
        const ReadMesh mesh = readPly("p.ply");
        std::vector<std::pair<double, float>> floor; // radius, brightness: the sum of the channels
        for (std::size_t v = 0; v < mesh.positions.size() / 3; ++v) {
            const float* p = &mesh.positions[3 * v];
            const double radius = std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
            // A vertex no plane moved lies on the sea within a rounding:
            // at the sea's level, where the shore begins, not below it.
            if (radius >= sea - 1e-6)
                continue;
            std::array<unsigned char, 3> bytes;
            for (std::size_t k = 0; k < 3; ++k)
                bytes[k] = static_cast<unsigned char>(std::lround(mesh.colours[3 * v + k] * 255.0f));
            ASSERT_NE(bytes, beach) << "vertex " << v << ", " << (sea - radius) * STEPS_PER_UNIT << " steps deep";
            // Clear of the coast, where the climate and the height may part
            // by a rounding, and of the polar and the sea's ice.
            if (radius < sea - 1e-4 && std::fabs(p[1] / radius) < 0.5)
                floor.emplace_back(radius, mesh.colours[3 * v] + mesh.colours[3 * v + 1] + mesh.colours[3 * v + 2]);
        }
        ASSERT_GT(floor.size(), 200u);
        std::sort(floor.begin(), floor.end(), std::greater<>()); // from the shore down
        for (std::size_t i = 1; i < floor.size(); ++i)
            ASSERT_LE(floor[i].second, floor[i - 1].second + 3.0f / 255) << (sea - floor[i].first) * STEPS_PER_UNIT
                                                                         << " steps deep";
        EXPECT_GT(floor.front().second - floor.back().second, 0.5f) << "the shelf lighter than the abyss";
    }
}

// A .glb's two chunks, checked against the binary container's rules.
struct Glb {
    std::string json;
    std::string bin;
};

Glb readGlb(const std::string& path)
{
    const std::string bytes = readFile(path);
    Glb glb;
    EXPECT_GE(bytes.size(), 28u);
    if (bytes.size() < 28)
        return glb;
    EXPECT_EQ(littleEndian32(bytes, 0), 0x46546C67u) << "magic";
    EXPECT_EQ(littleEndian32(bytes, 4), 2u) << "version";
    EXPECT_EQ(littleEndian32(bytes, 8), bytes.size()) << "total length";
    const std::size_t jsonLength = littleEndian32(bytes, 12);
    EXPECT_EQ(littleEndian32(bytes, 16), 0x4E4F534Au) << "JSON chunk type";
    EXPECT_EQ(jsonLength % 4, 0u);
    EXPECT_LE(20 + jsonLength + 8, bytes.size());
    glb.json = bytes.substr(20, jsonLength);
    const std::size_t binAt = 20 + jsonLength;
    const std::size_t binLength = littleEndian32(bytes, binAt);
    EXPECT_EQ(littleEndian32(bytes, binAt + 4), 0x004E4942u) << "BIN chunk type";
    EXPECT_EQ(binAt + 8 + binLength, bytes.size()) << "the BIN chunk ends the file";
    glb.bin = bytes.substr(binAt + 8, binLength);
    return glb;
}

// Every match of pattern in text, its groups as numbers.
std::vector<std::vector<std::uint64_t>> numbersOf(const std::string& text, const std::string& pattern)
{
    std::vector<std::vector<std::uint64_t>> found;
    const std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
        found.emplace_back();
        for (std::size_t g = 1; g < it->size(); ++g)
            found.back().push_back(std::stoull((*it)[g].str()));
    }
    return found;
}

template <typename T>
std::vector<T> arrayAt(const std::string& bin, std::uint64_t offset, std::uint64_t bytes)
{
    std::vector<T> values(bytes / sizeof(T));
    std::memcpy(values.data(), bin.data() + offset, bytes);
    return values;
}

TEST(MeshExportGlb, ChunksAccessorsAndArraysHoldTheLandAndTheSea)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(3, 2000);
    const LandView land{planet->weld, planet->vertices.data(), nullptr, planet->water->vertices.data()};
    std::string error;
    ASSERT_TRUE(exportMesh(SaveTarget::replacing("planet.GLB"), land, {42, 3, 2000}, error)) << error;
    const Glb glb = readGlb("planet.GLB");
    const auto accessors = numbersOf(glb.json, R"("bufferView":(\d+),"componentType":(\d+),"count":(\d+))");
    const std::vector<std::vector<std::uint64_t>> expected = {
        {0, 5126, 642}, {1, 5126, 642}, {2, 5121, 642}, {3, 5123, 3840}, {4, 5126, 642}, {5, 5126, 642}};
    EXPECT_EQ(accessors, expected);
    const auto views = numbersOf(glb.json, R"("byteOffset":(\d+),"byteLength":(\d+))");
    ASSERT_EQ(views.size(), 6u);
    for (std::size_t i = 0; i < views.size(); ++i) {
        EXPECT_EQ(views[i][0] % 4, 0u) << "view " << i;
        EXPECT_EQ(views[i][0], i ? (views[i - 1][0] + views[i - 1][1] + 3) / 4 * 4 : 0) << "view " << i;
    }
    EXPECT_EQ(views.back()[0] + views.back()[1], glb.bin.size());
    EXPECT_EQ(numbersOf(glb.json, R"("byteStride":(\d+))"), (std::vector<std::vector<std::uint64_t>>{{4}}))
        << "only the colours' bytes are padded";
    EXPECT_NE(glb.json.find(R"("alphaMode":"BLEND")"), std::string::npos);

    const IndexedMesh ground = weldedMesh(*planet), sea = weldedMesh(planet->weld, planet->water->vertices.data());
    expectSameBits(arrayAt<float>(glb.bin, views[0][0], views[0][1]), ground.positions, "land positions");
    expectSameBits(arrayAt<float>(glb.bin, views[1][0], views[1][1]),
                   landNormals(planet->weld, planet->vertices.data()), "land normals");
    const std::vector<std::uint16_t> indices = arrayAt<std::uint16_t>(glb.bin, views[3][0], views[3][1]);
    EXPECT_EQ(std::vector<std::uint32_t>(indices.begin(), indices.end()), ground.faces);
    expectSameBits(arrayAt<float>(glb.bin, views[4][0], views[4][1]), sea.positions, "sea positions");
    const std::vector<std::uint8_t> colours = arrayAt<std::uint8_t>(glb.bin, views[2][0], views[2][1]);
    for (std::size_t v = 0; v < colours.size() / 4; ++v) {
        // glTF's colours are linear, here in 8 bits: the window's, decoded from sRGB.
        const Rgb srgb = vertexColour(&ground.positions[3 * v]);
        for (std::size_t k = 0; k < 3; ++k) {
            const float s = srgb[k], linear = s <= 0.04045f ? s / 12.92f : std::pow((s + 0.055f) / 1.055f, 2.4f);
            ASSERT_NEAR(colours[4 * v + k] / 255.0f, linear, 0.5f / 255 + 1e-6f) << "vertex " << v;
        }
        ASSERT_EQ(colours[4 * v + 3], 0) << "vertex " << v;
    }
}

// Beyond 65,535 vertices the land comes in parts, each with 16-bit indices:
// read through each primitive's accessors, the faces are the weld's in
// order with the same positions and classes, and the rivers' lines join the
// same points.
TEST(MeshExportGlb, ALandInPartsHoldsTheWeldsFacesClassesAndRivers)
{
    ScopedTempDir dir;
    const auto planet = generatedPlanet(7, 500);
    Climate climate;
    for (std::size_t v = 0; v < planet->weld.vertexCount(); ++v)
        climate.biome.push_back(Biome(v % 14));
    const std::vector<std::uint32_t> rivers = {0, 5, 100000, 163841, 7, 99999};
    LandView land{planet->weld, planet->vertices.data(), nullptr, planet->water->vertices.data()};
    land.climate = &climate;
    land.rivers = &rivers;
    std::string error;
    ASSERT_TRUE(exportMesh(SaveTarget::replacing("parts.glb"), land, {42, 7, 500}, error)) << error;
    const Glb glb = readGlb("parts.glb");
    const nlohmann::json json = nlohmann::json::parse(glb.json);
    // An accessor's elements: where the first lies, the step, how many.
    struct Slice {
        std::uint64_t at, stride, count;
    };
    const auto slice = [&](int accessor, std::uint64_t packed) {
        const auto& a = json["accessors"][accessor];
        const auto& view = json["bufferViews"][a["bufferView"].get<int>()];
        return Slice{view["byteOffset"].get<std::uint64_t>() + a.value("byteOffset", std::uint64_t(0)),
                     view.value("byteStride", packed), a["count"].get<std::uint64_t>()};
    };
    const auto read = [&](const Slice& s, std::uint64_t element, auto type) {
        EXPECT_LT(element, s.count);
        decltype(type) value;
        std::memcpy(&value, glb.bin.data() + s.at + element * s.stride, sizeof value);
        return value;
    };
    const IndexedMesh ground = weldedMesh(*planet);
    const auto expectPoint = [&](const Slice& positions, std::uint64_t element, std::uint32_t v) {
        const auto xyz = read(positions, element, std::array<float, 3>{});
        for (std::uint64_t k = 0; k < 3; ++k)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(xyz[k]), std::bit_cast<std::uint32_t>(ground.positions[3 * v + k]));
    };
    const auto& primitives = json["meshes"][0]["primitives"];
    ASSERT_EQ(primitives.size(), 3u) << "163,842 vertices";
    std::size_t corner = 0;
    for (const auto& p : primitives) {
        const Slice indices = slice(p["indices"], 2), positions = slice(p["attributes"]["POSITION"], 12),
                    biomes = slice(p["attributes"]["_BIOME"], 1);
        EXPECT_LE(positions.count, 65535u);
        for (std::uint64_t i = 0; i < indices.count; ++i, ++corner) {
            const std::uint16_t local = read(indices, i, std::uint16_t{});
            const std::uint32_t v = ground.faces[corner];
            expectPoint(positions, local, v);
            ASSERT_EQ(read(biomes, local, std::uint8_t{}), v % 14) << "corner " << corner;
        }
    }
    EXPECT_EQ(corner, ground.faces.size());
    const auto& lines = json["meshes"][2]["primitives"][0];
    const Slice riverPoints = slice(lines["attributes"]["POSITION"], 12), riverLines = slice(lines["indices"], 4);
    for (std::uint64_t i = 0; i < rivers.size(); ++i)
        expectPoint(riverPoints, read(riverLines, i, std::uint32_t{}), rivers[i]);
}

// The textured land: its arrays over the seams' copies, the sea over its own
// vertices and indices, the two pictures the very pixels --map and
// --normal-map write at that width, with the settings record, after the
// accessors' views without a target.
TEST(MeshExportGlb, TexturedLandCarriesTheMapsPixels)
{
    ScopedTempDir dir;
    auto planet = quietPlanet(42, 3, 2000);
    testing::internal::CaptureStdout();
    ASSERT_TRUE(exportPlanetTo(*planet, SaveTarget::replacing("t.glb"), ClimateView::Biomes, {.textureWidth = 64}));
    ASSERT_TRUE(saveMapsOf(*planet, {.colour = SaveTarget::replacing("m.png"), .normal = SaveTarget::replacing("n.png")},
                           64, ClimateView::Biomes));
    testing::internal::GetCapturedStdout();
    const Glb glb = readGlb("t.glb");
    const auto views = numbersOf(glb.json, R"("byteOffset":(\d+),"byteLength":(\d+)[,}])");
    const auto accessors = numbersOf(glb.json, R"("bufferView":(\d+),"componentType":(\d+),"count":(\d+))");
    ASSERT_EQ(views.size(), accessors.size() + 2);
    EXPECT_EQ(numbersOf(glb.json, R"("target":\d+)").size(), accessors.size()) << "pictures have no target";
    const std::uint64_t vertices = accessors[0][2];
    EXPECT_GT(vertices, 642u) << "the seams' copies";
    ASSERT_GE(accessors.size(), 9u);
    for (std::size_t a : {std::size_t(1), std::size_t(2), std::size_t(7), accessors.size() - 1})
        EXPECT_EQ(accessors[a][2], vertices) << "accessor " << a << " (7: _BIOME, the last: TANGENT)";
    EXPECT_EQ(accessors[4][2], 642u) << "the sea has no seams";
    EXPECT_EQ(accessors[5][2], 642u);
    EXPECT_EQ(accessors[6][2], 3u * 1280);
    EXPECT_NE(glb.json.find(R"("indices":6,"material":1)"), std::string::npos);
    for (const auto& [view, file] : {std::pair{views.size() - 2, "m.png"}, std::pair{views.size() - 1, "n.png"}}) {
        EXPECT_EQ(views[view][0] % 4, 0u);
        std::ofstream(std::string("inside-") + file, std::ios::binary)
            << glb.bin.substr(views[view][0], views[view][1]);
        Image inside, beside;
        ASSERT_TRUE(readPng(std::string("inside-") + file, inside) && readPng(file, beside)) << file;
        EXPECT_EQ(inside.width, 64);
        EXPECT_NE(glb.bin.substr(views[view][0], views[view][1]).find(SETTINGS_KEYWORD), std::string::npos) << file;
        EXPECT_TRUE(inside.rgb == beside.rgb) << file;
    }
}

// A land textured alone: no sea, no climate, so no arrays of theirs to copy.
TEST(MeshExportGlb, TexturedLandWithoutSeaOrClimate)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(2, 100);
    const MeshTextures textures{{'c', 'o', 'l'}, {'n', 'o', 'r', 'm', 'a'}};
    LandView land{planet->weld, planet->vertices.data()};
    land.textures = &textures;
    std::string error;
    ASSERT_TRUE(exportMesh(SaveTarget::replacing("alone.glb"), land, {42, 2, 100}, error)) << error;
    const Glb glb = readGlb("alone.glb");
    EXPECT_EQ(glb.json.find("\"sea\""), std::string::npos);
    EXPECT_EQ(glb.bin.substr(glb.bin.size() - 12), std::string("col\0norma\0\0\0", 12)) << "each picture padded to 4";
}

// Beyond five subdivisions the sea is the five-subdivision sphere, its
// vertices read off the finer sphere exactly as that sphere is built.
TEST(MeshExportGlb, TheSeaIsNeverFinerThanFiveSubdivisions)
{
    ScopedTempDir dir;
    const auto planet = generatedPlanet(6, 0), coarse = generatedPlanet(5, 0);
    const LandView land{planet->weld, planet->vertices.data(), nullptr, planet->water->vertices.data()};
    std::string error;
    ASSERT_TRUE(exportMesh(SaveTarget::replacing("planet.glb"), land, {42, 6, 0}, error)) << error;
    const Glb glb = readGlb("planet.glb");
    const auto accessors = numbersOf(glb.json, R"("bufferView":(\d+),"componentType":(\d+),"count":(\d+))");
    const std::vector<std::vector<std::uint64_t>> expected = {{0, 5126, 40962}, {1, 5126, 40962}, {2, 5121, 40962},
                                                              {3, 5123, 245760}, {4, 5126, 10242}, {5, 5126, 10242},
                                                              {6, 5123, 61440}};
    EXPECT_EQ(accessors, expected);
    EXPECT_NE(glb.json.find(R"("indices":6,"material":1)"), std::string::npos);
    const auto views = numbersOf(glb.json, R"("byteOffset":(\d+),"byteLength":(\d+))");
    ASSERT_EQ(views.size(), 7u);
    const IndexedMesh sea = weldedMesh(coarse->weld, coarse->water->vertices.data());
    expectSameBits(arrayAt<float>(glb.bin, views[4][0], views[4][1]), sea.positions, "sea positions");
    const std::vector<std::uint16_t> seaFaces = arrayAt<std::uint16_t>(glb.bin, views[6][0], views[6][1]);
    EXPECT_EQ(std::vector<std::uint32_t>(seaFaces.begin(), seaFaces.end()), sea.faces);
}

// The blocks of a compressed .glb decoded as a reader decodes them: every
// array as quantised from the plain file's, the nodes placing them back.
TEST(MeshExportGlb, CompressedBlocksDecodeToTheQuantisedArrays)
{
    ScopedTempDir dir;
    const auto planet = generatedPlanet(3, 2000);
    LandView land{planet->weld, planet->vertices.data(), nullptr, planet->water->vertices.data()};
    const std::vector<std::uint32_t> rivers = {0, 5, 5, 9, 100, 9};
    land.rivers = &rivers;
    std::string error;
    ASSERT_TRUE(exportMesh(SaveTarget::replacing("plain.glb"), land, {42, 3, 2000}, error)) << error;
    land.compress = true;
    ASSERT_TRUE(exportMesh(SaveTarget::replacing("small.glb"), land, {42, 3, 2000}, error)) << error;
    const Glb plain = readGlb("plain.glb"), small = readGlb("small.glb");
    EXPECT_NE(small.json.find(R"("extensionsRequired":["EXT_meshopt_compression","KHR_mesh_quantization"])"),
              std::string::npos);
    const auto plainViews = numbersOf(plain.json, R"("byteOffset":(\d+),"byteLength":(\d+),)");
    const auto encoded =
        numbersOf(small.json, R"("buffer":0,"byteOffset":(\d+),"byteLength":(\d+),"byteStride":(\d+),"count":(\d+))");
    ASSERT_EQ(encoded.size(), 7u);
    ASSERT_EQ(plainViews.size(), 7u);
    auto decoded = [&](std::size_t i, const char* mode) {
        const auto& e = encoded[i];
        std::vector<unsigned char> out(e[2] * e[3]);
        const auto* bytes = reinterpret_cast<const unsigned char*>(small.bin.data() + e[0]);
        const int status = std::string(mode) == "v" ? meshopt_decodeVertexBuffer(out.data(), e[3], e[2], bytes, e[1])
                           : std::string(mode) == "t" ? meshopt_decodeIndexBuffer(out.data(), e[3], 4, bytes, e[1])
                                                      : meshopt_decodeIndexSequence(out.data(), e[3], 4, bytes, e[1]);
        EXPECT_EQ(status, 0) << "block " << i;
        return out;
    };
    // The rivers come back as they were, each triangle as it was or turned
    // (the codec may start it at another corner, keeping its winding).
    const auto indicesOf = [](const std::vector<unsigned char>& bytes) {
        return arrayAt<std::uint32_t>(std::string(bytes.begin(), bytes.end()), 0, bytes.size());
    };
    EXPECT_EQ(indicesOf(decoded(6, "i")), rivers);
    std::vector<std::uint32_t> triangles = indicesOf(decoded(3, "t"));
    const std::vector<std::uint16_t> shortFaces = arrayAt<std::uint16_t>(plain.bin, plainViews[3][0], plainViews[3][1]);
    const std::vector<std::uint32_t> faces(shortFaces.begin(), shortFaces.end());
    ASSERT_EQ(triangles.size(), faces.size());
    for (std::size_t t = 0; t < faces.size(); t += 3) {
        for (int turn = 0; turn < 2 && triangles[t] != faces[t]; ++turn)
            std::rotate(&triangles[t], &triangles[t + 1], &triangles[t + 3]);
        ASSERT_TRUE(std::equal(&faces[t], &faces[t + 3], &triangles[t])) << "triangle " << t / 3;
    }
    // Land and sea positions within a step of the shorts, placed by their node.
    const std::regex place(R"("mesh":(\d),"translation":\[([^,]+),([^,]+),([^\]]+)\],"scale":\[([^,]+),)");
    std::size_t placed = 0;
    for (auto it = std::sregex_iterator(small.json.begin(), small.json.end(), place); it != std::sregex_iterator();
         ++it) {
        ++placed;
        const std::size_t block = (*it)[1] == "1" ? 4 : 0;
        const float t[3] = {std::stof((*it)[2]), std::stof((*it)[3]), std::stof((*it)[4])}, scale = std::stof((*it)[5]);
        const std::vector<float> original = arrayAt<float>(plain.bin, plainViews[block][0], plainViews[block][1]);
        const std::vector<unsigned char> bytes = decoded(block, "v");
        std::vector<std::int16_t> q(bytes.size() / 2);
        std::memcpy(q.data(), bytes.data(), bytes.size());
        for (std::size_t v = 0; v < original.size() / 3; ++v)
            for (std::size_t k = 0; k < 3; ++k)
                ASSERT_NEAR(t[k] + scale * q[4 * v + k] / 32767.0f, original[3 * v + k], scale / 32767)
                    << "block " << block << " vertex " << v;
    }
    EXPECT_EQ(placed, 3u) << "the land, the sea and the rivers (on the land's positions) are placed";
    const std::vector<unsigned char> normals = decoded(1, "v");
    const std::vector<float> unit = arrayAt<float>(plain.bin, plainViews[1][0], plainViews[1][1]);
    for (std::size_t v = 0; v < unit.size() / 3; ++v)
        for (std::size_t k = 0; k < 3; ++k)
            ASSERT_NEAR(static_cast<std::int8_t>(normals[4 * v + k]) / 127.0f, unit[3 * v + k], 0.5f / 127);
}

TEST(MeshExportGlb, ExtrasSayWhatMadeThePlanetAndHowMuchOfItTheLandHolds)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(0, 0);
    const std::pair<MeshInfo, const char*> cases[] = {
        {{42, 3, 2000}, R"("seed":42,"subdivisions":3,"iterations":2000,"mode":"batch",)"
                        R"("comment":"Orbivane planet: seed 42, subdivisions 3, iterations 2000, batch generation"})"},
        {{7, 0, 50, 12}, R"("seed":7,"subdivisions":0,"iterations":50,"mode":"live","applied":12,"stopped":false,)"
                         R"("comment":"Orbivane planet: seed 7, subdivisions 0, iterations 12 of 50, live generation"})"},
        {{7, 0, 50, 0, true}, R"("iterations":50,"mode":"live","applied":0,"stopped":true,)"
                              R"("comment":"Orbivane planet: seed 7, subdivisions 0, iterations 0 of 50, stopped, live )"
                              R"(generation"})"},
    };
    for (const auto& [info, extras] : cases) {
        std::string error;
        ASSERT_TRUE(exportPlanet("planet.glb", *planet, info, error)) << error;
        const std::string json = readGlb("planet.glb").json;
        EXPECT_NE(json.find(extras), std::string::npos) << json;
    }
}

} // namespace

TEST(MeshExportWeld, NeighboursAreSymmetricWithFiveAtTheCornersAndSixElsewhere)
{
    for (int n : {0, 1, 4}) {
        const IcosphereWeld weld = weldIcosphere(ICOSAHEDRON_FACES, n);
        const VertexNeighbours near = vertexNeighbours(weld);
        ASSERT_EQ(near.vertexCount(), weld.vertexCount());
        std::size_t fives = 0;
        for (std::size_t v = 0; v < near.vertexCount(); ++v) {
            const std::size_t degree = std::size_t(near.end(v) - near.begin(v));
            ASSERT_TRUE(degree == 5 || degree == 6) << "n=" << n << " vertex " << v;
            fives += degree == 5;
            for (const std::uint32_t* w = near.begin(v); w != near.end(v); ++w)
                ASSERT_TRUE(std::binary_search(near.begin(*w), near.end(*w), std::uint32_t(v)));
        }
        EXPECT_EQ(fives, 12u) << "n=" << n;
    }
}
