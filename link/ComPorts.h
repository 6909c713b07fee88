#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// COM numbers for serial adapters. Windows gives every USB serial adapter a COM number of its own and keeps it for
// that adapter. Here an adapter is known by its name under /dev/serial/by-id, and its number is the symbolic link
// ports/COM<n> (beside the program's files) that points to that name: every adapter that no link names yet gets
// the lowest free number from 3 to 20 the first time the program sees it, and keeps it across unplugging, other
// adapters and restarts. A link whose adapter is absent keeps its number. Numbers 1 and 2 are the built-in ports.
// On Windows the system numbers its ports itself (ComPortsWin.cpp): nothing is assigned, and the list names each
// present port by its device as the system calls it.

inline constexpr int kComPortCount = 20;
inline constexpr int kFirstAdapterPort = 3;
inline constexpr const char* kSerialByIdDirectory = "/dev/serial/by-id";

// An adapter's by-id name made readable: "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" is the model
// "FTDI FT232R USB UART" with the serial number "A50285BI".
struct CAdapterName {
    std::string m_strModel;
    std::string m_strSerial; // empty when the name carries none
};
CAdapterName ParseAdapterName(std::string_view byIdName);

// Gives every device in strSearchDirectory that no link in strDirectory/ports names yet the lowest free COM number
// from 3 to 20 (a number is free when ports/COM<n> does not exist at all). Devices are taken in the order of their
// names; one that finds no free number gets none. Nothing happens when the search directory is missing.
void AssignComNumbers(const std::string& strDirectory, const std::string& strSearchDirectory);

// The COM Port Settings list: COM 1 to COM 20 in order. An entry whose number names an adapter of
// strSearchDirectory that is present reads "COM 3 - FTDI FT232R USB UART" (with the serial number only when two
// present adapters share the model); any other entry reads "COM n". m_strDevice is what the number opens. A number
// served in this process (InProcessPorts.h) reads "COM 7 - simulated unit", with the description it was
// registered with, on every platform; its device says that it is served in this process.
struct CComPortEntry {
    std::string m_strText;
    std::string m_strDevice;
};
std::vector<CComPortEntry> DescribeComPorts(const std::string& strDirectory, const std::string& strSearchDirectory);
// The entry of a number served in this process ("COM 7 - simulated unit" and its in-process device), which takes
// the place of whatever the system has under that number; nothing for any other number.
std::optional<CComPortEntry> InProcessComPortEntry(int nPort);

// An entry of the list on Windows, from the name the system gives the port's device ("USB Serial Port (COM3)" for
// COM 3): "COM 3 - USB Serial Port". The port's own name in brackets at its end is dropped; an empty name gives
// "COM 3" alone.
std::string ComPortEntryText(int nPort, std::string_view deviceName);
