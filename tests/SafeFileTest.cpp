#include "SafeFile.h"
#include "TestSupport.h"

#include <algorithm>
#include <fcntl.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

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

// The temporary file kinds: unnamed (O_TMPFILE) and the named fallback.
struct TempKind { const char* name; bool namedOnly; };
constexpr TempKind TEMP_KINDS[] = {{"unnamed", false}, {"named", true}};

// Switches the writer to the given kind while it lives.
class UsingTempKind {
public:
    explicit UsingTempKind(const TempKind& kind) { useNamedTemporaryFilesOnly(kind.namedOnly); }
    ~UsingTempKind() { useNamedTemporaryFilesOnly(false); }
};

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
    for (const TempKind& kind : TEMP_KINDS)
    for (const auto& [what, error] : failures) {
        const UsingTempKind using_(kind);
        SafeFile file(SaveTarget::replacing("keep.txt"));
        file.write(std::string(1 << 20, 'x'));
        if (error == 0)
            continue; // destroyed without a commit
        file.fail(error);
        EXPECT_FALSE(file.commit()) << what << ", " << kind.name;
        EXPECT_EQ(file.failure, error) << what << ", " << kind.name;
    }
    EXPECT_EQ(readFile("keep.txt"), "old");
    EXPECT_EQ(entries(), std::vector<std::string>{"keep.txt"}) << "no temporary file is left";
}

TEST(SafeFile, NumberedNamesSkipAnythingThatExists)
{
    for (const TempKind& kind : TEMP_KINDS) {
        ScopedTempDir dir;
        const UsingTempKind using_(kind);
        std::ofstream("shot-1.png") << "first";
        fs::create_symlink("nowhere.png", "shot-2.png"); // dangling: taken all the same
        const SaveTarget target = SaveTarget::numbered("shot-", ".png");
        EXPECT_EQ(target.name(), "shot-3.png");
        std::string a, b;
        ASSERT_TRUE(save(target, "a", &a)) << kind.name;
        ASSERT_TRUE(save(target, "b", &b)) << kind.name;
        EXPECT_EQ(a, "shot-3.png") << kind.name;
        EXPECT_EQ(b, "shot-4.png") << kind.name;
        EXPECT_EQ(readFile("shot-1.png"), "first");
        EXPECT_FALSE(fs::exists("nowhere.png"));
        EXPECT_EQ(readFile(b), "b");
        EXPECT_EQ(entries(), (std::vector<std::string>{"shot-1.png", "shot-2.png", "shot-3.png", "shot-4.png"}));
    }
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

TEST(SafeFile, ASignalThatEndsTheProcessMidWriteLeavesOnlyTheOldFile)
{
    ScopedTempDir dir;
    std::ofstream("keep.txt") << "old";
    const int signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGUSR1, SIGALRM, SIGTERM, SIGKILL};
    for (const TempKind& kind : TEMP_KINDS)
        for (const int signal : signals) {
            if (signal == SIGKILL && kind.namedOnly)
                continue; // nothing can remove a named file then
            const UsingTempKind using_(kind);
            const pid_t child = fork();
            if (child == 0) {
                const struct rlimit noCore {0, 0};
                setrlimit(RLIMIT_CORE, &noCore);
                std::signal(signal, SIG_DFL);
                SafeFile file(SaveTarget::replacing("keep.txt"));
                file.write(std::string(1 << 20, 'x')); // past the buffer: on disk
                raise(signal);
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << strsignal(signal) << ", " << kind.name;
            EXPECT_EQ(entries(), std::vector<std::string>{"keep.txt"}) << strsignal(signal) << ", " << kind.name;
            EXPECT_EQ(readFile("keep.txt"), "old");
        }
}

// SIGKILL mid-write leaves a named temporary file; the next save of that
// name removes it, but not one a running save holds (its lock), another
// name's, a link or a pipe.
TEST(SafeFile, AHiddenFileAKilledSaveLeftGoesWithTheNextSaveOfThatName)
{
    ScopedTempDir dir;
    std::ofstream("keep.txt") << "old";
    {
        const UsingTempKind using_(TEMP_KINDS[1]);
        const pid_t child = fork();
        if (child == 0) {
            SafeFile file(SaveTarget::replacing("keep.txt"));
            file.write(std::string(1 << 20, 'x'));
            raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
    }
    ASSERT_EQ(entries().size(), 2u) << "one left behind beside keep.txt";
    std::ofstream(".keep.txt.held01") << "a running save's";
    const int held = open(".keep.txt.held01", O_WRONLY | O_CLOEXEC);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(fcntl(held, F_OFD_SETLK, &lock), 0);
    std::ofstream(".other.txt.abc123") << "another name's";
    std::ofstream(".keep.txt.abc12") << "not of the shape";
    fs::create_symlink("keep.txt", ".keep.txt.link01");
    ASSERT_EQ(mkfifo(".keep.txt.pipe01", 0600), 0);
    const UsingTempKind named(TEMP_KINDS[1]);
    testing::internal::CaptureStdout();
    SafeFile running(SaveTarget::replacing("keep.txt")); // its hidden file is held while it lives
    running.write("the running save's");
    EXPECT_TRUE(save(SaveTarget::replacing("keep.txt"), "new"));
    const std::string out = testing::internal::GetCapturedStdout();
    close(held);
    EXPECT_TRUE(running.commit()) << failureText(running.failure);
    EXPECT_EQ(readFile("keep.txt"), "the running save's");
    EXPECT_NE(out.find("Removed 1 hidden file that an earlier save of \"keep.txt\" left behind when it was killed."),
              std::string::npos) << out;
    EXPECT_EQ(entries(), (std::vector<std::string>{".keep.txt.abc12", ".keep.txt.held01", ".keep.txt.link01",
                                                   ".keep.txt.pipe01", ".other.txt.abc123", "Orbivane.log",
                                                   "keep.txt"}));
}

TEST(SafeFile, AReplacedFileKeepsItsModeAndOwnerAndItsOtherNamesAreLogged)
{
    struct Case { unsigned mode; int links; const char* record; }; // record: the log's, or none
    const Case cases[] = {{0600, 1, ""},
                          {0640, 2, "\"p.ply\" is a new file now; its 1 other name (hard link) keeps the old planet."},
                          {0604, 3, "\"p.ply\" is a new file now; its 2 other names (hard links) keep the old planet."}};
    for (const TempKind& kind : TEMP_KINDS)
        for (const Case& c : cases) {
            ScopedTempDir dir;
            const UsingTempKind using_(kind);
            std::ofstream("p.ply") << "old";
            ASSERT_EQ(chmod("p.ply", c.mode), 0);
            const bool root = geteuid() == 0;
            ASSERT_TRUE(!root || chown("p.ply", 1234, 5678) == 0);
            for (int link = 1; link < c.links; ++link)
                fs::create_hard_link("p.ply", std::to_string(link) + ".ply");
            ASSERT_TRUE(save(SaveTarget::replacing("p.ply"), "new")) << kind.name;
            struct stat status;
            ASSERT_EQ(stat("p.ply", &status), 0);
            EXPECT_EQ(status.st_mode & 07777, c.mode) << kind.name;
            EXPECT_TRUE(!root || (status.st_uid == 1234 && status.st_gid == 5678)) << kind.name;
            for (int link = 1; link < c.links; ++link)
                EXPECT_EQ(readFile(std::to_string(link) + ".ply"), "old");
            const std::string log = fs::exists("Orbivane.log") ? readFile("Orbivane.log") : "";
            EXPECT_EQ(log.find(*c.record ? c.record : "is a new file now") != std::string::npos, *c.record != 0) << log;
        }
}

TEST(SafeFile, AnotherUsersLinkInAStickySharedFolderIsNotFollowed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link and a folder to other users";
    struct Case { const char* what; mode_t folderMode; uid_t folderOwner, linkOwner; bool followed; };
    const uid_t other = 4321;
    const Case cases[] = {{"another user's link in a sticky 1777 folder", 01777, 0, other, false},
                          {"the runner's link there", 01777, other, 0, true},
                          {"the folder owner's link there", 01777, other, other, true},
                          {"another user's link in a 0777 folder", 0777, 0, other, true}};
    for (const Case& c : cases) {
        ScopedTempDir dir;
        std::ofstream("victim") << "root only";
        fs::create_directory("shared");
        fs::create_symlink(dir.path() + "/victim", "shared/link");
        ASSERT_EQ(lchown("shared/link", c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(chown("shared", c.folderOwner, c.folderOwner), 0);
        ASSERT_EQ(chmod("shared", c.folderMode), 0);
        SafeFile file(SaveTarget::replacing("shared/link"));
        file.write("planted");
        EXPECT_EQ(file.commit(), c.followed) << c.what;
        EXPECT_EQ(readFile("victim"), c.followed ? "planted" : "root only") << c.what;
        EXPECT_EQ(c.followed ? "" : failureText(file.failure),
                  c.followed ? "" : "not following a symlink another user owns in a sticky world-writable folder");
    }
}

// A link planted on the way to the file, not only at its end, is judged as
// one at the end would be: shared/dir -> private, owned by another user in a
// sticky 1777 folder, takes no save into the root-only folder.
TEST(SafeFile, ALinkOnTheWayIsFollowedOnlyWhereOneAtTheEndWouldBe)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link to another user";
    struct Case { const char* what; uid_t linkOwner; mode_t sharedMode; bool followed; };
    const Case cases[] = {{"another user's link in a sticky 1777 folder", 65534, 01777, false},
                          {"the runner's own link there", 0, 01777, true},
                          {"another user's link in a 0777 folder", 65534, 0777, true}};
    const std::pair<const char*, SaveTarget> targets[] = {
        {"replacing", SaveTarget::replacing("shared/dir/victim")},
        {"creating", SaveTarget::replacing("shared/dir/./new")},
        {"through the link at the end", SaveTarget::replacing("shared/end")},
        {"numbered", SaveTarget::numbered("shared/dir/n-", ".png")}};
    for (const Case& c : cases)
        for (const auto& [how, target] : targets) {
            ScopedTempDir dir;
            fs::create_directories("private");
            chmod("private", 0700);
            std::ofstream("private/victim") << "root only";
            fs::create_directory("shared");
            chmod("shared", c.sharedMode);
            fs::create_symlink(dir.path() + "/private", "shared/dir");
            fs::create_symlink("dir/victim", "shared/end"); // the runner's: refused only for the link before it
            ASSERT_EQ(lchown("shared/dir", c.linkOwner, c.linkOwner), 0);
            SafeFile file(target);
            file.write("planted");
            EXPECT_EQ(file.commit(), c.followed) << c.what << ", " << how;
            fs::current_path("private");
            const std::vector<std::string> inPrivate = entries();
            fs::current_path(dir.path());
            if (c.followed)
                continue;
            EXPECT_EQ(inPrivate, std::vector<std::string>{"victim"}) << c.what << ", " << how;
            EXPECT_EQ(readFile("private/victim"), "root only") << c.what << ", " << how;
            EXPECT_EQ(failureText(file.failure),
                      "not following a symlink another user owns in a sticky world-writable folder") << how;
        }
}

// The attribute that holds a POSIX access control list, and a list with
// owner rw, user 65534 `nobody` (nothing: shut out), group r, mask r|nobody,
// other none.
constexpr const char* ACL_ATTRIBUTE = "system.posix_acl_access";
std::string shutOutList(std::uint16_t nobody = 0)
{
    const auto entry = [](std::uint16_t tag, std::uint16_t permissions, std::uint32_t id) {
        std::string bytes(8, '\0');
        std::memcpy(&bytes[0], &tag, 2);
        std::memcpy(&bytes[2], &permissions, 2);
        std::memcpy(&bytes[4], &id, 4);
        return bytes;
    };
    const std::uint32_t version = 2;
    const std::uint32_t none = 0xFFFFFFFF;
    return std::string(reinterpret_cast<const char*>(&version), 4) + entry(0x01, 6, none) + entry(0x02, nobody, 65534) +
           entry(0x04, 4, none) + entry(0x10, std::uint16_t(4 | nobody), none) + entry(0x20, 0, none);
}

std::string accessList(const std::string& path)
{
    char bytes[256];
    const ssize_t length = getxattr(path.c_str(), ACL_ATTRIBUTE, bytes, sizeof bytes);
    return length < 0 ? "" : std::string(bytes, std::size_t(length));
}

TEST(SafeFile, AReplacedFileKeepsItsAccessControlList)
{
    for (const TempKind& kind : TEMP_KINDS) {
        ScopedTempDir dir;
        const UsingTempKind using_(kind);
        std::ofstream("p.ply") << "old";
        const std::string list = shutOutList();
        if (setxattr("p.ply", ACL_ATTRIBUTE, list.data(), list.size(), 0) != 0)
            GTEST_SKIP() << "the file system of " << dir.path() << " has no access control lists: " << strerror(errno);
        ASSERT_TRUE(save(SaveTarget::replacing("p.ply"), "new")) << kind.name;
        EXPECT_EQ(accessList("p.ply"), list) << kind.name << ": user 65534 is still shut out";
        struct stat status;
        ASSERT_EQ(stat("p.ply", &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0640u) << kind.name;
        EXPECT_EQ(readFile("p.ply"), "new");

        // The folder's default list, which gives nobody rw, is not given to
        // the new file where the old one had no list.
        std::ofstream("q.ply") << "old";
        ASSERT_EQ(chmod("q.ply", 0640), 0);
        const std::string grant = shutOutList(6);
        ASSERT_EQ(setxattr(".", "system.posix_acl_default", grant.data(), grant.size(), 0), 0);
        ASSERT_TRUE(save(SaveTarget::replacing("q.ply"), "new")) << kind.name;
        EXPECT_EQ(accessList("q.ply"), "") << kind.name;
    }
}

// Where the new file cannot take the old one's list (a ramfs has none),
// group and others lose every right and the log says so.
TEST(OldFile, AListThatCannotBeCarriedOverLeavesTheOwnerAlone)
{
    ScopedTempDir dir;
    fs::create_directory("ram");
    if (geteuid() != 0 || mount("ramfs", "ram", "ramfs", 0, nullptr) != 0)
        GTEST_SKIP() << "needs root to mount a ramfs";
    OldFile old;
    old.exists = true;
    old.mode = 0644;
    old.acl = shutOutList();
    const int fd = open("ram/p.ply", O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    old.giveTo(fd, "ram/p.ply");
    struct stat status;
    EXPECT_EQ(fstat(fd, &status), 0);
    close(fd);
    umount2((dir.path() + "/ram").c_str(), MNT_DETACH);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_NE(readFile("Orbivane.log").find("\"ram/p.ply\" is open to its owner only: the old file's access control list "
                                            "could not be carried over (Operation not supported)."),
              std::string::npos);
}

} // namespace
