#include "ResourcePath.h"
#include "Screenshot.h"
#include "TestSupport.h"
#include "TextFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

TEST(TextFile, ReadsWholeFilesWithLineEndsAsLf)
{
    ScopedTempDir dir;
    std::ofstream("crlf.txt", std::ios::binary) << "line one\r\nline two\r\nlast";
    const auto text = readTextFile("crlf.txt");
    ASSERT_TRUE(text);
    EXPECT_STREQ(text.get(), "line one\nline two\nlast");

    std::ofstream("plain.glsl", std::ios::binary) << "void main() {}\n";
    EXPECT_STREQ(readTextFile("plain.glsl").get(), "void main() {}\n");
}

TEST(TextFile, NothingToReadGivesNull)
{
    ScopedTempDir dir;
    std::ofstream("empty.txt");
    std::filesystem::create_directory("folder");
    EXPECT_EQ(readTextFile("empty.txt"), nullptr);
    EXPECT_EQ(readTextFile("missing.txt"), nullptr);
    EXPECT_EQ(readTextFile("folder"), nullptr);
}

// Files that go together come from one folder: the first that holds them
// all, never a file missing from one taken alone from the next.
TEST(ResourcePath, EveryFileFromTheFirstFolderHoldingThemAll)
{
    ScopedTempDir dir;
    namespace fs = std::filesystem;
    const std::vector<std::string> names{"res/land.vert", "res/land.frag"};
    const std::vector<std::string> folders{"", "built", "installed"};
    for (const std::string folder : {"built", "installed"})
        for (const std::string& name : names) {
            fs::create_directories(fs::path(folder) / "res");
            std::ofstream(fs::path(folder) / name) << "x";
        }
    fs::create_directory("res");
    std::ofstream("res/land.vert") << "x"; // the user's, without its pair
    const std::vector<std::string> built{"built/res/land.vert", "built/res/land.frag"};
    EXPECT_EQ(resourcePaths(names, folders), built);
    std::ofstream("res/land.frag") << "x";
    EXPECT_EQ(resourcePaths(names, folders), names) << "the working directory's, once it holds both";
    fs::remove("built/res/land.vert");
    fs::remove("res/land.frag");
    const std::vector<std::string> installed{"installed/res/land.vert", "installed/res/land.frag"};
    EXPECT_EQ(resourcePaths(names, folders), installed);
    fs::remove("installed/res/land.frag");
    EXPECT_EQ(resourcePaths(names, folders), names) << "unchanged when no folder holds them all";

    // By default: the working directory, beside the program, then installed.
    const auto program = fs::read_symlink("/proc/self/exe");
    const std::vector<std::string> defaults{"", program.parent_path().string(),
                                            (program.parent_path().parent_path() / "share/orbivane").string()};
    EXPECT_EQ(resourceFolders(), defaults);
}

TEST(Png, RoundTripAndUnwritablePath)
{
    ScopedTempDir dir;
    Image image;
    image.width = 3;
    image.height = 2;
    image.rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    std::string error;
    ASSERT_TRUE(writePng(SaveTarget::replacing("out.png"), image, "seed 42", error)) << error;
    Image back;
    ASSERT_TRUE(readPng("out.png", back));
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.rgb, image.rgb);
    EXPECT_NE(readFile("out.png").find("seed 42"), std::string::npos);

    EXPECT_FALSE(writePng(SaveTarget::replacing("no/such/folder/out.png"), image, "", error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(readPng("missing.png", back));
}

} // namespace
