// GL tests in this process, on the X server named by DISPLAY.
#include "ClientArrayDrawing.h"
#include "ClimateColours.h"
#include "FrameReadback.h"
#include "ProgramDriver.h"
#include "Landscape.h"
#include "LogManager.h"
#include "Orbivane.h"
#include "PlanetBuffers.h"
#include "PlanetClimate.h"
#include "LandSnapshot.h"
#include "Renderer.h"
#include "Screenshot.h"
#include "SmoothFrame.h"
#include "Shader.h"
#include "TerrainColours.h"
#include "TestSupport.h"
#include "Window.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// A scratch working directory that sees the project's shaders as res/, and
// an open window whose context is current.
class WindowContext : public testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "needs an X server (DISPLAY)";
        fs::create_directory_symlink(fs::path(ORBIVANE_SOURCE_DIR) / "res", "res");
        window = openWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        shaders = PlanetShaders();
        if (window)
            glfwDestroyWindow(window);
        glfwTerminate();
        currentPlanet.reset();
        setFixedSeed(std::nullopt);
    }

    std::vector<std::string> logLines() const { return readLines("Orbivane.log"); }

    // A batch planet of 5000 planes from seed, with its programs and buffers,
    // the console output of both swallowed.
    void showPlanet(std::uint32_t seed, int subdivisions)
    {
        shaders = PlanetShaders(); // the former planet's buffers go before it
        setFixedSeed(seed);
        testing::internal::CaptureStdout();
        currentPlanet = std::make_unique<Planet>(subdivisions, 5000, false);
        shaders = setupShaders();
        testing::internal::GetCapturedStdout();
    }

    // The same with the planet's shape settled, so that its climate is made
    // (changed first by change, when given) and sent before the first frame.
    void showSettledPlanet(std::uint32_t seed, int subdivisions,
                           const std::function<void(Climate&, const Planet&)>& change = {})
    {
        shaders = PlanetShaders();
        setFixedSeed(seed);
        testing::internal::CaptureStdout();
        currentPlanet = std::make_unique<Planet>(subdivisions, 5000, false);
        currentPlanet->shapeSettled = true;
        if (change) {
            PlanetClimate changed = *climateOf(*currentPlanet, LandSnapshot(*currentPlanet));
            change(changed.climate, *currentPlanet);
            currentPlanet->climate = std::make_shared<const PlanetClimate>(std::move(changed));
        }
        shaders = setupShaders();
        testing::internal::GetCapturedStdout();
    }

    ScopedTempDir dir;
    GLFWwindow* window = nullptr;
    PlanetShaders shaders;
};

GLint linkStatus(GLhandleARB program)
{
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    return linked;
}

TEST_F(WindowContext, ShippedShadersLinkWithAnEmptyInfoLog)
{
    testing::internal::CaptureStdout();
    shaders = setupShaders();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(linkStatus(shaders.land->program), 1);
    EXPECT_EQ(linkStatus(shaders.water->program), 1);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find(": Compiling shaders:"), std::string::npos);
    EXPECT_NE(lines[1].find(": Shader (res/land.vert, res/land.frag):, GLSL Info: "), std::string::npos);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 11), "GLSL Info: ");
    EXPECT_EQ(lines[2].substr(lines[2].find(": Shader") + 2),
              "Shader (res/water.vert, res/water.frag):, GLSL Info: ");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(WindowContext, UnreadableOrBrokenShaderFilesStillGiveAProgram)
{
    std::ofstream("empty.frag");
    std::ofstream("broken.frag") << "#version 120\nvoid main() { gl_FragColor = vec4(1.0) }\n";
    std::ofstream("crlf.vert", std::ios::binary) << "#version 120\r\nvoid main()\r\n{\r\n    gl_Position = ftransform();\r\n}\r\n";
    testing::internal::CaptureStdout();
    {
        // The program's own shaders need code inserted at their markers: a plain one here.
        Shader missing("crlf.vert", "no/such.frag");
        EXPECT_NE(missing.program, 0u);
        EXPECT_EQ(linkStatus(missing.program), 1) << "the vertex shader alone links";
        Shader empty("crlf.vert", "empty.frag");
        EXPECT_NE(empty.program, 0u);
        EXPECT_EQ(linkStatus(empty.program), 1) << "CR LF line ends compile";
        Shader broken("crlf.vert", "broken.frag");
        EXPECT_NE(broken.program, 0u);
        Shader neither("none.vert", "none.frag");
        EXPECT_NE(neither.program, 0u);
    }
    testing::internal::GetCapturedStdout();
    const std::string log = readFile("Orbivane.log");
    EXPECT_NE(log.find("ERROR   src/Shader.cpp : "), std::string::npos);
    EXPECT_NE(log.find("Shader file no/such.frag could not be read"), std::string::npos);
    EXPECT_NE(log.find("Shader file empty.frag could not be read or is empty"), std::string::npos);
    EXPECT_NE(log.find("Shader broken.frag did not compile: "), std::string::npos);
    EXPECT_NE(log.find("Shader (none.vert, none.frag):, GLSL Info: "), std::string::npos);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

struct Frame {
    Image image;              // rows from the top
    std::vector<float> depth; // rows from the top
};

Frame readFrame(int width, int height)
{
    glFinish();
    Frame frame;
    frame.image = readShownFrame(width, height);
    std::vector<float> depth(static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    frame.depth.resize(depth.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(&depth[static_cast<size_t>(height - 1 - y) * width], width,
                    &frame.depth[static_cast<size_t>(y) * width]);
    return frame;
}

bool isBackground(const unsigned char* p)
{
    return p[0] <= 1 && std::abs(p[1] - 26) <= 1 && std::abs(p[2] - 38) <= 1;
}

TEST_F(WindowContext, RenderedFrameShowsThePlanetDiscWithLandAndSea)
{
    showPlanet(2024, 5);

    int land = 0, sea = 0, disc = 0;
    for (float turn : {0.0f, 90.0f, 180.0f, 270.0f}) {
        currentPlanet->angle[1] = turn;
        drawFrame();
        const Frame frame = readFrame(800, 600);
        const auto pixel = [&](int x, int y) { return &frame.image.rgb[(static_cast<size_t>(y) * 800 + x) * 3]; };
        EXPECT_TRUE(isBackground(pixel(2, 2)));
        EXPECT_TRUE(isBackground(pixel(797, 597)));
        EXPECT_FALSE(isBackground(pixel(400, 300)));

        int left = 0;
        while (left < 400 && isBackground(pixel(left, 300)))
            ++left;
        int right = 799;
        while (right > 400 && isBackground(pixel(right, 300)))
            --right;
        const double radius = (right - left) / 2.0;
        EXPECT_GT(radius, 250.0) << "a sphere of radius 1 seen from 3 at 45 degrees is 256 pixels";
        EXPECT_LT(radius, 290.0) << "mountains stand a few percent above the sea";
        EXPECT_NEAR((left + right) / 2.0, 400.0, 20.0);

        // The nearest surface at the centre is the near side (eye distance 2,
        // window depth 0.96), not the inside of the far side (distance 4, 0.985).
        EXPECT_LT(frame.depth[300 * 800 + 400], 0.97f);

        for (int y = 0; y < 600; y += 2)
            for (int x = 0; x < 800; x += 2) {
                const unsigned char* p = pixel(x, y);
                if (isBackground(p))
                    continue;
                ++disc;
                if (p[2] > p[0] + 10 && p[2] > p[1] + 10)
                    ++sea;
                else
                    ++land;
            }
    }
    EXPECT_GT(land, disc / 50) << "land pixels";
    EXPECT_GT(sea, disc / 50) << "sea pixels";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The sun stands off the camera's axis, up and to the left: most of the disc
// is in daylight, and the night side darkens its right edge.
TEST_F(WindowContext, MostOfTheDiscIsInDaylightWithNightAtOneEdge)
{
    showPlanet(2, 5);
    for (float turn : {0.0f, 120.0f, 240.0f}) {
        currentPlanet->angle[1] = turn;
        drawFrame();
        const Frame frame = readFrame(800, 600);
        // Brightness 0 to 765 of the pixels on the disc's middle row, left to right.
        std::vector<int> row;
        for (int x = 0; x < 800; ++x) {
            const unsigned char* p = &frame.image.rgb[(300 * 800 + static_cast<size_t>(x)) * 3];
            if (!isBackground(p))
                row.push_back(p[0] + p[1] + p[2]);
        }
        ASSERT_GT(row.size(), 500u);
        const auto lit = std::count_if(row.begin(), row.end(), [](int b) { return b > 40; });
        EXPECT_GT(lit, static_cast<long>(row.size() * 65 / 100)) << "turn " << turn;
        EXPECT_LT(row.back(), 60) << "the night edge, turn " << turn;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Largest difference of two frames in any channel, and how many channel
// values differ at all.
std::pair<int, int> difference(const Frame& a, const Frame& b)
{
    int largest = 0, differing = 0;
    for (size_t i = 0; i < a.image.rgb.size(); ++i) {
        const int d = std::abs(a.image.rgb[i] - b.image.rgb[i]);
        largest = std::max(largest, d);
        differing += d != 0;
    }
    return {largest, differing};
}

// The program's drawing against the former one at several angles. Welded,
// indexed buffers draw the same triangles in the same order as the two soups
// did from client memory: with the same programs the frames agree pixel for
// pixel, depth included. The land is faceted, since the soups carry no
// smooth normals.
TEST_F(WindowContext, BufferDrawingShowsTheSamePixelsAsTheFormerDrawing)
{
    showPlanet(77, 6);
    setFacetedLand(true);
    const auto drawFromClientArrays = [&] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        placeCameraAndLight();
        drawWithClientArrays(*currentPlanet);
        return readFrame(800, 600);
    };
    const float angles[][3] = {{0, 0, 0}, {31, 62, 13}, {200, -45, 90}, {359, 123, 271}, {90, 10, 45}};
    for (const auto& angle : angles) {
        std::copy_n(angle, 3, currentPlanet->angle);
        drawFrame();
        const Frame buffered = readFrame(800, 600);
        const Frame sameShaders = drawFromClientArrays();

        const std::string at = "angles " + std::to_string(angle[0]) + ", " + std::to_string(angle[1]) + ", " +
                               std::to_string(angle[2]);
        EXPECT_EQ(difference(buffered, sameShaders), std::make_pair(0, 0)) << at;
        EXPECT_EQ(buffered.depth, sameShaders.depth) << at;
        EXPECT_GT(driver::countPlanetPixels(buffered.image), 150000);
    }
    // A finished planet is never sent again.
    const std::uint64_t sent = currentPlanet->buffers->bytesSent();
    for (int frame = 0; frame < 3; ++frame)
        drawFrame();
    EXPECT_EQ(currentPlanet->buffers->bytesSent(), sent);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Until the mouse or a key is used, the window draws exactly what the fixed
// camera did: gluLookAt(3, 0, 0, ...) with the planes at 0.1 and 10.
TEST_F(WindowContext, StartingViewDrawsAsTheFixedCameraDid)
{
    showPlanet(31, 5);
    std::copy_n(std::array{47.0f, 110.0f, 203.0f}.begin(), 3, currentPlanet->angle);
    drawFrame();
    const Frame now = readFrame(800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 800.0 / 600.0, 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(3, 0, 0, 0, 0, 0, 0, 1, 0);
    const GLfloat light[4] = {3.0f, 1.5f, 0.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    renderPlanet();
    const Frame fixed = readFrame(800, 600);
    EXPECT_EQ(now.image.rgb, fixed.image.rgb);
    EXPECT_EQ(now.depth, fixed.depth);
}

// Light 0 is given right after the camera, at (3, 1.5, 0) in world
// coordinates: the GL keeps it in eye space, where the camera on the +x axis
// looking at the centre sees world x as its z and world z as its -x.
TEST_F(WindowContext, LightZeroStandsAtItsWorldPositionSeenFromTheCamera)
{
    placeCameraAndLight();
    GLfloat position[4] = {};
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    const GLfloat expected[4] = {0.0f, 1.5f, 3.0f, 0.0f};
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(position[k], expected[k], 1e-6) << "component " << k;
}

// res/land.frag's terrainColour as it was written by hand before the colour
// table generated it, with the sea floor's colours of today's table, and
// with the snow line falling as written by hand after (never to the
// lowland: 100 steps at a pole); the ice, once a
// polar cap here, comes from the climate.
const char* const HAND_WRITTEN_TERRAIN_COLOUR = R"(const vec3 iceColour = vec3(0.90, 0.94, 0.97);

vec3 terrainColour(float steps, float latitude)
{
    vec3 deepFloor = vec3(0.01, 0.05, 0.13);
    vec3 shallowFloor = vec3(0.32, 0.62, 0.60);
    vec3 beach = vec3(0.87, 0.80, 0.58);
    vec3 lowland = vec3(0.24, 0.50, 0.16);
    vec3 highland = vec3(0.46, 0.52, 0.24);
    vec3 rock = vec3(0.47, 0.40, 0.34);
    vec3 snow = vec3(0.96, 0.96, 0.94);

    if (steps < 0.0)
        return mix(deepFloor, shallowFloor, smoothstep(-50.0, -3.0, steps));
    float polar = latitude * latitude;
    float snowLine = 100.0 * (polar * polar);
    vec3 c = mix(beach, lowland, smoothstep(2.0, 9.0, steps));
    c = mix(c, highland, smoothstep(45.0, 80.0, steps));
    c = mix(c, rock, smoothstep(90.0, 125.0, steps));
    c = mix(c, snow, smoothstep(145.0 - snowLine, 175.0 - snowLine, steps));
    return c;
})";

// The land shader draws with the terrainColour generated from the colour
// table exactly the pixels it drew with the hand-written one.
TEST_F(WindowContext, GeneratedTerrainColourDrawsTheSamePixelsAsTheHandWrittenOne)
{
    setFixedSeed(2);
    testing::internal::CaptureStdout();
    currentPlanet = std::make_unique<Planet>(6, 5000, false);
    shaders = setupShaders();
    // Without its marker line the shader would keep a function of its own,
    // and with another height scale its bands would sit elsewhere than the map's.
    const std::string source = readFile("res/land.frag");
    ASSERT_NE(source.find(std::string("\n") + TERRAIN_COLOUR_MARKER + "\n"), std::string::npos);
    EXPECT_NE(source.find("const float STEPS_PER_UNIT = " + std::to_string(int(STEPS_PER_UNIT)) + ".0;"),
              std::string::npos);
    Shader handWritten("res/land.vert", "res/land.frag",
                       ShaderInsert{TERRAIN_COLOUR_MARKER, HAND_WRITTEN_TERRAIN_COLOUR + viewNumbersGlsl()},
                       ShaderInsert{CLIMATE_COLOUR_MARKER, climateColourGlsl()});
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(handWritten.linked && shaders.land->linked);
    const float angles[][3] = {{0, 0, 0}, {40, 100, 20}, {180, 250, 300}, {0, 0, -70}, {0, 0, 75}};
    for (const auto& angle : angles) {
        std::copy_n(angle, 3, currentPlanet->angle);
        currentPlanet->landShader = shaders.land.get();
        drawFrame();
        const Frame generated = readFrame(800, 600);
        currentPlanet->landShader = &handWritten;
        drawFrame();
        const Frame reference = readFrame(800, 600);
        EXPECT_TRUE(generated.image.rgb == reference.image.rgb) << "angles " << angle[0] << ", " << angle[1];
        EXPECT_GT(driver::countPlanetPixels(generated.image), 150000);
    }
    currentPlanet->landShader = shaders.land.get();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Share of the 41 x 41 pixels in the middle of an 800 x 600 frame that are
// ice: bright, grey, and bluer than red by more than 12 levels, as the ice
// colour lit is (by 20 or more in daylight) and the snow band on the
// heights is not (its blue lies under its red: under 10 levels over it).
double icyShareInTheMiddle(const Image& image)
{
    int icy = 0;
    for (int y = 280; y <= 320; ++y)
        for (int x = 380; x <= 420; ++x) {
            const unsigned char* p = &image.rgb[3 * (y * 800 + x)];
            const auto [low, high] = std::minmax({p[0], p[1], p[2]});
            icy += low > 140 && high - low < 40 && p[2] - p[0] > 12;
        }
    return icy / (41.0 * 41.0);
}

// The view V shows for the life of a test, the one before it afterwards.
struct ShownView {
    explicit ShownView(ClimateView view) : before(climateView()) { setClimateView(view); }
    ~ShownView() { setClimateView(before); }
    ShownView(const ShownView&) = delete;
    ShownView& operator=(const ShownView&) = delete;
    ClimateView before;
};

const float POLES[][3] = {{0, 0, -90}, {0, 0, 90}, {90, 0, -90}}, EQUATOR[][3] = {{0, 0, 0}, {0, 90, 0}, {0, 180, 0}};

// A change of a climate: ice (land ice on land, sea ice on the sea) on every
// vertex whose latitude (degrees) frozen picks, none on any other.
std::function<void(Climate&, const Planet&)> iceWhere(bool (*frozen)(double latitude))
{
    return [frozen](Climate& climate, const Planet& planet) {
        for (std::size_t v = 0; v < climate.biome.size(); ++v) {
            const float* p = &planet.vertices[3 * std::size_t(planet.weld.vertexToCorner[v])];
            const double latitude = std::asin(p[1] / std::hypot(p[0], p[1], p[2])) * 180.0 / M_PI;
            Biome& biome = climate.biome[v];
            const bool sea = biome == Biome::Ocean || biome == Biome::SeaIce;
            if (frozen(latitude))
                biome = sea ? Biome::SeaIce : Biome::Ice;
            else
                biome = sea ? Biome::Ocean : Biome::Tundra;
        }
    };
}

bool polar(double latitude)
{
    return std::fabs(latitude) > 60.0;
}

bool equatorial(double latitude)
{
    return std::fabs(latitude) < 12.0;
}

// The heights view lays ice where the climate has it, wherever the planet is
// turned: with a climate that freezes the poles alone, the middle of the disc
// is ice (a pale grey) when a pole faces the camera, little of it when the
// equator does; the same land with a climate that freezes the equator alone
// shows the opposite: no polar disc.
TEST_F(WindowContext, IceInTheHeightsViewFollowsTheClimateNotTheLatitude)
{
    const ShownView heights(ClimateView::Heights);
    const auto icyShares = [this](const float (&views)[3][3]) {
        std::array<double, 3> shares{};
        for (int v = 0; v < 3; ++v) {
            std::copy_n(views[v], 3, currentPlanet->angle);
            drawFrame();
            shares[v] = icyShareInTheMiddle(readFrame(800, 600).image);
        }
        return shares;
    };
    showSettledPlanet(2, 5, iceWhere(polar));
    ASSERT_TRUE(currentPlanet->buffers->hasClimate());
    for (const double icy : icyShares(POLES))
        EXPECT_GT(icy, 0.6) << "a pole under the climate's ice";
    for (const double icy : icyShares(EQUATOR))
        EXPECT_LT(icy, 0.25) << "the equator without ice in its climate";
    showSettledPlanet(2, 5, iceWhere(equatorial));
    ASSERT_TRUE(currentPlanet->buffers->hasClimate());
    for (const double icy : icyShares(POLES))
        EXPECT_LT(icy, 0.25) << "a pole without ice in its climate";
    for (const double icy : icyShares(EQUATOR))
        EXPECT_GT(icy, 0.6) << "the equator under the climate's ice";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

bool everywhere(double)
{
    return true;
}

// Before the climate is known (a planet whose shape is not settled has
// none), no view lays any ice: not at the poles either, and not after a
// planet all ice (the next planet takes its buffers, as N does).
TEST_F(WindowContext, NoIceBeforeTheClimateIsKnown)
{
    const ShownView heights(ClimateView::Heights);
    showSettledPlanet(2, 5, iceWhere(everywhere));
    drawFrame();
    ASSERT_GT(icyShareInTheMiddle(readFrame(800, 600).image), 0.6) << "a planet all ice";
    // A live generation still rising when the frames are drawn, however fast
    // the machine: its shape is not settled, so it has no climate.
    testing::internal::CaptureStdout();
    setLivePace({3600.0});
    showNextPlanet(std::make_unique<Planet>(5, 1000000, true), shaders);
    setLivePace({});
    for (const auto& angle : POLES) {
        std::copy_n(angle, 3, currentPlanet->angle);
        drawFrame();
        EXPECT_LT(icyShareInTheMiddle(readFrame(800, 600).image), 0.25) << angle[0] << ", " << angle[2];
    }
    EXPECT_FALSE(currentPlanet->buffers->hasClimate());
    shaders = PlanetShaders(); // first, as the window does: the buffers' threads read the planet
    currentPlanet.reset();     // stops and joins the generation
    testing::internal::GetCapturedStdout();
}

// --look-at is the window's starting view: a pole under the camera, then
// the equator again once the option is gone. The heights view of a planet
// whose climate freezes the poles alone tells them by their ice.
TEST_F(WindowContext, LookAtTurnsTheWindowsStartingView)
{
    const ShownView heights(ClimateView::Heights);
    for (const double latitude : {90.0, -90.0}) {
        glfwDestroyWindow(window);
        runOptions.lookAt = LookAt{latitude, 0, 3};
        window = openWindow();
        runOptions.lookAt.reset();
        ASSERT_NE(window, nullptr);
        setClimateView(ClimateView::Heights); // a window opens in the options' view
        showSettledPlanet(2, 5, iceWhere(polar));
        drawFrame();
        EXPECT_GT(icyShareInTheMiddle(readFrame(800, 600).image), 0.6) << latitude;
    }
    glfwDestroyWindow(window);
    window = openWindow();
    ASSERT_NE(window, nullptr);
    setClimateView(ClimateView::Heights);
    showSettledPlanet(2, 5, iceWhere(polar));
    drawFrame();
    EXPECT_LT(icyShareInTheMiddle(readFrame(800, 600).image), 0.25);
}

TEST_F(WindowContext, FramesDrawnWhileLiveGenerationRuns)
{
    testing::internal::CaptureStdout();
    setLivePace({3600.0}); // still rising when the frames are counted, however fast the machine
    currentPlanet = std::make_unique<Planet>(4, 1000000, true);
    setLivePace({});
    shaders = setupShaders();
    const std::uint64_t sentAtStart = currentPlanet->buffers->bytesSent();
    const std::uint64_t versionAtStart = currentPlanet->landVersion.load();
    // However slowly the generation runs beside them: frames until it has
    // moved the land, then one that shows it.
    for (int frame = 0; frame < 30 || currentPlanet->landVersion.load() == versionAtStart; ++frame) {
        drawFrame();
        glfwSwapBuffers(window);
        glfwPollEvents();
    }
    drawFrame();
    EXPECT_FALSE(currentPlanet->liveJob->finished);
    EXPECT_GT(currentPlanet->buffers->bytesSent(), sentAtStart) << "the changing land is sent again";
    shaders = PlanetShaders(); // first, as the window does: the buffers' normals thread reads the planet
    currentPlanet.reset();     // stops and joins the generation
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Rising land drawn coarser is sent at that level alone; a frame drawn finer
// sends the rest first, and shows the land as a whole upload of it does.
TEST_F(WindowContext, RisingLandSentAtTheLevelDrawnIsWholeAgainForAFinerFrame)
{
    testing::internal::CaptureStdout();
    setFacetedLand(true); // the same picture whichever normals the thread has sent
    currentPlanet = std::make_unique<Planet>(7, 1000000, true);
    shaders = setupShaders();
    currentPlanet->buffers->useLevel(5);
    const std::uint64_t versionAtStart = currentPlanet->landVersion.load();
    while (currentPlanet->landVersion.load() == versionAtStart)
        drawFrame();
    stopLiveGeneration(*currentPlanet);
    drawFrame(); // the land as it stopped, at level 5
    currentPlanet->buffers->useLevel(7);
    drawFrame();
    const Frame caughtUp = readFrame(800, 600);
    currentPlanet->landVersion.fetch_add(1); // sends the whole land again
    drawFrame();
    const Frame whole = readFrame(800, 600);
    testing::internal::GetCapturedStdout();
    setFacetedLand(false);
    EXPECT_TRUE(caughtUp.image.rgb == whole.image.rgb);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The frame of the current planet seen from `distance` on the camera's axis,
// as the wheel would place it.
Frame frameFrom(double distance)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 800.0 / 600.0, 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(distance, 0, 0, 0, 0, 0, 0, 1, 0);
    renderPlanet();
    return readFrame(800, 600);
}

const unsigned char* pixelOf(const Frame& frame, int x, int y)
{
    return &frame.image.rgb[(static_cast<size_t>(y) * 800 + x) * 3];
}

// Land: drawn, and not the sea's blue.
bool isLand(const Frame& frame, int x, int y)
{
    const unsigned char* p = pixelOf(frame, x, y);
    return frame.depth[static_cast<size_t>(y) * 800 + x] < 1.0f && !(p[2] > p[0] + 20 && p[2] > p[1] + 10);
}

// Mean absolute difference, per channel, between land pixels and their land
// neighbours to the right and below.
double neighbourDifference(const Frame& frame)
{
    double sum = 0;
    long count = 0;
    for (int y = 0; y + 1 < 600; ++y)
        for (int x = 0; x + 1 < 800; ++x) {
            if (!isLand(frame, x, y))
                continue;
            for (const auto& [nx, ny] : {std::pair{x + 1, y}, std::pair{x, y + 1}})
                if (isLand(frame, nx, ny))
                    for (int c = 0; c < 3; ++c, ++count)
                        sum += std::abs(pixelOf(frame, x, y)[c] - pixelOf(frame, nx, ny)[c]);
        }
    return count ? sum / double(count) : 0.0;
}

// At 8 subdivisions the facets are a pixel or two wide and shade the land as
// moss; the smooth normals shade the relief without it, and the coasts stay
// where the mesh has them.
TEST_F(WindowContext, SmoothLandVariesFromPixelToPixelHalfAsMuchAsFacets)
{
    showPlanet(2, 8);
    ASSERT_TRUE(currentPlanet->buffers->hasNormals());
    setFacetedLand(true);
    const Frame faceted = frameFrom(3.0);
    setFacetedLand(false);
    const Frame smooth = frameFrom(3.0);
    const double facetDifference = neighbourDifference(faceted), smoothDifference = neighbourDifference(smooth);
    EXPECT_LE(smoothDifference, facetDifference / 2) << "faceted " << facetDifference;
    int land = 0, moved = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            land += isLand(faceted, x, y);
            moved += isLand(faceted, x, y) != isLand(smooth, x, y);
        }
    EXPECT_GT(land, 50000);
    EXPECT_LT(moved, land / 200) << "land and sea stay where they were";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The planet's outline alone: its shell in unlit white over a cleared frame.
void drawWhiteShell()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    placeCameraAndLight();
    glDisable(GL_LIGHTING);
    glColor3f(1, 1, 1);
    currentPlanet->buffers->drawShell();
    glEnable(GL_LIGHTING);
}

// A white sphere on the background, unlit: where the window has several
// samples a pixel, pixels on its edge blend the two; without, none does.
// The depth reads the same either way.
TEST_F(WindowContext, LimbShowsBlendedPixelsOnlyWithMultisampling)
{
    for (const int samples : {MULTISAMPLES, 0}) {
        glfwDestroyWindow(window);
        setWindowSamples(samples);
        window = openWindow();
        setWindowSamples(AUTOMATIC_SAMPLES);
        ASSERT_NE(window, nullptr);
        GLint granted = 0;
        glGetIntegerv(GL_SAMPLES, &granted);
        if (samples > 0 && granted < 2) {
            ADD_FAILURE() << "the X server offers no multisampling; Xvfb with llvmpipe does";
            continue;
        }
        showPlanet(1, 3);
        drawWhiteShell();
        const Frame frame = readFrame(800, 600);
        int blended = 0;
        for (size_t i = 0; i < frame.image.rgb.size(); i += 3)
            blended += frame.image.rgb[i] > 8 && frame.image.rgb[i] < 247;
        // A limb about 1600 pixels around.
        EXPECT_TRUE(samples > 0 ? blended > 500 : blended == 0) << blended << " blended with " << samples << " samples";
        // The depth under the pointer, which the drag reads, as without samples.
        EXPECT_LT(frame.depth[300 * 800 + 400], 0.97f) << samples << " samples";
        EXPECT_EQ(frame.depth[10 * 800 + 10], 1.0f) << samples << " samples";
        shaders = PlanetShaders();
    }
}

// A smooth frame blends the limb where the window has no multisampling, and
// leaves the window's own frame, viewport and projection as they were.
TEST_F(WindowContext, SmoothFrameBlendsTheLimbAndLeavesTheWindowsFrame)
{
    glfwDestroyWindow(window);
    setWindowSamples(0);
    window = openWindow();
    setWindowSamples(AUTOMATIC_SAMPLES);
    ASSERT_NE(window, nullptr);
    showPlanet(1, 3);
    const auto drawShell = [](float) { drawWhiteShell(); };
    drawShell(1);
    const Frame shown = readFrame(800, 600);
    while (glGetError() != GL_NO_ERROR) {
    }
    GLdouble projection[16], projectionAfter[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const Image smooth = drawSmoothFrame(ViewControl(), 800, 600, 800, 600, drawShell);
    ASSERT_EQ(smooth.width, 800);
    ASSERT_EQ(smooth.height, 600);
    int blended = 0, white = 0;
    for (size_t i = 0; i < smooth.rgb.size(); i += 3) {
        blended += smooth.rgb[i] > 8 && smooth.rgb[i] < 247;
        white += smooth.rgb[i] >= 247;
    }
    EXPECT_GT(blended, 500) << "a limb about 1600 pixels around";
    EXPECT_NEAR(white, std::count(shown.image.rgb.begin(), shown.image.rgb.end(), 255) / 3, 2000);
    // Larger than a tile (2 x 2 tiles): the same disc, centred, each tile
    // holding its quarter of the one perspective.
    const Image tiled = drawSmoothFrame(ViewControl(), 2 * TILE_SAMPLES_MAX / SUPERSAMPLING - 30,
                                        3 * TILE_SAMPLES_MAX / SUPERSAMPLING / 2, 800, 600, drawShell);
    int quarters[2][2] = {};
    for (int y = 0; y < tiled.height; ++y)
        for (int x = 0; x < tiled.width; ++x)
            quarters[2 * y / tiled.height][2 * x / tiled.width] += tiled.rgb[3 * (std::size_t(y) * tiled.width + x)] >= 128;
    const double scale = double(tiled.height) / 600;
    for (const auto& row : quarters)
        for (const int quarter : row)
            EXPECT_NEAR(quarter, white * scale * scale / 4, white * scale * scale / 100);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(readFrame(800, 600).image.rgb, shown.image.rgb);
    glGetDoublev(GL_PROJECTION_MATRIX, projectionAfter);
    EXPECT_TRUE(std::equal(projection, projection + 16, projectionAfter));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
}

// Where the glint's brightest pixel shows the sea: a direction from the
// planet's centre in the planet's own coordinates, from the depth there.
std::array<double, 3> glintDirection(const Frame& frame)
{
    int best = -1, bestX = 0, bestY = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (const unsigned char* p = pixelOf(frame, x, y); p[0] + p[1] + p[2] > best)
                std::tie(best, bestX, bestY) = std::tuple(p[0] + p[1] + p[2], x, y);
    EXPECT_GT(best, 3 * 235) << "a glint near white";
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glPushMatrix();
    glRotatef(currentPlanet->angle[0], 1, 0, 0);
    glRotatef(currentPlanet->angle[1], 0, 1, 0);
    glRotatef(currentPlanet->angle[2], 0, 0, 1);
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glPopMatrix();
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::array<double, 3> at{};
    gluUnProject(bestX + 0.5, 599 - bestY + 0.5, frame.depth[static_cast<size_t>(bestY) * 800 + bestX], model,
                 projection, viewport, &at[0], &at[1], &at[2]);
    const double length = std::sqrt(at[0] * at[0] + at[1] * at[1] + at[2] * at[2]);
    return {at[0] / length, at[1] / length, at[2] / length};
}

// The glint is the sun's mirror image in the sea for the eye where it is:
// as the camera comes nearer it shows on another part of the sea.
TEST_F(WindowContext, GlintMovesOverTheSeaAsTheCameraComesNearer)
{
    showPlanet(2, 6);
    std::copy_n(std::array{20.0f, 130.0f, 10.0f}.begin(), 3, currentPlanet->angle); // open sea in the sun
    std::array<double, 3> before = glintDirection(frameFrom(3.0));
    for (const double distance : {2.2, 1.7}) {
        const std::array<double, 3> now = glintDirection(frameFrom(distance));
        const double cosine = before[0] * now[0] + before[1] * now[1] + before[2] * now[2];
        EXPECT_LT(cosine, std::cos(2.0 * M_PI / 180)) << "moved by at least 2 degrees, at " << distance;
        before = now;
    }
}

// Along the disc's middle row: the day side's limb (left) has a glow of air
// outside it, brighter than the background; the night side's (right) none.
TEST_F(WindowContext, AirGlowsOutsideTheDaySideLimbAndNotTheNightSide)
{
    showPlanet(2, 5);
    for (const auto& angles : {std::array{0.0f, 0.0f, 0.0f}, std::array{20.0f, 130.0f, 10.0f}}) {
        std::copy_n(angles.begin(), 3, currentPlanet->angle);
        const Frame frame = frameFrom(3.0);
        int left = 0, right = 799; // the first pixels of the planet's surface from each side
        while (left < 400 && frame.depth[300 * 800 + left] == 1.0f)
            ++left;
        while (right > 400 && frame.depth[300 * 800 + right] == 1.0f)
            --right;
        int brightest = 0; // blue above the background's 38 just outside the day-side limb
        for (int x = left - 4; x < left; ++x)
            brightest = std::max(brightest, pixelOf(frame, x, 300)[2] - 38);
        EXPECT_GT(brightest, 25) << "turn " << angles[1];
        for (int x = right + 1; x < right + 12; ++x)
            EXPECT_TRUE(isBackground(pixelOf(frame, x, 300))) << "turn " << angles[1] << ", " << x - right << " outside";
    }
}

} // namespace
