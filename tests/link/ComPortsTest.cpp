// COM numbers for USB serial adapters: the readable names, the numbers given on first sight and kept for each
// adapter, and the COM Port Settings list built from them. A temporary directory stands for /dev/serial/by-id and
// pseudo-terminals for the adapters.

#include "link/ComPorts.h"
#include "link/InProcessPorts.h"
#include "link/SerialLink.h"
#include "link/SerialPort.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using ::testing::ElementsAre;

namespace {

TEST(AdapterName, ModelAndSerialFromTheByIdName) {
    const struct {
        const char* pszById;
        const char* pszModel;
        const char* pszSerial;
    } rows[] = {
        {"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FTDI FT232R USB UART", "A50285BI"},
        {"usb-FTDI_FT232R_USB_UART-if00-port0", "FTDI FT232R USB UART", ""},
        {"usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0",
         "Prolific Technology Inc. USB-Serial Controller", ""},
        {"usb-1a86_USB2.0-Serial-if00-port0", "1a86 USB2.0-Serial", ""},
        {"usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0",
         "Silicon Labs CP2102 USB to UART Bridge Controller", "0001"},
        {"usb-Arduino__www.arduino.cc__0043_7543533303135190F1E1-if00", "Arduino www.arduino.cc 0043",
         "7543533303135190F1E1"},
        {"usb-FTDI_Dual_RS232_FT2ABCDE-if01-port0", "FTDI Dual RS232", "FT2ABCDE"},
        {"usb-Unit_X1-ifxx", "Unit X1-ifxx", ""},       // not an interface suffix: part of the name
        {"usb-Unit-if00-portx", "Unit-if00-portx", ""}, // nor this
        {"pci-serial_card", "pci-serial card", ""},
        {"A1B2C3D4", "A1B2C3D4", ""}, // a serial alone would leave no model
        {"", "", ""},
    };
    for (const auto& row : rows) {
        const CAdapterName name = ParseAdapterName(row.pszById);
        EXPECT_EQ(name.m_strModel, row.pszModel) << row.pszById;
        EXPECT_EQ(name.m_strSerial, row.pszSerial) << row.pszById;
    }
}

// The program's directory, a stand-in for /dev/serial/by-id, and adapters that come and go in it.
class ComNumbersTest : public ::testing::Test {
protected:
    void Plug(const std::string& strName) {
        m_adapters[strName] = std::make_unique<CPtyPeer>();
        fs::create_symlink(m_adapters[strName]->SlavePath(), ById(strName));
    }
    void Unplug(const std::string& strName) {
        fs::remove(ById(strName));
        m_adapters.erase(strName);
    }
    std::string ById(const std::string& strName) const { return m_byId.File(strName); }
    // The number whose link names the adapter, 0 when none does.
    int NumberOf(const std::string& strName) const {
        for (int nPort = 1; nPort <= kComPortCount; ++nPort) {
            std::error_code error;
            if (fs::read_symlink(ComPortLinkPath(m_dir.Path(), nPort), error) == fs::path(ById(strName)))
                return nPort;
        }
        return 0;
    }
    void Assign() { AssignComNumbers(m_dir.Path(), m_byId.Path()); }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const CComPortEntry& entry : DescribeComPorts(m_dir.Path(), m_byId.Path()))
            texts.push_back(entry.m_strText);
        return texts;
    }

    CTempDir m_dir;
    CTempDir m_byId;
    std::map<std::string, std::unique_ptr<CPtyPeer>> m_adapters;
};

const std::string kFtdi = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
const std::string kFtdiTwo = "usb-FTDI_FT232R_USB_UART_B7730001-if00-port0";
const std::string kProlific = "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0";
const std::string kCh340 = "usb-1a86_USB2.0-Serial-if00-port0";

TEST_F(ComNumbersTest, EachAdapterKeepsTheNumberItGotOnFirstSight) {
    Plug(kProlific);
    Assign();
    EXPECT_EQ(NumberOf(kProlific), 3);
    Plug(kCh340);
    Assign();
    EXPECT_EQ(NumberOf(kCh340), 4);
    EXPECT_EQ(NumberOf(kProlific), 3);

    Unplug(kProlific); // its number stays its own
    Plug(kFtdi);
    Assign();
    EXPECT_EQ(NumberOf(kFtdi), 5);
    EXPECT_EQ(NumberOf(kProlific), 3);

    Plug(kProlific);
    Assign(); // as after a restart of the program
    Assign();
    EXPECT_EQ(NumberOf(kProlific), 3);
    EXPECT_EQ(NumberOf(kCh340), 4);
    EXPECT_EQ(NumberOf(kFtdi), 5);
}

TEST_F(ComNumbersTest, NumbersOneAndTwoAndThoseInUseAreNeverGiven) {
    fs::create_directories(m_dir.File("ports"));
    CPtyPeer simulator;
    simulator.LinkAsPort(m_dir.Path(), 3);                            // a link of the user's own (the simulator's, say)
    std::ofstream(m_dir.File("ports/COM4")) << "";                    // even a plain file holds its number
    fs::create_symlink(m_dir.File("gone"), m_dir.File("ports/COM5")); // an adapter that is away
    Plug(kCh340);
    Assign();
    EXPECT_EQ(NumberOf(kCh340), 6);
    EXPECT_EQ(fs::read_symlink(m_dir.File("ports/COM3")), fs::path(simulator.SlavePath()));
}

TEST_F(ComNumbersTest, AdaptersBeyondTheTwentiethNumberGetNone) {
    for (int i = 0; i < 19; ++i)
        Plug("usb-Maker_Cable_" + std::to_string(1000 + i) + "-if00-port0");
    Assign();
    EXPECT_EQ(NumberOf("usb-Maker_Cable_1000-if00-port0"), 3);
    EXPECT_EQ(NumberOf("usb-Maker_Cable_1017-if00-port0"), 20);
    EXPECT_EQ(NumberOf("usb-Maker_Cable_1018-if00-port0"), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir.File("ports/COM21"))));
}

TEST_F(ComNumbersTest, NothingHappensWithoutTheSearchDirectory) {
    AssignComNumbers(m_dir.Path(), m_byId.File("missing"));
    EXPECT_FALSE(fs::exists(m_dir.File("ports")));
    EXPECT_EQ(Texts().front(), "COM 1");
}

TEST_F(ComNumbersTest, TheListNamesThePresentAdaptersAndTheSerialOnlyWhenTwoShareAModel) {
    Plug(kFtdi);
    Plug(kProlific);
    Assign();
    std::vector<std::string> expected;
    for (int n = 1; n <= 20; ++n)
        expected.push_back("COM " + std::to_string(n));
    expected[2] = "COM 3 - FTDI FT232R USB UART";
    expected[3] = "COM 4 - Prolific Technology Inc. USB-Serial Controller";
    EXPECT_EQ(Texts(), expected);

    Plug(kFtdiTwo);
    Assign();
    expected[2] = "COM 3 - FTDI FT232R USB UART A50285BI";
    expected[4] = "COM 5 - FTDI FT232R USB UART B7730001";
    EXPECT_EQ(Texts(), expected);

    Unplug(kProlific); // absent: plain again, the number kept
    expected[3] = "COM 4";
    EXPECT_EQ(Texts(), expected);
    const std::vector<CComPortEntry> entries = DescribeComPorts(m_dir.Path(), m_byId.Path());
    EXPECT_EQ(entries[3].m_strDevice, m_dir.File("ports/COM4"));
    EXPECT_EQ(entries[0].m_strDevice, "/dev/ttyS0");
}

TEST_F(ComNumbersTest, ANumberServedInTheProcessIsListedAsItsDeviceWhileItLasts) {
    Plug(kFtdi);
    Assign();
    ASSERT_EQ(NumberOf(kFtdi), 3);
    {
        const CInProcessPortRegistration registration(3, "simulated unit", [] { return nullptr; });
        EXPECT_EQ(Texts()[2], "COM 3 - simulated unit");
        EXPECT_EQ(DescribeComPorts(m_dir.Path(), m_byId.Path())[2].m_strDevice, InProcessPortDevice(3));
    }
    EXPECT_EQ(Texts()[2], "COM 3 - FTDI FT232R USB UART"); // the adapter's number and link are untouched
    EXPECT_EQ(NumberOf(kFtdi), 3);
}

TEST_F(ComNumbersTest, TheLinkOpensTheAdapterByItsNumber) {
    Plug(kCh340);
    Assign();
    CSerialLink link;
    ASSERT_TRUE(link.OpenDevice(PortDevicePath(3, m_dir.Path(), true), 9600));
    ASSERT_TRUE(link.Write("?S\r"));
    EXPECT_EQ(m_adapters[kCh340]->ReadUntil(3, std::chrono::seconds{2}), "?S\r");
    link.Close();
}

} // namespace
