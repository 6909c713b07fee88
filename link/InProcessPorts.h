#pragma once

#include "link/SerialPort.h"

#include <memory>
#include <optional>
#include <string>

// Serial ports served inside the program's own process, by COM number: the simulated unit of a training session,
// the recording peer of a test. Windows has no pseudo-terminals, so a device that lives in the program cannot
// appear there as a port of the system; it is registered here instead, on every platform alike.
//
// While COM n is registered, CSerialLink::Open(n, ...) opens it through the registered factory in place of the
// system's device of that number, and the COM Port Settings list reads "COM <n> - <description>". Everything else
// of the link stays as it is: its reader thread, framing and reconnection.
//
// - A registered port is opened exclusively, as a real COM port is: while a port of the number is open, another
//   Open of it fails ("in use").
// - A number is served by one registration at a time: registering a number that is served already is refused
//   (std::logic_error), so that two devices never answer on one line and a registration never changes what an
//   earlier one's owner finds.
// - When a registration goes while a port of it is open, that port acts as an unplugged device: its reads fail and
//   HasVanished says so, its writes fail. A link then tries the number again every half second and takes it up
//   again as soon as it is registered anew, as it does with a USB adapter plugged back in.
//
// A port that the factory made may live on after its registration (until the link holding it closes it), so it
// must own whatever it uses (through a std::shared_ptr). The factory is called with no lock held.
class CInProcessPortRegistration {
public:
    // Serves COM nPort with the ports that factory makes; strDescription names the device in the COM port list
    // ("simulated unit"). Throws std::logic_error when nPort is served already.
    CInProcessPortRegistration(int nPort, std::string strDescription, SerialPortFactory factory);
    // Ends the serving: a port of it still open turns into a vanished device.
    ~CInProcessPortRegistration();
    CInProcessPortRegistration(const CInProcessPortRegistration&) = delete;
    CInProcessPortRegistration& operator=(const CInProcessPortRegistration&) = delete;

    int Port() const { return m_nPort; }

    struct SEntry; // the registry's record of one registration

private:
    int m_nPort;
    std::shared_ptr<SEntry> m_entry;
};

// True while COM nPort is served in this process.
bool IsInProcessPort(int nPort);
// The description COM nPort was registered with; nothing while it is not served in this process.
std::optional<std::string> InProcessPortDescription(int nPort);
// What COM port nPort opens while it is served in this process, as the COM port list shows it: "COM7 (served in
// this process)".
std::string InProcessPortDevice(int nPort);
// A closed port that takes COM nPort as it is registered when it is opened: its Open fails, with a reason in
// OpenError, while the number is not served or while another port of it is open.
std::unique_ptr<CSerialPort> CreateInProcessPort(int nPort);
