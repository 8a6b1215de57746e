#include "SafeFile.h"
#include "TestSupport.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Every entry of the working directory, links included, by name.
std::vector<std::string> entries()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool save(const SaveTarget& target, const std::string& text, std::string* written = nullptr)
{
    SafeFile file(target);
    file.write(text);
    const bool ok = file.commit();
    if (ok && written)
        *written = file.finalPath;
    return ok;
}

TEST(SafeFile, NothingButTheOldFileRemainsWhenAWriteIsNotCommitted)
{
    ScopedTempDir dir;
    std::ofstream("keep.txt") << "old";
    const std::pair<const char*, int> failures[] = {{"dropped", 0}, {"out of memory", ENOMEM}, {"disk full", ENOSPC}};
    for (const auto& [what, error] : failures) {
        SafeFile file(SaveTarget::replacing("keep.txt"));
        file.write(std::string(1 << 20, 'x'));
        if (error == 0)
            continue; // destroyed without a commit
        file.fail(error);
        EXPECT_FALSE(file.commit()) << what;
        EXPECT_EQ(file.failure, error) << what;
    }
    EXPECT_EQ(readFile("keep.txt"), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"keep.txt"}) << "no temporary file is left";
}

TEST(SafeFile, NumberedNamesSkipAnythingThatExists)
{
    ScopedTempDir dir;
    std::ofstream("shot-1.png") << "first";
    fs::create_symlink("nowhere.png", "shot-2.png"); // dangling: taken all the same
    const SaveTarget target = SaveTarget::numbered("shot-", ".png");
    EXPECT_EQ(target.name(), "shot-3.png");
    std::string a, b;
    ASSERT_TRUE(save(target, "a", &a));
    ASSERT_TRUE(save(target, "b", &b));
    EXPECT_EQ(a, "shot-3.png");
    EXPECT_EQ(b, "shot-4.png");
    EXPECT_EQ(readFile("shot-1.png"), "first");
    EXPECT_FALSE(fs::exists("nowhere.png"));
    EXPECT_EQ(readFile(b), "b");
}

TEST(SafeFile, NewFilesGetTheUmaskModeAndTheSignalsTheirOwnHandlersBack)
{
    ScopedTempDir dir;
    const mode_t previous = umask(027);
    ASSERT_TRUE(save(SaveTarget::replacing("a.txt"), "a"));
    umask(previous);
    struct stat status;
    ASSERT_EQ(stat("a.txt", &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);

    // Ctrl-C ignored stays ignored while a file is written; at its default it
    // is the default again afterwards.
    for (auto disposition : {SIG_IGN, SIG_DFL}) {
        const auto before = std::signal(SIGINT, disposition);
        {
            SafeFile file(SaveTarget::replacing("b.txt"));
            const auto during = std::signal(SIGINT, SIG_DFL);
            std::signal(SIGINT, during);
            EXPECT_EQ(during == disposition, disposition == SIG_IGN);
        }
        EXPECT_EQ(std::signal(SIGINT, before), disposition);
    }
}

} // namespace
