#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;
using platform::readWholeFile;
using platform::writeFileAtomically;

namespace {

class AtomicFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "morvex-atomic-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    static void put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    static std::string get(const fs::path& path)
    {
        std::string bytes;
        std::error_code ec;
        EXPECT_TRUE(readWholeFile(path, bytes, ec)) << path << ": " << ec.message();
        return bytes;
    }
    static std::vector<std::string> namesIn(const fs::path& dir)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static unsigned permissionsOf(const fs::path& path)
    {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return st.st_mode & 0777u;
    }

    fs::path dir_;
};

TEST_F(AtomicFile, ReplacesContentAndKeepsPermissionBits)
{
    const fs::path path = dir_ / "data.ini";
    for (const fs::perms perms : {fs::perms(0640), fs::perms(0600), fs::perms(0664)}) {
        put(path, "old");
        fs::permissions(path, perms);
        std::error_code ec;
        ASSERT_TRUE(writeFileAtomically(path, "new\r\n", ec)) << ec.message();
        EXPECT_EQ(get(path), "new\r\n");
        EXPECT_EQ(permissionsOf(path), static_cast<unsigned>(perms));
    }
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"data.ini"});
}

TEST_F(AtomicFile, NewFileIs0644WhateverTheUmask)
{
    const mode_t old = ::umask(077);
    std::error_code ec;
    const bool ok = writeFileAtomically(dir_ / "new.ini", "x", ec);
    ::umask(old);
    ASSERT_TRUE(ok) << ec.message();
    EXPECT_EQ(get(dir_ / "new.ini"), "x");
    EXPECT_EQ(permissionsOf(dir_ / "new.ini"), 0644u);
}

TEST_F(AtomicFile, CrashBeforeRenameLeavesOldFileAndNoTemp)
{
    const fs::path path = dir_ / "data.ini";
    put(path, "old content");
    const std::string bytes(100000, 'n');
    int calls = 0;
    const platform::AtomicWriteHooks hooks{[&] {
        ++calls;
        // The complete new content sits next to the untouched old file.
        const auto names = namesIn(dir_);
        EXPECT_EQ(names.size(), 2u);
        for (const auto& name : names) {
            if (name != "data.ini") {
                EXPECT_EQ(get(dir_ / name), bytes) << name;
            }
        }
        EXPECT_EQ(get(path), "old content");
        return false;
    }};
    std::error_code ec;
    EXPECT_FALSE(writeFileAtomically(path, bytes, ec, &hooks));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ec, std::errc::interrupted);
    EXPECT_EQ(get(path), "old content");
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"data.ini"});
}

// A save killed before its rename leaves its temp file; the next save of
// that file clears it away, but never one whose writer still runs or one
// that another save may just be writing.
TEST_F(AtomicFile, TheNextSaveRemovesWhatAKilledSaveLeft)
{
    const fs::path path = dir_ / "data.M60";
    put(path, "old");
    const pid_t gone = ::fork();
    if (gone == 0) {
        _exit(0);
    }
    ASSERT_GT(gone, 0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const auto leave = [&](const std::string& name, bool aged) {
        put(dir_ / name, "half a file");
        if (aged) {
            fs::last_write_time(dir_ / name, old);
        }
    };
    const std::string killed = ".data.M60.tmp-" + std::to_string(gone) + "-Ab12Cd";
    const std::string running = ".data.M60.tmp-" + std::to_string(::getpid()) + "-Ef34Gh";
    const std::string fresh = ".data.M60.tmp-" + std::to_string(gone) + "-Ij56Kl";
    const std::string otherFile = ".other.M60.tmp-" + std::to_string(gone) + "-Mn78Op";
    leave(killed, true);
    leave(running, true);
    leave(fresh, false);
    leave(otherFile, true);

    std::error_code ec;
    ASSERT_TRUE(writeFileAtomically(path, "new", ec)) << ec.message();
    EXPECT_EQ(get(path), "new");
    std::vector<std::string> expected{fresh, running, otherFile, "data.M60"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(dir_), expected);
}

TEST_F(AtomicFile, FailedRenameLeavesNoTemp)
{
    fs::create_directory(dir_ / "data.ini"); // a folder in the way of the rename
    std::error_code ec;
    EXPECT_FALSE(writeFileAtomically(dir_ / "data.ini", "x", ec));
    EXPECT_TRUE(ec);
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"data.ini"});
    EXPECT_TRUE(fs::is_directory(dir_ / "data.ini"));

    EXPECT_FALSE(writeFileAtomically(dir_ / "missing" / "data.ini", "x", ec));
    EXPECT_TRUE(ec);
}

TEST_F(AtomicFile, SymlinkKeepsLinkAndReplacesTarget)
{
    fs::create_directory(dir_ / "real");
    put(dir_ / "real" / "data.ini", "old");
    fs::permissions(dir_ / "real" / "data.ini", fs::perms(0600));
    fs::create_symlink(fs::path("real") / "data.ini", dir_ / "link.ini");
    std::error_code ec;
    ASSERT_TRUE(writeFileAtomically(dir_ / "link.ini", "new", ec)) << ec.message();
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.ini"));
    EXPECT_EQ(fs::read_symlink(dir_ / "link.ini"), fs::path("real") / "data.ini");
    EXPECT_EQ(get(dir_ / "real" / "data.ini"), "new");
    EXPECT_EQ(permissionsOf(dir_ / "real" / "data.ini"), 0600u);
    EXPECT_EQ(namesIn(dir_ / "real"), std::vector<std::string>{"data.ini"});
}

TEST_F(AtomicFile, RelativePathWithoutFolder)
{
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    std::error_code ec;
    const bool ok = writeFileAtomically("plain.ini", "x", ec);
    fs::current_path(before);
    ASSERT_TRUE(ok) << ec.message();
    EXPECT_EQ(get(dir_ / "plain.ini"), "x");
    EXPECT_EQ(namesIn(dir_), std::vector<std::string>{"plain.ini"});
}

TEST_F(AtomicFile, ReadWholeFileIsBinaryAndComplete)
{
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += static_cast<char>(i % 256);
    bytes += std::string(1 << 20, '\r');
    std::error_code ec;
    ASSERT_TRUE(writeFileAtomically(dir_ / "bin", bytes, ec));
    EXPECT_EQ(get(dir_ / "bin"), bytes);

    std::string untouched = "keep";
    EXPECT_FALSE(readWholeFile(dir_ / "missing", untouched, ec));
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_EQ(untouched, "keep");
}

} // namespace
