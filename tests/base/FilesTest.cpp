#include "base/Files.h"
#include "base/LineFields.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

struct SplitRow {
    const char* text;
    std::vector<std::string> lines;
};

TEST(SplitTextLines, FollowsTheProgramFileLineRule) {
    const SplitRow rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r\r\n", {"a\r"}}, // only the CR directly before LF goes
        {"a\rb\n", {"a\rb"}}, // a lone CR stays inside the line
        {"\n\n", {"", ""}},
        {"x\r", {"x\r"}}, // no LF: the CR stays
    };
    for (const auto& row : rows)
        EXPECT_EQ(SplitTextLines(row.text), row.lines) << row.text;
}

struct IntRow {
    const char* text;
    int value;
};

TEST(ParseLeadingInt, ReadsLikeTheDeviceAndTheSettingsDo) {
    const IntRow rows[] = {
        {"", 0},
        {"abc", 0},
        {"0013", 13},
        {"   1", 1},
        {" -7x", -7},
        {"+5", 5},
        {"- 5", 0},
        {"\t42;", 42},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999999999999999999999", INT_MIN},
        {"9999999999999999999999999999999999999999", INT_MAX},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseLeadingInt(row.text), row.value) << '"' << row.text << '"';
}

TEST(Field, IsShorterOrEmptyPastTheEndOfTheLine) {
    EXPECT_EQ(Field("D? 12345678", 3, 8), "12345678");
    EXPECT_EQ(Field("D? 1234", 3, 8), "1234");
    EXPECT_EQ(Field("D?", 3, 8), "");
    EXPECT_EQ(Field("", 0, 2), "");
    EXPECT_TRUE(HasPrefix("S?xyz", "S?"));
    EXPECT_FALSE(HasPrefix("S", "S?"));
    EXPECT_FALSE(HasPrefix("s?", "S?"));
}

TEST(WriteFileReplacing, ReplacesWholeAndLeavesNoTemporaryFile) {
    CTempDir dir;
    const std::string strPath = dir.File("out.txt");
    ASSERT_TRUE(WriteFileReplacing(strPath, "first"));
    ASSERT_TRUE(WriteFileReplacing(strPath, "second\r\n"));
    EXPECT_EQ(ReadFileBytes(strPath), std::optional<std::string>("second\r\n"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(WriteFileReplacing, FailsWithoutTouchingAnythingWhenTheDirectoryIsMissing) {
    CTempDir dir;
    EXPECT_FALSE(WriteFileReplacing(dir.File("missing/out.txt"), "x"));
    EXPECT_FALSE(WriteFileReplacing(dir.Path(), "x")); // a directory is not a file
    EXPECT_FALSE(ReadFileBytes(dir.File("missing/out.txt")).has_value());
}

} // namespace

namespace {

TEST(ReadFileBytes, ADirectoryOrAMissingFileReadsAsNothing) {
    CTempDir dir;
    EXPECT_FALSE(ReadFileBytes(dir.Path()).has_value());
    EXPECT_FALSE(ReadFileBytes(dir.File("none")).has_value());
    std::string strBig(200000, '\0');
    strBig[199999] = 'x';
    ASSERT_TRUE(WriteFileReplacing(dir.File("big"), strBig));
    EXPECT_EQ(ReadFileBytes(dir.File("big")), std::optional<std::string>(strBig));
}

TEST(WriteFileReplacing, KeepsASymbolicLinkAndThePermissions) {
    namespace fs = std::filesystem;
    CTempDir dir;
    ASSERT_TRUE(WriteFileReplacing(dir.File("real.ini"), "old"));
    fs::permissions(dir.File("real.ini"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(dir.File("real.ini"), dir.File("link.ini"));
    ASSERT_TRUE(WriteFileReplacing(dir.File("link.ini"), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.ini")));
    EXPECT_EQ(ReadFileBytes(dir.File("real.ini")), std::optional<std::string>("new"));
    EXPECT_EQ(fs::status(dir.File("real.ini")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

} // namespace

// ---- Reading never waits and never takes more than the limit ---------------------------------------------------

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Longer than any read below may take on a busy machine, far shorter than a read that waits.
constexpr auto kAtOnce = std::chrono::seconds{2};
// When a read still waits on a FIFO after this long, the test opens the FIFO's other end so that it ends.
constexpr auto kFifoRescue = std::chrono::seconds{5};

void WriteRaw(const std::string& strPath, std::string_view bytes) {
    std::ofstream file(strPath, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::size_t EntriesIn(const std::string& strDirectory) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(strDirectory), {}));
}

struct CFileStatus {
    ino_t m_nInode = 0;
    uid_t m_nOwner = 0;
    gid_t m_nGroup = 0;
    mode_t m_nMode = 0;
};

CFileStatus StatusOf(const std::string& strPath) {
    struct stat status {};
    if (::stat(strPath.c_str(), &status) != 0)
        return {};
    return {status.st_ino, status.st_uid, status.st_gid, static_cast<mode_t>(status.st_mode & 07777)};
}

// Opens the FIFO's writing end after kFifoRescue unless the test is done by then, so that a read that waits for a
// writer ends (and fails the test) instead of hanging it.
class CFifoRescue {
public:
    explicit CFifoRescue(std::string strPath)
        : m_strPath(std::move(strPath)), m_thread([this] {
              const auto deadline = Clock::now() + kFifoRescue;
              while (!m_bDone && Clock::now() < deadline)
                  std::this_thread::sleep_for(std::chrono::milliseconds{10});
              if (!m_bDone) {
                  const int hFifo = ::open(m_strPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                  if (hFifo >= 0)
                      ::close(hFifo);
              }
          }) {}
    ~CFifoRescue() {
        m_bDone = true;
        m_thread.join();
    }
    CFifoRescue(const CFifoRescue&) = delete;
    CFifoRescue& operator=(const CFifoRescue&) = delete;

private:
    std::string m_strPath;
    std::atomic<bool> m_bDone{false};
    std::thread m_thread;
};

enum class EReadSetup { Regular, Fifo, LinkTo, Directory, Socket, Missing };

struct ReadRow {
    const char* name;
    EReadSetup setup;
    std::size_t nBytes;     // size of a regular file
    const char* linkTarget; // for LinkTo
    bool bReads;            // ReadFileBytes reads it whole, else as no file
    bool bStartReads;       // ReadFileStart reads up to the limit of it, else as no file
};

// Makes the row's file at strPath; false when the system refuses (a socket name too long, say).
bool MakeReadSetup(const ReadRow& row, const std::string& strPath) {
    switch (row.setup) {
    case EReadSetup::Regular:
        WriteRaw(strPath, std::string(row.nBytes, 'k'));
        return true;
    case EReadSetup::Fifo:
        return ::mkfifo(strPath.c_str(), 0644) == 0;
    case EReadSetup::LinkTo:
        return ::symlink(row.linkTarget, strPath.c_str()) == 0;
    case EReadSetup::Directory:
        return ::mkdir(strPath.c_str(), 0755) == 0;
    case EReadSetup::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (strPath.size() >= sizeof address.sun_path)
            return false;
        std::copy(strPath.begin(), strPath.end(), address.sun_path);
        const int hSocket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bBound = hSocket >= 0 && ::bind(hSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (hSocket >= 0)
            ::close(hSocket);
        return bBound;
    }
    case EReadSetup::Missing:
        return true;
    }
    return false;
}

TEST(ReadFileBytes, ReadsOnlyRegularFilesUpToTheLimitAndNeverWaits) {
    const ReadRow rows[] = {
        {"small regular file", EReadSetup::Regular, 17, nullptr, true, true},
        {"empty regular file", EReadSetup::Regular, 0, nullptr, true, true},
        {"regular file of exactly the limit", EReadSetup::Regular, kReadLimitBytes, nullptr, true, true},
        {"regular file one byte over the limit", EReadSetup::Regular, kReadLimitBytes + 1, nullptr, false, true},
        {"regular file far over the limit", EReadSetup::Regular, 3 * kReadLimitBytes, nullptr, false, true},
        {"FIFO without a writer", EReadSetup::Fifo, 0, nullptr, false, false},
        {"link to a FIFO without a writer", EReadSetup::LinkTo, 0, "fifo", false, false},
        {"link to /dev/zero", EReadSetup::LinkTo, 0, "/dev/zero", false, false},
        {"link to /dev/null", EReadSetup::LinkTo, 0, "/dev/null", false, false},
        {"directory", EReadSetup::Directory, 0, nullptr, false, false},
        {"socket", EReadSetup::Socket, 0, nullptr, false, false},
        {"missing file", EReadSetup::Missing, 0, nullptr, false, false},
        {"dangling link", EReadSetup::LinkTo, 0, "nowhere", false, false},
    };
    using Reader = std::optional<std::string> (*)(const std::string&);
    for (const auto& row : rows) {
        CTempDir dir;
        ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
        const std::string strPath = dir.File("P1.txt");
        ASSERT_TRUE(MakeReadSetup(row, strPath)) << row.name;
        const CFifoRescue rescue(row.setup == EReadSetup::Fifo ? strPath : dir.File("fifo"));
        const std::pair<Reader, bool> readers[] = {{ReadFileBytes, row.bReads}, {ReadFileStart, row.bStartReads}};
        for (const auto& [read, bReads] : readers) {
            const char* reader = read == ReadFileBytes ? "ReadFileBytes" : "ReadFileStart";
            const auto start = Clock::now();
            const std::optional<std::string> bytes = read(strPath);
            EXPECT_LT(Clock::now() - start, kAtOnce) << row.name << ", " << reader;
            // Compared without printing: a megabyte of text helps nobody read the failure.
            EXPECT_EQ(bytes.has_value(), bReads)
                << row.name << ", " << reader << ": " << (bytes ? bytes->size() : 0) << " bytes";
            if (bytes && bReads) {
                EXPECT_TRUE(*bytes == std::string(std::min(row.nBytes, kReadLimitBytes), 'k'))
                    << row.name << ", " << reader << ": " << bytes->size() << " bytes";
            }
        }
    }
    // /dev/zero itself, named directly.
    const auto start = Clock::now();
    EXPECT_EQ(ReadFileBytes("/dev/zero"), std::nullopt);
    EXPECT_EQ(ReadFileStart("/dev/zero"), std::nullopt);
    EXPECT_LT(Clock::now() - start, kAtOnce);
}

TEST(ReadFileBytes, AFileTheUserMayNotReadReadsAsNothing) {
    CTempDir dir;
    const std::string strPath = dir.File("config.ini");
    WriteRaw(strPath, "[Settings]\nCOMPort=2\n");
    // Nobody but its owner may read it, and the unprivileged user either is not the owner (the superuser owns it)
    // or, run as anyone else, is an owner without the right to read.
    ASSERT_EQ(::chmod(strPath.c_str(), RunsAsSuperuser() ? 0600 : 0200), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    const std::optional<bool> bNothing = RunUnprivileged([&] { return !ReadFileBytes(strPath).has_value(); });
    ASSERT_TRUE(bNothing.has_value()) << "the check could not run unprivileged";
    EXPECT_TRUE(*bNothing);
}

// ---- Write protection and the directory's own rights ---------------------------------------------------------------

struct ProtectionRow {
    const char* name;
    mode_t nFileMode;
    mode_t nDirectoryMode;
    bool bUnprivileged;   // the writer is the unprivileged user (RunUnprivileged), else the test itself
    bool bWriterOwnsFile; // else the file is the superuser's, which needs the superuser to set up
    bool bWritten;
    bool bInPlace; // written over where it is, the inode kept
};

TEST(WriteFileReplacing, ReplacesOnlyWhatTheWriterMayWrite) {
    const ProtectionRow rows[] = {
        {"no write bit at all: protected even from the superuser", 0444, 0700, false, true, false, false},
        {"read-only for its owner alone", 0400, 0700, false, true, false, false},
        {"write-only file", 0200, 0700, false, true, true, false},
        {"no write bit for an unprivileged owner", 0444, 0777, true, true, false, false},
        {"read-only file in a read-only directory", 0444, 0555, true, true, false, false},
        {"another user's file that others may not write", 0644, 0777, true, false, false, false},
        {"another user's file in a directory that others may not write", 0644, 0755, true, false, false, false},
        // No temporary file can be made: the file is written where it is.
        {"writable file in a directory the writer may not write", 0644, 0555, true, true, true, true},
        // The temporary file could not take the file's owner: the file is written where it is, and keeps him.
        {"another user's file that others may write", 0666, 0777, true, false, true, true},
    };
    const std::string strOld = "[Settings]\r\nCOMPort=1\r\n";
    const std::string strNew = "[Settings]\r\nCOMPort=2\r\nBaudrate=3\r\n";
    for (const auto& row : rows) {
        if (!row.bWriterOwnsFile && !RunsAsSuperuser()) {
            std::cout << "[ SKIPPED  ] row \"" << row.name << "\" needs a file of another user\n";
            continue;
        }
        CTempDir dir;
        const std::string strPath = dir.File("config.ini");
        WriteRaw(strPath, strOld);
        if (row.bUnprivileged && row.bWriterOwnsFile && RunsAsSuperuser()) {
            ASSERT_EQ(::chown(strPath.c_str(), UnprivilegedUid(), UnprivilegedGid()), 0);
            // The directory stays the superuser's: its mode alone decides what the writer may do in it.
        }
        ASSERT_EQ(::chmod(strPath.c_str(), row.nFileMode), 0) << row.name;
        const CFileStatus before = StatusOf(strPath);
        ASSERT_EQ(::chmod(dir.Path().c_str(), row.nDirectoryMode), 0) << row.name;

        bool bWritten = false;
        if (row.bUnprivileged) {
            const std::optional<bool> result = RunUnprivileged([&] { return WriteFileReplacing(strPath, strNew); });
            ASSERT_TRUE(result.has_value()) << row.name << ": the check could not run unprivileged";
            bWritten = *result;
        } else {
            bWritten = WriteFileReplacing(strPath, strNew);
        }
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
        const CFileStatus after = StatusOf(strPath);
        ASSERT_EQ(::chmod(strPath.c_str(), 0600), 0); // so that the test may read it

        EXPECT_EQ(bWritten, row.bWritten) << row.name;
        EXPECT_EQ(ReadFileBytes(strPath), row.bWritten ? strNew : strOld) << row.name;
        EXPECT_EQ(after.m_nMode, row.nFileMode) << row.name;
        EXPECT_EQ(after.m_nOwner, before.m_nOwner) << row.name;
        EXPECT_EQ(after.m_nGroup, before.m_nGroup) << row.name;
        if (row.bWritten) {
            EXPECT_EQ(after.m_nInode == before.m_nInode, row.bInPlace) << row.name;
        }
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << row.name << ": no temporary file stays";
    }
}

TEST(WriteFileReplacing, TheReplacementKeepsOwnerGroupAndMode) {
    CTempDir dir;
    const std::string strPath = dir.File("P1.txt");
    WriteRaw(strPath, "old");
    // The superuser saves a file that belongs to another user; anyone else saves a file of their own.
    if (RunsAsSuperuser()) {
        ASSERT_EQ(::chown(strPath.c_str(), kUnprivilegedUid, kUnprivilegedGid), 0);
    }
    ASSERT_EQ(::chmod(strPath.c_str(), 0640), 0);
    const CFileStatus before = StatusOf(strPath);
    ASSERT_TRUE(WriteFileReplacing(strPath, "new"));
    const CFileStatus after = StatusOf(strPath);
    EXPECT_EQ(ReadFileBytes(strPath), std::optional<std::string>("new"));
    EXPECT_NE(after.m_nInode, before.m_nInode); // replaced, not written over
    EXPECT_EQ(after.m_nOwner, before.m_nOwner);
    EXPECT_EQ(after.m_nGroup, before.m_nGroup);
    EXPECT_EQ(after.m_nMode, mode_t{0640});
}

TEST(WriteFileReplacing, ANewFileGetsTheUsualMode) {
    CTempDir dir;
    const mode_t nMask = ::umask(022);
    const bool bWritten = WriteFileReplacing(dir.File("export.txt.txt"), "1 2 3\r\n");
    ::umask(nMask);
    ASSERT_TRUE(bWritten);
    EXPECT_EQ(StatusOf(dir.File("export.txt.txt")).m_nMode, mode_t{0644});
}

TEST(WriteFileReplacing, SomethingOtherThanARegularFileIsLeftAlone) {
    CTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("P1.txt").c_str(), 0644), 0);
    const auto start = Clock::now();
    EXPECT_FALSE(WriteFileReplacing(dir.File("P1.txt"), "new"));
    EXPECT_LT(Clock::now() - start, kAtOnce);
    EXPECT_TRUE(fs::is_fifo(dir.File("P1.txt")));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

// ---- Symbolic links ------------------------------------------------------------------------------------------------

struct LinkRow {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links; // name, destination as written in the link
    const char* save;                                       // the name saved through
    const char* real;                                       // where the bytes land; nullptr: the save fails
};

TEST(WriteFileReplacing, ASymbolicLinkStaysAndItsDestinationIsReplaced) {
    const LinkRow rows[] = {
        {"relative link in the same directory", {{"config.ini", "real.ini"}}, "config.ini", "real.ini"},
        {"relative link read from the link's own directory",
         {{"sub/config.ini", "../real.ini"}},
         "sub/config.ini",
         "real.ini"},
        {"link into another directory", {{"config.ini", "sub/real.ini"}}, "config.ini", "sub/real.ini"},
        {"chain of links", {{"config.ini", "sub/step.ini"}, {"sub/step.ini", "../real.ini"}}, "config.ini", "real.ini"},
        {"dangling link creates its destination", {{"config.ini", "sub/new.ini"}}, "config.ini", "sub/new.ini"},
        {"loop of links", {{"a.ini", "b.ini"}, {"b.ini", "a.ini"}}, "a.ini", nullptr},
        {"link to a directory", {{"config.ini", "sub"}}, "config.ini", nullptr},
        {"link to a FIFO", {{"config.ini", "sub/fifo"}}, "config.ini", nullptr},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        fs::create_directory(dir.File("sub"));
        ASSERT_EQ(::mkfifo(dir.File("sub/fifo").c_str(), 0644), 0);
        WriteRaw(dir.File("real.ini"), "old");
        WriteRaw(dir.File("sub/real.ini"), "old");
        for (const auto& [link, destination] : row.links)
            ASSERT_EQ(::symlink(destination, dir.File(link).c_str()), 0) << row.name;

        EXPECT_EQ(WriteFileReplacing(dir.File(row.save), "new"), row.real != nullptr) << row.name;
        for (const auto& link : row.links)
            EXPECT_TRUE(fs::is_symlink(dir.File(link.first))) << row.name << ": " << link.first;
        for (const char* file : {"real.ini", "sub/real.ini", "sub/new.ini"}) {
            const bool bLanded = row.real && std::string_view(file) == row.real;
            const std::optional<std::string> expected =
                bLanded ? std::optional<std::string>("new")
                        : (fs::exists(dir.File(file)) ? std::optional<std::string>("old") : std::nullopt);
            EXPECT_EQ(ReadFileBytes(dir.File(file)), expected) << row.name << ": " << file;
        }
        if (row.real) {
            EXPECT_FALSE(fs::is_symlink(dir.File(row.real))) << row.name;
        }
        EXPECT_TRUE(fs::is_fifo(dir.File("sub/fifo"))) << row.name;
    }
}

TEST(WriteFileReplacing, ALinkToAProtectedFileLeavesItAlone) {
    CTempDir dir;
    WriteRaw(dir.File("real.ini"), "old");
    ASSERT_EQ(::chmod(dir.File("real.ini").c_str(), 0444), 0);
    ASSERT_EQ(::symlink("real.ini", dir.File("config.ini").c_str()), 0);
    EXPECT_FALSE(WriteFileReplacing(dir.File("config.ini"), "new"));
    EXPECT_EQ(ReadFileBytes(dir.File("real.ini")), std::optional<std::string>("old"));
    EXPECT_TRUE(fs::is_symlink(dir.File("config.ini")));
}

// ---- Names and existence -------------------------------------------------------------------------------------------

TEST(FileNameOf, IsWhatFollowsTheLastSlash) {
    const std::pair<const char*, const char*> rows[] = {
        {"/home/ann/starts.txt", "starts.txt"},
        {"/home/j\xFCrgen/starts.txt", "starts.txt"},
        {"/home/ann/M\xFCnster.txt", "M\xFCnster.txt"},
        {"/tmp/caf\xE9", "caf\xE9"},
        {"starts.txt", "starts.txt"},
        {"/home/ann/exports/", ""},
        {"/home/ann/a\\b.txt", "a\\b.txt"}, // a backslash is part of a name here
        {"C:\\exports\\starts.txt", "C:\\exports\\starts.txt"},
    };
    for (const auto& [pszPath, pszName] : rows)
        EXPECT_EQ(FileNameOf(pszPath), pszName) << pszPath;
}

// A file "file", a file with a byte beyond ASCII in its name, a directory "sub", the link "link" to "file" and the
// link "dangling" to nothing.
bool MakeFilesAndLinks(const CTempDir& dir) {
    WriteRaw(dir.File("file"), "x");
    WriteRaw(dir.File("M\xFCnster.txt"), "x");
    fs::create_directory(dir.File("sub"));
    return ::symlink("file", dir.File("link").c_str()) == 0 && ::symlink("none", dir.File("dangling").c_str()) == 0;
}

struct ExistsRow {
    const char* pszName;
    const char* pszPath; // in a directory holding a file "file", a directory "sub", the link "link" to "file" and
                         // the link "dangling" to nothing
    bool bExists;
};

TEST(PathExists, ByWhatIsThereAndWhatALinkLeadsTo) {
    const ExistsRow rows[] = {
        {"a file", "file", true},
        {"a directory", "sub", true},
        {"a name with a byte beyond ASCII, not UTF-8", "M\xFCnster.txt", true},
        {"a link to a file", "link", true},
        {"a link that leads nowhere", "dangling", false},
        {"nothing", "missing.txt", false},
        {"below a file", "file/inner", false},
    };
    CTempDir dir;
    ASSERT_TRUE(MakeFilesAndLinks(dir));
    for (const auto& row : rows)
        EXPECT_EQ(PathExists(dir.File(row.pszPath)), row.bExists) << row.pszName;
    EXPECT_FALSE(PathExists(std::string("file\0x", 6))) << "a path with a NUL";
}

struct RemoveRow {
    const char* pszName;
    const char* pszPath; // in a directory as for PathExists
    bool bRemoved;
};

TEST(RemoveFile, RemovesAFileOrALinkAndNothingElse) {
    const RemoveRow rows[] = {
        {"a file", "file", true},
        {"a name with a byte beyond ASCII, not UTF-8", "M\xFCnster.txt", true},
        {"a link, not what it leads to", "link", true},
        {"a link that leads nowhere", "dangling", true},
        {"a directory", "sub", false},
        {"nothing", "missing.txt", false},
    };
    for (const auto& row : rows) {
        CTempDir dir;
        ASSERT_TRUE(MakeFilesAndLinks(dir));
        EXPECT_EQ(RemoveFile(dir.File(row.pszPath)), row.bRemoved) << row.pszName;
        EXPECT_EQ(fs::exists(fs::symlink_status(dir.File(row.pszPath))), std::string_view(row.pszPath) == "sub")
            << row.pszName;
        if (std::string_view(row.pszPath) == "link") {
            EXPECT_TRUE(fs::is_regular_file(dir.File("file"))) << row.pszName << ": the file it leads to stays";
        }
    }
}

TEST(TemporaryDirectory, IsTheSystemsWithoutATrailingSlash) {
    CTempDir dir;
    WriteRaw(dir.File("file"), "x");
    fs::create_directory(dir.File("j\xFCrgen"));
    const std::pair<std::string, std::string> rows[] = {
        {dir.Path(), dir.Path()},        {dir.Path() + "/", dir.Path()},
        {dir.Path() + "//", dir.Path()}, {dir.File("j\xFCrgen"), dir.File("j\xFCrgen")},
        {dir.File("missing"), ""},       {dir.File("file"), ""},
    };
    const char* pszSaved = std::getenv("TMPDIR");
    const std::optional<std::string> saved = pszSaved ? std::optional<std::string>(pszSaved) : std::nullopt;
    for (const auto& [strTmpDir, strExpected] : rows) {
        ::setenv("TMPDIR", strTmpDir.c_str(), 1);
        EXPECT_EQ(TemporaryDirectory(), strExpected) << strTmpDir;
    }
    if (saved)
        ::setenv("TMPDIR", saved->c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

// ---- Temporary files -----------------------------------------------------------------------------------------------

TEST(TemporaryFileName, IsFreshEachTimeAndRecognisedOnlyForItsOwnFile) {
    const std::string strName = TemporaryFileName("P1.txt");
    EXPECT_TRUE(IsTemporaryFileName("P1.txt", strName)) << strName;
    EXPECT_NE(TemporaryFileName("P1.txt"), strName);
    const std::pair<const char*, bool> rows[] = {
        {".P1.txt.kalvora-Ab12Cd", true},
        {".P1.txt.kalvora-000000", true},
        {".P1.txt.kalvora-Ab12C", false},   // too short
        {".P1.txt.kalvora-Ab12Cde", false}, // too long
        {".P1.txt.kalvora-Ab12C!", false},  // not a letter or digit
        {".P1.txt.kalvora-Ab12C.", false},
        {"P1.txt.kalvora-Ab12Cd", false},  // no leading dot
        {".P2.txt.kalvora-Ab12Cd", false}, // another file's
        {".p1.txt.kalvora-Ab12Cd", false}, // case counts
        {".P1.txt.tmp-Ab12Cd", false},
        {".P1.txt", false},
        {"P1.txt", false},
        {"", false},
    };
    for (const auto& [name, bOurs] : rows)
        EXPECT_EQ(IsTemporaryFileName("P1.txt", name), bOurs) << name;
    EXPECT_FALSE(IsTemporaryFileName("", ".kalvora-Ab12Cd"));
}

TEST(WriteFileReplacing, RemovesOnlyItsOwnStaleTemporaryFiles) {
    CTempDir dir;
    const std::string strPath = dir.File("P1.txt");
    WriteRaw(strPath, "old");
    struct Leftover {
        const char* name;
        bool bRemoved;
    };
    const Leftover leftovers[] = {
        {".P1.txt.kalvora-Ab12Cd", true},                                     // a killed save's
        {".P1.txt.kalvora-zzzzzz", true},  {".P1.txt.kalvora-Locked", false}, // a running save holds it
        {".P2.txt.kalvora-Ab12Cd", false},                                    // another file's
        {".P1.txt.kalvora-Ab12C", false},  {"P1.txt.kalvora-Ab12Cd", false},  {"P1.txt.bak", false},
    };
    for (const auto& leftover : leftovers)
        WriteRaw(dir.File(leftover.name), "x");
    fs::create_directory(dir.File(".P1.txt.kalvora-Folder"));
    ASSERT_EQ(::symlink("P1.txt.bak", dir.File(".P1.txt.kalvora-Linked").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.File(".P1.txt.kalvora-Fifo00").c_str(), 0644), 0);

    const int hLocked = ::open(dir.File(".P1.txt.kalvora-Locked").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(hLocked, 0);
    ASSERT_EQ(::flock(hLocked, LOCK_EX | LOCK_NB), 0);
    const auto start = Clock::now();
    const bool bWritten = WriteFileReplacing(strPath, "new");
    EXPECT_LT(Clock::now() - start, kAtOnce);
    ::close(hLocked);

    ASSERT_TRUE(bWritten);
    EXPECT_EQ(ReadFileBytes(strPath), std::optional<std::string>("new"));
    for (const auto& leftover : leftovers)
        EXPECT_EQ(fs::exists(fs::symlink_status(dir.File(leftover.name))), !leftover.bRemoved) << leftover.name;
    EXPECT_TRUE(fs::is_directory(dir.File(".P1.txt.kalvora-Folder")));
    EXPECT_TRUE(fs::is_symlink(dir.File(".P1.txt.kalvora-Linked")));
    EXPECT_EQ(ReadFileBytes(dir.File("P1.txt.bak")), std::optional<std::string>("x"));
    EXPECT_TRUE(fs::is_fifo(dir.File(".P1.txt.kalvora-Fifo00")));
}

// A writer killed at any moment leaves the old content or the new one, byte for byte, and the next save clears up
// after it.
TEST(WriteFileReplacing, AWriterKilledAtAnyMomentLeavesOldOrNew) {
    constexpr int kCycles = 200;
    constexpr auto kLongestDelay = std::chrono::microseconds{3000};
    CTempDir dir;
    const std::string strPath = dir.File("P1.txt");
    // Two contents of different lengths, so that a mixture or a cut shows.
    const std::string strFirst(96 * 1024, 'a');
    const std::string strSecond = std::string(160 * 1024, 'b') + "\r\n";
    ASSERT_TRUE(WriteFileReplacing(strPath, strFirst));

    const unsigned nSeed = std::random_device{}();
    std::mt19937 random(nSeed);
    std::uniform_int_distribution<long> delay(0, kLongestDelay.count());
    std::size_t nMostLeftovers = 0;
    for (int nCycle = 0; nCycle < kCycles; ++nCycle) {
        const pid_t nWriter = ::fork();
        ASSERT_GE(nWriter, 0);
        if (nWriter == 0) {
            for (unsigned nSave = 0;; ++nSave)
                WriteFileReplacing(strPath, nSave % 2 == 0 ? strSecond : strFirst);
        }
        std::this_thread::sleep_for(std::chrono::microseconds{delay(random)});
        ::kill(nWriter, SIGKILL);
        int nStatus = 0;
        ASSERT_EQ(::waitpid(nWriter, &nStatus, 0), nWriter);
        const std::optional<std::string> bytes = ReadFileBytes(strPath);
        ASSERT_TRUE(bytes == strFirst || bytes == strSecond)
            << "cycle " << nCycle << " (seed " << nSeed << "): " << (bytes ? bytes->size() : 0) << " bytes";
        nMostLeftovers = std::max(nMostLeftovers, EntriesIn(dir.Path()) - 1);
    }
    EXPECT_GT(nMostLeftovers, 0u) << "no writer was ever killed in the middle of a save";
    ASSERT_TRUE(WriteFileReplacing(strPath, "last"));
    EXPECT_EQ(ReadFileBytes(strPath), std::optional<std::string>("last"));
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

} // namespace
