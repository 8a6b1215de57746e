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

TEST(ResourcePath, PrefersTheWorkingDirectory)
{
    ScopedTempDir dir;
    EXPECT_EQ(resourcePath("res/land.vert"), "res/land.vert") << "unchanged when found nowhere";
    std::filesystem::create_directory("res");
    std::ofstream("res/land.vert") << "x";
    EXPECT_EQ(resourcePath("res/land.vert"), "res/land.vert");

    // Then the build tree's copy beside the program, then the installed one.
    const auto candidates = resourceCandidates("res/land.vert");
    ASSERT_EQ(candidates.size(), 3u);
    const auto program = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(candidates[1], (program.parent_path() / "res/land.vert").string());
    EXPECT_EQ(candidates[2], (program.parent_path().parent_path() / "share/orbivane/res/land.vert").string());
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
