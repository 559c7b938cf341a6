#include "platform/fs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "../support/private_mounts.h"
#include "platform/text.h"
#include "version.h"

namespace {

namespace stdfs = std::filesystem;

constexpr std::size_t anyLine = 1 << 20;

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = stdfs::temp_directory_path() /
                  (std::string("fs_test_") + info->name() + "_" + std::to_string(::getpid()));
        stdfs::remove_all(folder_);
        stdfs::create_directories(folder_);
    }
    void TearDown() override {
        fs::overrideModulePathForTesting("");
        stdfs::remove_all(folder_);
    }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // The names in the folder, sorted: temporary files would show here.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : stdfs::directory_iterator(folder_)) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    stdfs::path folder_;
};

TEST(RemoveFileSpec, DropsTheLastComponentButKeepsTheRoot) {
    EXPECT_EQ(fs::removeFileSpec("/usr/local/bin/Kelvane"), "/usr/local/bin");
    EXPECT_EQ(fs::removeFileSpec("/Kelvane"), "/");
    EXPECT_EQ(fs::removeFileSpec("/"), "/");
    EXPECT_EQ(fs::removeFileSpec("/opt/tool/"), "/opt/tool");
    EXPECT_EQ(fs::removeFileSpec("Kelvane"), "");
    EXPECT_EQ(fs::removeFileSpec(""), "");
    // 表 ends in 0x5C; only '/' separates on this platform.
    EXPECT_EQ(fs::removeFileSpec("/\x95\x5C/Sorrel"), "/\x95\x5C");
}

TEST_F(TempFolder, ModulePathCanBeStoodInFor) {
    const std::string real = fs::modulePath();
    ASSERT_FALSE(real.empty());
    EXPECT_TRUE(stdfs::equivalent(text::cp932ToUtf8(real), "/proc/self/exe"));
    fs::overrideModulePathForTesting("/opt/\x8A\xC4\x8E\x8B/Kelvane");  // 監視
    EXPECT_EQ(fs::modulePath(), "/opt/\x8A\xC4\x8E\x8B/Kelvane");
    fs::overrideModulePathForTesting("");
    EXPECT_EQ(fs::modulePath(), real);
}

// The per-user folder's environment, set for one test and put back after it.
class DataFolder : public TempFolder {
protected:
    void SetUp() override {
        TempFolder::SetUp();
        for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("XDG_DATA_HOME", path("data").c_str(), 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        TempFolder::TearDown();
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(DataFolder, AWritableProgramFolderKeepsTheFilesBesideTheProgram) {
    stdfs::create_directories(path("\u76e3\u8996"));  // 監視
    fs::overrideModulePathForTesting(path("\x8A\xC4\x8E\x8B/Kelvane"));
    EXPECT_EQ(fs::dataFolder("Kelvane"), path("\x8A\xC4\x8E\x8B"));
    fs::overrideModulePathForTesting(path("Kelvane"));
    EXPECT_EQ(fs::dataFolder("Kelvane", 4096), folder_.string());
    fs::overrideModulePathForTesting("");
    const std::string real = fs::modulePath();
    EXPECT_EQ(fs::dataFolder("Kelvane", 4096), real.substr(0, real.rfind('/')));
    EXPECT_FALSE(stdfs::exists(path("data")));
}

TEST_F(DataFolder, AFolderThatCannotBeWrittenSendsTheFilesToThePerUserFolder) {
    // A folder that is not there stands for one the user may not write.
    fs::overrideModulePathForTesting(path("absent/Sorrel"));
    EXPECT_EQ(fs::dataFolder("Sorrel"), path("data/Sorrel"));
    struct stat status {};
    ASSERT_EQ(::stat(path("data/Sorrel").c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_NE(fs::TextFile::open(path("data/Sorrel/Sorrel.ini"), fs::OpenMode::Truncate), nullptr);

    // Without XDG_DATA_HOME, or with a relative one, the base is under HOME.
    ::setenv("HOME", path("home/").c_str(), 1);
    for (const char* dataHome : {"relative/data", ""}) {
        ::setenv("XDG_DATA_HOME", dataHome, 1);
        EXPECT_EQ(fs::dataFolder("Kelvane"), path("home/.local/share/Kelvane"));
    }
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(fs::dataFolder("Kelvane"), path("home/.local/share/Kelvane"));
    EXPECT_TRUE(stdfs::is_directory(path("home/.local/share/Kelvane")));
}

TEST_F(DataFolder, AFolderThatCp932CannotNameIsNeverUsed) {
    // A byte pair that is no CP932 character: the file system's folder is
    // named with U+FFFD, which is no folder the program could name again.
    const std::string unnamable = path("\x85\x40");
    stdfs::create_directories(path("\uFFFD"));
    fs::overrideModulePathForTesting(unnamable + "/Kelvane");
    EXPECT_EQ(fs::dataFolder("Kelvane"), path("data/Kelvane"));

    // A per-user base with a letter that CP932 lacks is no base: the files
    // stay where their opens fail, and no folder with "?" is made.
    ::setenv("XDG_DATA_HOME", path("d\u00e9").c_str(), 1);
    fs::overrideModulePathForTesting(path("absent/Sorrel"));
    EXPECT_EQ(fs::dataFolder("Sorrel"), path("absent"));
    EXPECT_FALSE(stdfs::exists(path("d?")));
    // Neither folder can be named: none is used.
    fs::overrideModulePathForTesting(unnamable + "/Sorrel");
    EXPECT_EQ(fs::dataFolder("Sorrel"), "");
    EXPECT_EQ(names(), (std::vector<std::string>{"data", "\uFFFD"}));
}

TEST_F(DataFolder, AFolderThatDoesNotFitIsEmptyNeverCut) {
    const std::string fits = path(std::string(254 - folder_.string().size(), 'a'));
    ASSERT_EQ(fits.size(), 255u);
    stdfs::create_directories(fits);
    fs::overrideModulePathForTesting(fits + "/Kelvane");
    EXPECT_EQ(fs::dataFolder("Kelvane"), fits);
    const std::string tooLong = fits + "b";
    stdfs::create_directories(tooLong);
    fs::overrideModulePathForTesting(tooLong + "/Kelvane");
    EXPECT_EQ(fs::dataFolder("Kelvane"), "");
    EXPECT_EQ(fs::dataFolder("Kelvane", 256), tooLong);

    // The per-user folder obeys the same limit, and is not made then.
    const std::string longBase = path(std::string(247 - folder_.string().size(), 'c'));
    ::setenv("XDG_DATA_HOME", longBase.c_str(), 1);
    fs::overrideModulePathForTesting(path("absent/Kelvane"));
    EXPECT_EQ(fs::dataFolder("Kelvane"), "");
    EXPECT_FALSE(stdfs::exists(longBase));
    EXPECT_EQ(fs::dataFolder("Sorrel"), longBase + "/Sorrel");
}

TEST_F(TempFolder, OnlyTheProgramItselfCarriesTheVersion) {
    const auto own = fs::readFileVersion(fs::modulePath());
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->major, MONITOR_VERSION_MAJOR);
    EXPECT_EQ(own->minor, MONITOR_VERSION_MINOR);
    EXPECT_EQ(own->build, MONITOR_VERSION_BUILD);
    EXPECT_EQ(own->revision, MONITOR_VERSION_REVISION);
    put(path("other"), "x");
    EXPECT_FALSE(fs::readFileVersion(path("other")).has_value());
    EXPECT_FALSE(fs::readFileVersion("").has_value());
    fs::overrideModulePathForTesting(path("Kelvane"));
    EXPECT_TRUE(fs::readFileVersion(path("Kelvane")).has_value());
}

TEST_F(TempFolder, WritesEndLinesWithCrLf) {
    auto file = fs::TextFile::open(path("log.csv"), fs::OpenMode::Truncate);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->write("a,b\n"));
    EXPECT_TRUE(file->write("\xE3\x81\n\nend"));
    EXPECT_EQ(file->size(), 14);
    EXPECT_FALSE(file->failed());
    EXPECT_TRUE(file->close());
    EXPECT_EQ(contents(path("log.csv")), "a,b\r\n\xE3\x81\r\n\r\nend");
}

TEST_F(TempFolder, TruncateAndAppendModes) {
    put(path("f"), "old contents\r\n");
    auto append = fs::TextFile::open(path("f"), fs::OpenMode::Append);
    ASSERT_NE(append, nullptr);
    EXPECT_TRUE(append->write("more\n"));
    append->close();
    EXPECT_EQ(contents(path("f")), "old contents\r\nmore\r\n");

    auto truncate = fs::TextFile::open(path("f"), fs::OpenMode::Truncate);
    ASSERT_NE(truncate, nullptr);
    EXPECT_EQ(truncate->size(), 0);
    truncate->close();
    EXPECT_EQ(contents(path("f")), "");

    auto created = fs::TextFile::open(path("new"), fs::OpenMode::Append);
    ASSERT_NE(created, nullptr);
    created->close();
    EXPECT_TRUE(stdfs::exists(path("new")));
}

TEST_F(TempFolder, ReadsLinesWithoutTheirEnds) {
    put(path("in"), "one\r\ntwo\n\r\n\nlast");
    auto file = fs::TextFile::open(path("in"), fs::OpenMode::Read);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->readLine(anyLine), "one");
    EXPECT_EQ(file->readLine(anyLine), "two");
    EXPECT_EQ(file->readLine(anyLine), "");
    EXPECT_EQ(file->readLine(anyLine), "");
    EXPECT_EQ(file->readLine(anyLine), "last");
    EXPECT_EQ(file->readLine(anyLine), std::nullopt);
    EXPECT_EQ(file->readLine(anyLine), std::nullopt);
    EXPECT_FALSE(file->failed());
    EXPECT_TRUE(file->close());
}

TEST_F(TempFolder, ReadsLinesLongerThanOneBufferUpToTheirBound) {
    const std::string longLine(10000, 'q');
    put(path("in"), longLine + "\r\nshort\r\n" + longLine + "q\r\n");
    auto file = fs::TextFile::open(path("in"), fs::OpenMode::Read);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->readLine(10000), longLine);
    EXPECT_EQ(file->readLine(10000), "short");
    EXPECT_FALSE(file->failed());
    EXPECT_EQ(file->readLine(10000), std::nullopt);
    EXPECT_TRUE(file->failed());
}

TEST_F(TempFolder, ReplacingWritesTheWholeFileAndLeavesNothingElse) {
    put(path("set"), "old contents\r\n");
    ASSERT_EQ(::chmod(path("set").c_str(), 0640), 0);
    EXPECT_TRUE(fs::replaceTextFile(path("set"), "a\nb\n"));
    EXPECT_EQ(contents(path("set")), "a\r\nb\r\n");
    struct stat status {};
    ASSERT_EQ(::stat(path("set").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);

    EXPECT_TRUE(fs::replaceTextFile(path("\x8A\xC4\x8E\x8B.ini"), "/x/a.set"));  // 監視.ini
    EXPECT_EQ(contents(path("監視.ini")), "/x/a.set");
    // A symbolic link stays; the file behind it is replaced.
    stdfs::create_symlink("set", path("link"));
    EXPECT_TRUE(fs::replaceTextFile(path("link"), "via link\n"));
    EXPECT_TRUE(stdfs::is_symlink(path("link")));
    EXPECT_EQ(contents(path("set")), "via link\r\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"link", "set", "監視.ini"}));
}

TEST_F(TempFolder, AReplacementThatCannotBeMadeLeavesTheFileAsItWas) {
    put(path("held"), "keep me\r\n");
    {
        auto holder = fs::TextFile::open(path("held"), fs::OpenMode::Read);
        ASSERT_NE(holder, nullptr);
        EXPECT_FALSE(fs::replaceTextFile(path("held"), "new\n"));
    }
    EXPECT_FALSE(fs::replaceTextFile(path("no/such/folder/x"), "new\n"));
    EXPECT_FALSE(fs::replaceTextFile(folder_.string(), "new\n"));
    EXPECT_FALSE(fs::replaceTextFile("", "new\n"));
    // Names that would become another file's: a byte pair that is no CP932
    // character, and a NUL that would end the name early.
    EXPECT_FALSE(fs::replaceTextFile(path("bad\x85\x40"), "new\n"));
    EXPECT_FALSE(fs::replaceTextFile(path("held") + std::string(1, '\0') + "x", "new\n"));
    EXPECT_EQ(contents(path("held")), "keep me\r\n");
    EXPECT_EQ(names(), std::vector<std::string>{"held"});
}

TEST_F(TempFolder, AFullDiskOrAReadOnlyFolderLeavesTheOldFileWhole) {
    private_mounts::run([this] {
        ASSERT_TRUE(private_mounts::mountTmpfs(folder_.string(), 64 * 1024));
        put(path("set"), "old\r\n");
        ASSERT_TRUE(private_mounts::fill(path("filler")));
        // Two pages: more than the page the old file would free if it were cut.
        EXPECT_FALSE(fs::replaceTextFile(path("set"), std::string(6000, 'n')));
        EXPECT_EQ(contents(path("set")), "old\r\n");
        EXPECT_EQ(names(), (std::vector<std::string>{"filler", "set"}));

        stdfs::remove(path("filler"));
        ASSERT_TRUE(private_mounts::makeReadOnly(folder_.string()));
        EXPECT_FALSE(fs::replaceTextFile(path("set"), "new\n"));
        EXPECT_EQ(contents(path("set")), "old\r\n");
    });
}

TEST_F(TempFolder, WrongDirectionFails) {
    put(path("in"), "x\r\n");
    auto reader = fs::TextFile::open(path("in"), fs::OpenMode::Read);
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->write("y\n"));
    EXPECT_TRUE(reader->failed());
    EXPECT_FALSE(reader->close());
    EXPECT_EQ(contents(path("in")), "x\r\n");
}

TEST_F(TempFolder, MissingFilesAndFoldersDoNotOpen) {
    EXPECT_EQ(fs::TextFile::open(path("absent"), fs::OpenMode::Read), nullptr);
    EXPECT_EQ(fs::TextFile::open(path("no/such/folder/x"), fs::OpenMode::Truncate), nullptr);
    EXPECT_EQ(fs::TextFile::open(folder_.string(), fs::OpenMode::Read), nullptr);
    EXPECT_EQ(fs::TextFile::open(folder_.string(), fs::OpenMode::Append), nullptr);
    EXPECT_EQ(fs::TextFile::open("", fs::OpenMode::Read), nullptr);
}

TEST_F(TempFolder, AnOpenFileShutsOutEveryOtherOpenerInThisProcess) {
    put(path("held"), "keep me\r\n");
    auto holder = fs::TextFile::open(path("held"), fs::OpenMode::Read);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(fs::TextFile::open(path("held"), fs::OpenMode::Read), nullptr);
    EXPECT_EQ(fs::TextFile::open(path("held"), fs::OpenMode::Append), nullptr);
    // The refused truncation must not have emptied the file.
    EXPECT_EQ(fs::TextFile::open(path("held"), fs::OpenMode::Truncate), nullptr);
    EXPECT_EQ(contents(path("held")), "keep me\r\n");
    EXPECT_EQ(holder->readLine(anyLine), "keep me");
    holder->close();
    auto next = fs::TextFile::open(path("held"), fs::OpenMode::Truncate);
    EXPECT_NE(next, nullptr);
}

TEST_F(TempFolder, ReleasedWhenTheFileObjectGoes) {
    {
        auto holder = fs::TextFile::open(path("f"), fs::OpenMode::Append);
        ASSERT_NE(holder, nullptr);
    }
    EXPECT_NE(fs::TextFile::open(path("f"), fs::OpenMode::Append), nullptr);
}

// The child opens the file and reports through its exit status whether it got it.
int openInChildProcess(const std::string& path) {
    const pid_t child = ::fork();
    if (child == 0) {
        auto file = fs::TextFile::open(path, fs::OpenMode::Append);
        ::_exit(file ? 0 : 3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(TempFolder, AnOpenFileShutsOutAnotherProcess) {
    auto holder = fs::TextFile::open(path("shared"), fs::OpenMode::Append);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(openInChildProcess(path("shared")), 3);
    holder->close();
    EXPECT_EQ(openInChildProcess(path("shared")), 0);
}

TEST_F(TempFolder, AFileHeldByAnotherProcessCannotBeOpened) {
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(release[1]);
        auto file = fs::TextFile::open(path("shared"), fs::OpenMode::Truncate);
        const char got = file ? 'y' : 'n';
        (void)!::write(ready[1], &got, 1);
        char wait = 0;
        (void)!::read(release[0], &wait, 1);
        ::_exit(0);
    }
    char got = 0;
    ASSERT_EQ(::read(ready[0], &got, 1), 1);
    EXPECT_EQ(got, 'y');
    EXPECT_EQ(fs::TextFile::open(path("shared"), fs::OpenMode::Read), nullptr);
    EXPECT_FALSE(fs::replaceTextFile(path("shared"), "taken\n"));
    EXPECT_EQ(contents(path("shared")), "");
    ::close(release[1]);
    ::waitpid(child, nullptr, 0);
    EXPECT_NE(fs::TextFile::open(path("shared"), fs::OpenMode::Read), nullptr);
    for (int fd : {ready[0], ready[1], release[0]}) ::close(fd);
}

TEST_F(TempFolder, PathsLongerThan255BytesAndJapaneseNames) {
    std::string deep = folder_.string();
    for (int i = 0; i < 6; ++i) deep += "/" + std::string(60, static_cast<char>('a' + i));
    stdfs::create_directories(deep);
    const std::string cp932Path = deep + "/\x8A\xC4\x8E\x8B.csv";  // 監視.csv
    ASSERT_GT(cp932Path.size(), 255u);
    auto file = fs::TextFile::open(cp932Path, fs::OpenMode::Truncate);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->write("x\n"));
    EXPECT_TRUE(file->close());
    EXPECT_EQ(contents(deep + "/監視.csv"), "x\r\n");
}

TEST_F(TempFolder, StandardStreamDescriptorsAreNotHandedOut) {
    const int savedInput = ::dup(0);
    ASSERT_GE(savedInput, 0);
    ::close(0);
    auto file = fs::TextFile::open(path("f"), fs::OpenMode::Truncate);
    const bool opened = file != nullptr;
    const bool inputStillClosed = ::fcntl(0, F_GETFD) == -1;
    file.reset();
    ::dup2(savedInput, 0);
    ::close(savedInput);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(inputStillClosed);
}

}  // namespace
