#include "base/Files.h"
#include "base/LineFields.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

} // namespace
