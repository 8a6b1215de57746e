#include "Landscape.h"
#include "MeshExport.h"
#include "Planet.h"
#include "TestSupport.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <tuple>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// What a reader got back from an exported file.
struct ReadMesh {
    std::vector<std::string> comments;
    std::vector<float> positions;
    std::vector<std::uint32_t> faces;  // 0-based
};

std::unique_ptr<Planet> generatedPlanet(int subdivisions, int iterations)
{
    setFixedSeed(42);
    testing::internal::CaptureStdout();
    auto planet = std::make_unique<Planet>(subdivisions, iterations, false);
    testing::internal::GetCapturedStdout();
    setFixedSeed(std::nullopt);
    return planet;
}

std::uint32_t littleEndian32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = value << 8 | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

// Reads the binary little-endian PLY layout the exporter promises: x, y, z
// floats per vertex and a uchar-counted uint list per face. Fails the test on
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
    const std::vector<std::string> expected = {"ply", "format binary_little_endian 1.0", "property float x",
                                               "property float y", "property float z",
                                               "property list uchar uint vertex_indices"};
    EXPECT_EQ(properties, expected);
    std::size_t at = bodyStart + 11;
    EXPECT_EQ(bytes.size(), at + 12 * vertices + 13 * faces) << "body length of " << path;
    if (bytes.size() != at + 12 * vertices + 13 * faces)
        return mesh;
    for (std::size_t i = 0; i < 3 * vertices; ++i, at += 4) {
        const std::uint32_t bits = littleEndian32(bytes, at);
        mesh.positions.push_back(std::bit_cast<float>(bits));
    }
    for (std::size_t f = 0; f < faces; ++f, at += 13) {
        EXPECT_EQ(bytes[at], 3) << "face " << f << " is not a triangle";
        for (std::size_t k = 0; k < 3; ++k)
            mesh.faces.push_back(littleEndian32(bytes, at + 1 + 4 * k));
    }
    return mesh;
}

ReadMesh readObj(const std::string& path)
{
    ReadMesh mesh;
    for (const std::string& line : readLines(path)) {
        std::istringstream fields(line);
        std::string tag, a, b, c, extra;
        fields >> tag >> a >> b >> c;
        if (tag == "#") {
            mesh.comments.push_back(line.substr(2));
            continue;
        }
        EXPECT_FALSE(fields >> extra) << "extra field in \"" << line << "\"";
        if (tag == "v") {
            for (const std::string* text : {&a, &b, &c})
                mesh.positions.push_back(std::strtof(text->c_str(), nullptr));
        } else if (tag == "f") {
            for (const std::string* text : {&a, &b, &c})
                mesh.faces.push_back(static_cast<std::uint32_t>(std::stoul(*text)) - 1);
        } else {
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
        const IndexedMesh mesh = weldTriangles(planet->vertices.data(), planet->vertexCount);
        const int distinct = 10 * (1 << (2 * n)) + 2;
        EXPECT_EQ(mesh.positions.size(), 3u * distinct) << "n=" << n;
        EXPECT_EQ(mesh.faces.size(), std::size_t(planet->vertexCount)) << "n=" << n;
    }
}

TEST(MeshExportWeld, EveryCornerKeepsItsPositionBitForBitOnAGeneratedPlanet)
{
    auto planet = generatedPlanet(3, 200);
    const IndexedMesh mesh = weldTriangles(planet->vertices.data(), planet->vertexCount);
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
        const IndexedMesh mesh = weldTriangles(planet->vertices.data(), planet->vertexCount);
        for (std::size_t f = 0; f < mesh.faces.size() / 3; ++f)
            ASSERT_GT(outwardness(mesh, f), 0.0) << "n=" << n << " iterations=" << iterations << " face " << f;
    }
}

TEST(MeshExportWeld, SmallSoupsNumberByFirstAppearanceAndKeepSignedZerosApart)
{
    // Two triangles sharing the edge p1-p2, then a stray partial triangle.
    const float soup[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, /**/ 0, 1, 0, 1, 0, 0, 1, 1, 0, /**/ 5, 5, 5};
    const IndexedMesh mesh = weldTriangles(soup, 7);
    expectSameBits(mesh.positions, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, "positions");
    EXPECT_EQ(mesh.faces, (std::vector<std::uint32_t>{0, 2, 1, 2, 3, 1}));

    const float zeros[] = {0.0f, 1, 2, -0.0f, 1, 2, 0.0f, 1, 2};
    const IndexedMesh signedZeros = weldTriangles(zeros, 3);
    EXPECT_EQ(signedZeros.positions.size(), 6u) << "-0.0 and +0.0 differ in bits";
    EXPECT_EQ(signedZeros.faces, (std::vector<std::uint32_t>{0, 0, 1}));

    for (int count : {0, 2, -3}) {
        const IndexedMesh empty = weldTriangles(soup, count);
        EXPECT_TRUE(empty.positions.empty() && empty.faces.empty()) << "count " << count;
    }
}

TEST(MeshExportWeld, SoupsWithoutSharedCornersOutgrowTheEstimate)
{
    // Every x and y, and every z, recurs: only the whole triple tells corners apart.
    std::vector<float> soup;
    for (int i = 0; i < 30000; ++i)
        soup.insert(soup.end(), {float(i % 10), float(i / 10 % 10), -float(i / 100)});
    const IndexedMesh mesh = weldTriangles(soup.data(), 30000);
    expectSameBits(mesh.positions, soup, "positions");
    for (std::uint32_t t = 0; t < 10000; ++t)
        ASSERT_EQ(std::vector<std::uint32_t>(mesh.faces.begin() + 3 * t, mesh.faces.begin() + 3 * t + 3),
                  (std::vector<std::uint32_t>{3 * t, 3 * t + 2, 3 * t + 1}));
}

TEST(MeshExportFiles, PlyAndObjReadBackAsTheWeldedMesh)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(3, 200);
    const MeshInfo info{planet->seed, 3, 200};
    std::string error;
    ASSERT_TRUE(exportMesh("planet.ply", planet->vertices.data(), planet->vertexCount, info, error)) << error;
    ASSERT_TRUE(exportMesh("planet.OBJ", planet->vertices.data(), planet->vertexCount, info, error)) << error;
    const IndexedMesh welded = weldTriangles(planet->vertices.data(), planet->vertexCount);
    const std::string comment = "Orbivane planet: seed 42, subdivisions 3, iterations 200";
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
    ASSERT_TRUE(exportMesh("sphere.ply", planet->vertices.data(), planet->vertexCount, info, error)) << error;
    ASSERT_TRUE(exportMesh("sphere.obj", planet->vertices.data(), planet->vertexCount, info, error)) << error;
    const std::string header = "ply\nformat binary_little_endian 1.0\n"
                               "comment Orbivane planet: seed 4294967295, subdivisions 0, iterations 123456\n"
                               "element vertex 12\nproperty float x\nproperty float y\nproperty float z\n"
                               "element face 20\nproperty list uchar uint vertex_indices\nend_header\n";
    const std::string ply = readFile("sphere.ply");
    EXPECT_EQ(ply.substr(0, header.size()), header);
    EXPECT_EQ(ply.size(), header.size() + 12 * 12 + 20 * 13);
    const auto lines = readLines("sphere.obj");
    ASSERT_EQ(lines.size(), 1u + 12 + 20);
    EXPECT_EQ(lines[0], "# Orbivane planet: seed 4294967295, subdivisions 0, iterations 123456");
    EXPECT_EQ(lines[1].substr(0, 2), "v ");
    EXPECT_EQ(lines[13].substr(0, 2), "f ");
}

TEST(MeshExportPaths, RecognisesPlyAndObjNamesInAnyCase)
{
    for (const char* name : {"a.ply", "A.PLY", "dir/planet.Obj", "x.y.obj", "/tmp/p.pLy"})
        EXPECT_TRUE(isExportPath(name)) << name;
    for (const char* name : {"a.stl", "ply", "a.ply.txt", "a.", "", "dir.ply/", "a.plyx", "aply", ".obj"})
        EXPECT_FALSE(isExportPath(name)) << name;
}

TEST(MeshExportPaths, FailuresSayWhyAndLeaveNoFileBehind)
{
    ScopedTempDir dir;
    auto planet = generatedPlanet(1, 0);
    const MeshInfo info{42, 1, 0};
    auto tryExport = [&](const std::string& path, std::string& error) {
        error.clear();
        return exportMesh(path, planet->vertices.data(), planet->vertexCount, info, error);
    };
    std::string error;
    EXPECT_FALSE(tryExport("planet.stl", error));
    EXPECT_NE(error.find("unknown file type"), std::string::npos) << error;
    EXPECT_NE(error.find("(use .ply or .obj)"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists("planet.stl"));

    EXPECT_FALSE(tryExport("missing/planet.ply", error));
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
    EXPECT_NE(error.find("missing/planet.ply"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists("missing"));

    fs::create_directory("taken.obj");
    EXPECT_FALSE(tryExport("taken.obj", error));
    EXPECT_NE(error.find(std::strerror(EISDIR)), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory("taken.obj"));

    // The device accepts opening and reports a full disk when written to.
    if (access("/dev/full", W_OK) == 0) {
        fs::create_symlink("/dev/full", "full.ply");
        EXPECT_FALSE(tryExport("full.ply", error));
        EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(fs::symlink_status("full.ply"))) << "the partial file stays";
    }

    EXPECT_TRUE(tryExport("after.ply", error)) << "a failure must not spoil the next export: " << error;
    EXPECT_EQ(readPly("after.ply").faces.size(), 240u);
}

} // namespace
