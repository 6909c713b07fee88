// The termios port over a real pseudo-terminal, and the device a COM port number opens.

#include "link/PosixPort.h"
#include "i18n/Language.h"
#include "link/SerialPort.h"
#include "tests/support/InstalledLayout.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Elapsed(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
}

// Reads what the port has within `timeout` as text.
std::string ReadText(CPosixPort& port, std::chrono::milliseconds timeout = 250ms) {
    std::array<char, 64> buffer{};
    const int nRead = port.Read(buffer.data(), static_cast<int>(buffer.size()), timeout);
    return nRead > 0 ? std::string(buffer.data(), static_cast<std::size_t>(nRead)) : std::string();
}

// ---- PortDevicePath ----

struct SPathCase {
    const char* pszName;
    const char* pszPortFile; // what ports/COM7 is: "" none, "link", "dangling" or "file"
    int nPort;
    std::string strExpected; // "@" stands for the executable's directory
};

std::ostream& operator<<(std::ostream& stream, const SPathCase& row) {
    return stream << row.pszName;
}

class PortDevicePathTest : public ::testing::TestWithParam<SPathCase> {};

TEST_P(PortDevicePathTest, ChoosesTheLinkBesideTheExecutableOrTheSystemsLine) {
    CExecutableDirectory dir;
    const std::string strKind = GetParam().pszPortFile;
    const std::filesystem::path ports = std::filesystem::path(dir.Path()) / "ports";
    std::filesystem::create_directories(ports);
    if (strKind == "link")
        std::filesystem::create_symlink("/dev/null", ports / "COM7");
    else if (strKind == "dangling")
        std::filesystem::create_symlink(dir.File("gone"), ports / "COM7");
    else if (strKind == "file")
        std::ofstream(ports / "COM7") << "";

    std::string strExpected = GetParam().strExpected;
    if (strExpected.starts_with("@"))
        strExpected = dir.Path() + strExpected.substr(1);
    EXPECT_EQ(PortDevicePath(GetParam().nPort), strExpected);
}

INSTANTIATE_TEST_SUITE_P(Rows, PortDevicePathTest,
                         ::testing::Values(SPathCase{"NoLink", "", 7, "/dev/ttyS6"},
                                           SPathCase{"FirstPort", "", 1, "/dev/ttyS0"},
                                           SPathCase{"LastPort", "", 20, "/dev/ttyS19"},
                                           SPathCase{"Link", "link", 7, "@/ports/COM7"},
                                           SPathCase{"DanglingLinkStillCounts", "dangling", 7, "@/ports/COM7"},
                                           SPathCase{"PlainFile", "file", 7, "@/ports/COM7"},
                                           SPathCase{"LinkOfAnotherPort", "link", 17, "/dev/ttyS16"}),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(PortDevicePathInstalled, TheLinkIsInTheUsersDirectoryNotBesideTheExecutable) {
    CInstalledLayout layout;
    std::filesystem::create_directories(layout.Bin() + "/ports");
    std::filesystem::create_symlink("/dev/null", layout.Bin() + "/ports/COM7");
    EXPECT_EQ(PortDevicePath(7), "/dev/ttyS6") << "a link beside an installed executable is not the user's";
    std::filesystem::create_directories(layout.User() + "/ports");
    std::filesystem::create_symlink("/dev/null", layout.User() + "/ports/COM7");
    EXPECT_EQ(PortDevicePath(7), layout.User() + "/ports/COM7");
}

TEST(SystemPortTest, IsThePosixPort) {
    const std::unique_ptr<CSerialPort> port = CreateSystemPort();
    EXPECT_NE(dynamic_cast<CPosixPort*>(port.get()), nullptr);
}

// ---- Open and exclusive use ----

class PosixPortTest : public ::testing::Test {
protected:
    CPtyPeer m_peer;
    CPosixPort m_port;
};

TEST_F(PosixPortTest, MissingDeviceDoesNotOpen) {
    CTempDir dir;
    EXPECT_FALSE(m_port.Open(dir.File("COM7")));
    EXPECT_FALSE(m_port.IsOpen());
}

TEST_F(PosixPortTest, PlainFileIsNoSerialLine) {
    CTempDir dir;
    std::ofstream(dir.File("COM7")) << "S?\r";
    EXPECT_FALSE(m_port.Open(dir.File("COM7")));
    EXPECT_FALSE(m_port.IsOpen());
}

TEST_F(PosixPortTest, SecondOpenOfTheSameDeviceIsRefused) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    CPosixPort second;
    EXPECT_FALSE(second.Open(m_peer.SlavePath()));

    // The first opening is untouched by the refused one.
    EXPECT_TRUE(m_port.Write("?S\r", 200ms));
    EXPECT_EQ(m_peer.ReadUntil(3, 1s), "?S\r");
    ASSERT_TRUE(m_peer.Write("S?\r"));
    EXPECT_EQ(ReadText(m_port, 1000ms), "S?\r");

    m_port.Close();
    EXPECT_TRUE(second.Open(m_peer.SlavePath()));
}

TEST_F(PosixPortTest, SecondOpenThroughAPortLinkIsRefused) {
    CTempDir dir;
    const std::string strLink = m_peer.LinkAsPort(dir.Path(), 7);
    ASSERT_TRUE(m_port.Open(strLink));
    CPosixPort second;
    EXPECT_FALSE(second.Open(m_peer.SlavePath()));
    EXPECT_FALSE(second.Open(strLink));
}

// The terminal's exclusive mode is on while the port is open and off once it is closed, though the far end
// still holds the terminal open.
TEST_F(PosixPortTest, ExclusiveModeLastsWhileOpen) {
    const auto exclusive = [this]() -> int {
        const int hOther = ::open(m_peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (hOther < 0)
            return errno == EBUSY ? 1 : -1; // refused: only root may open a terminal in exclusive mode
        int nExclusive = -1;
        if (::ioctl(hOther, TIOCGEXCL, &nExclusive) != 0)
            nExclusive = -1;
        ::close(hOther);
        return nExclusive;
    };
    EXPECT_EQ(exclusive(), 0);
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    EXPECT_EQ(exclusive(), 1);
    m_port.Close();
    EXPECT_EQ(exclusive(), 0);
}

TEST_F(PosixPortTest, DestructorLetsGoOfTheDevice) {
    {
        CPosixPort first;
        ASSERT_TRUE(first.Open(m_peer.SlavePath()));
    }
    EXPECT_TRUE(m_port.Open(m_peer.SlavePath()));
}

TEST_F(PosixPortTest, OpenOnAnOpenPortLetsGoOfTheFirstDevice) {
    CPtyPeer otherPeer;
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    ASSERT_TRUE(m_port.Open(otherPeer.SlavePath()));
    CPosixPort second;
    EXPECT_TRUE(second.Open(m_peer.SlavePath()));
}

TEST_F(PosixPortTest, ClosedPortNeitherReadsNorWrites) {
    std::array<char, 10> buffer{};
    EXPECT_EQ(m_port.Read(buffer.data(), 10, 10ms), -1);
    EXPECT_FALSE(m_port.Write("?S\r", 10ms));
    EXPECT_FALSE(m_port.Configure(9600));
    m_port.PurgeInput();
    m_port.Close();
}

// ---- Configure ----

struct SSpeedCase {
    int nBaudRate;
    speed_t expected;
};

std::ostream& operator<<(std::ostream& stream, const SSpeedCase& row) {
    return stream << row.nBaudRate << " baud";
}

class PosixPortSpeedTest : public ::testing::TestWithParam<SSpeedCase> {};

TEST_P(PosixPortSpeedTest, ConfiguresARaw8N1LineAtTheBaudRate) {
    CPtyPeer peer;
    // The master's terminal settings are the slave's: start from a cooked line at another speed.
    termios before{};
    ASSERT_EQ(::tcgetattr(peer.MasterHandle(), &before), 0);
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_iflag |= ICRNL | IXON | IXOFF;
    before.c_oflag |= OPOST;
    before.c_cflag |= CRTSCTS | CSTOPB | PARENB;
    ::cfsetispeed(&before, B1200);
    ::cfsetospeed(&before, B1200);
    ASSERT_EQ(::tcsetattr(peer.MasterHandle(), TCSANOW, &before), 0);

    CPosixPort port;
    ASSERT_TRUE(port.Open(peer.SlavePath()));
    EXPECT_TRUE(port.Configure(GetParam().nBaudRate)); // a pseudo-terminal has no DTR or RTS: not a failure

    termios after{};
    ASSERT_EQ(::tcgetattr(peer.MasterHandle(), &after), 0);
    EXPECT_EQ(::cfgetospeed(&after), GetParam().expected);
    EXPECT_EQ(::cfgetispeed(&after), GetParam().expected);
    EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(after.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(after.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(after.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(after.c_oflag & OPOST, 0u);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, PosixPortSpeedTest,
                         ::testing::Values(SSpeedCase{2400, B2400}, SSpeedCase{4800, B4800}, SSpeedCase{9600, B9600},
                                           SSpeedCase{19200, B19200}, SSpeedCase{38400, B38400},
                                           SSpeedCase{1234, B1200}, SSpeedCase{0, B1200}, SSpeedCase{-9600, B1200}),
                         [](const auto& info) {
                             const int nBaud = info.param.nBaudRate;
                             return (nBaud < 0 ? "Minus" + std::to_string(-nBaud) : std::to_string(nBaud)) + "Baud";
                         });

// ---- Read ----

TEST_F(PosixPortTest, ReadReturnsWaitingBytesAtOnce) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    ASSERT_TRUE(m_peer.Write("ABCDE"));
    std::this_thread::sleep_for(50ms);
    const auto started = Clock::now();
    EXPECT_EQ(ReadText(m_port), "ABCDE");
    EXPECT_LT(Elapsed(started), 200ms);
}

TEST_F(PosixPortTest, ReadReturnsNoMoreThanAsked) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    ASSERT_TRUE(m_peer.Write("0123456789ABCDEFGHIJKLMNO"));
    std::this_thread::sleep_for(50ms);
    std::string strAll;
    std::array<char, 10> buffer{};
    for (int i = 0; i < 3; ++i) {
        const int nRead = m_port.Read(buffer.data(), 10, 250ms);
        ASSERT_GT(nRead, 0);
        ASSERT_LE(nRead, 10);
        strAll.append(buffer.data(), static_cast<std::size_t>(nRead));
    }
    EXPECT_EQ(strAll, "0123456789ABCDEFGHIJKLMNO");
}

TEST_F(PosixPortTest, ReadWaitsForTheFirstByteAndReturnsWhenItComes) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    std::thread writer([this] {
        std::this_thread::sleep_for(100ms);
        m_peer.Write("S");
    });
    const auto started = Clock::now();
    const std::string strRead = ReadText(m_port, 2000ms);
    const auto elapsed = Elapsed(started);
    writer.join();
    EXPECT_EQ(strRead, "S");
    EXPECT_GE(elapsed, 80ms);
    EXPECT_LT(elapsed, 1000ms); // long before the time-out
}

TEST_F(PosixPortTest, SilentReadReturnsNothingAfterTheTimeOut) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    std::array<char, 10> buffer{};
    const auto started = Clock::now();
    EXPECT_EQ(m_port.Read(buffer.data(), 10, 250ms), 0);
    EXPECT_GE(Elapsed(started), 240ms);
    EXPECT_LT(Elapsed(started), 1000ms);
}

TEST_F(PosixPortTest, HungUpLineReadsAsAnErrorNotAsSilence) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    m_peer.HangUp();
    std::array<char, 10> buffer{};
    for (int i = 0; i < 3; ++i) {
        const auto started = Clock::now();
        EXPECT_EQ(m_port.Read(buffer.data(), 10, 250ms), -1);
        EXPECT_LT(Elapsed(started), 200ms);
    }
    EXPECT_FALSE(m_port.Write("?S\r", 200ms));
}

TEST_F(PosixPortTest, LineHungUpDuringAReadEndsIt) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    std::thread hangUp([this] {
        std::this_thread::sleep_for(50ms);
        m_peer.HangUp();
    });
    std::array<char, 10> buffer{};
    const auto started = Clock::now();
    const int nRead = m_port.Read(buffer.data(), 10, 2000ms);
    const auto elapsed = Elapsed(started);
    hangUp.join();
    EXPECT_EQ(nRead, -1);
    EXPECT_LT(elapsed, 1000ms);
}

TEST_F(PosixPortTest, PurgeDiscardsWaitingInput) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    ASSERT_TRUE(m_peer.Write("OLD"));
    std::this_thread::sleep_for(50ms);
    m_port.PurgeInput();
    ASSERT_TRUE(m_peer.Write("NEW"));
    EXPECT_EQ(ReadText(m_port, 1000ms), "NEW");
}

TEST_F(PosixPortTest, ByteValuesPassUnchanged) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    std::string strAll;
    for (int i = 0; i < 256; ++i)
        strAll.push_back(static_cast<char>(i));
    ASSERT_TRUE(m_peer.Write(strAll));
    std::string strRead;
    std::array<char, 64> buffer{};
    for (const auto deadline = Clock::now() + 2s; strRead.size() < strAll.size() && Clock::now() < deadline;) {
        const int nRead = m_port.Read(buffer.data(), static_cast<int>(buffer.size()), 250ms);
        ASSERT_GE(nRead, 0);
        strRead.append(buffer.data(), static_cast<std::size_t>(nRead));
    }
    EXPECT_EQ(strRead, strAll);

    ASSERT_TRUE(m_port.Write(strAll, 200ms));
    EXPECT_EQ(m_peer.ReadUntil(strAll.size(), 2s), strAll);
}

// ---- Write ----

TEST_F(PosixPortTest, WritePutsExactlyTheCommandsBytesOnTheLine) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(2400);
    EXPECT_TRUE(m_port.Write("?S\r", 200ms));
    EXPECT_EQ(m_peer.ReadFor(200ms), std::string("\x3F\x53\x0D"));
}

TEST_F(PosixPortTest, WriteThatCannotFinishInTimeFails) {
    ASSERT_TRUE(m_port.Open(m_peer.SlavePath()));
    m_port.Configure(9600);
    // The peer reads nothing, so the line fills up long before a mebibyte has gone.
    const std::string strFlood(1 << 20, 'x');
    const auto started = Clock::now();
    EXPECT_FALSE(m_port.Write(strFlood, 200ms));
    EXPECT_GE(Elapsed(started), 190ms);
    EXPECT_LT(Elapsed(started), 2000ms);
}

} // namespace

// ---- why an open failed, in the user's words

TEST(PosixPortOpenError, NamesTheReasonAndWhatToDo) {
    const struct {
        int nError;
        const char* pszWords;
    } rows[] = {
        {EACCES, "permission denied: add yourself to the dialout group and log in again"},
        {EPERM, "permission denied: add yourself to the dialout group and log in again"},
        {ENOENT, "no such device (unplugged?)"},
        {ENXIO, "no such device (unplugged?)"},
        {EBUSY, "in use by another program"},
        {EWOULDBLOCK, "in use by another program"},
        {0, "not a serial line"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CPosixPort::DescribeOpenError(row.nError), row.pszWords) << row.nError;
}

TEST(PosixPortOpenError, EachFailedOpenSaysWhy) {
    CTempDir dir;
    CPosixPort port;
    EXPECT_FALSE(port.Open(dir.File("missing")));
    EXPECT_EQ(port.OpenError(), "no such device (unplugged?)");
    std::ofstream(dir.File("plain")) << "x";
    EXPECT_FALSE(port.Open(dir.File("plain")));
    EXPECT_EQ(port.OpenError(), "not a serial line");
    CPtyPeer peer;
    CPosixPort holder;
    ASSERT_TRUE(holder.Open(peer.SlavePath()));
    EXPECT_TRUE(holder.OpenError().empty());
    EXPECT_FALSE(port.Open(peer.SlavePath()));
    EXPECT_EQ(port.OpenError(), "in use by another program");
}
