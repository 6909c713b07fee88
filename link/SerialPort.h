#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// One serial port as the link needs it. The system implementations are CPosixPort (termios, Linux and macOS) and
// CWinPort (Windows); tests put a scripted fake in its place to hand out bytes per read, fail a read or time a write
// out.
class CSerialPort {
public:
    virtual ~CSerialPort() = default;

    // Opens the device for reading and writing, exclusively: a second open of the same device, by this process or
    // another, fails. False when the device does not exist or is in use.
    virtual bool Open(const std::string& strDevice) = 0;
    // Why the last Open failed, in words for the user ("permission denied: ..."); empty after a successful Open.
    virtual std::string OpenError() const { return {}; }
    // 8 data bits, no parity, 1 stop bit, raw, no flow control, DTR and RTS not asserted. The caller ignores the
    // result, as it ignores every configuration step.
    virtual bool Configure(int nBaudRate) = 0;
    // Returns at once with up to nMax waiting bytes; with none waiting, waits up to `timeout` for the first byte
    // and returns as soon as any arrives. 0 after `timeout` of silence; -1 on an error, a vanished device included.
    virtual int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) = 0;
    // Waits up to `timeout` for received bytes without taking them: true as soon as a read would return at once
    // (bytes, or the error of a vanished device), false after `timeout` of silence. The link waits here without
    // holding the port, so that a command written meanwhile goes out at once. A port that cannot wait apart from
    // reading says true and lets Read do the waiting.
    virtual bool WaitForInput(std::chrono::milliseconds timeout) {
        (void)timeout;
        return true;
    }
    // After a Read that returned -1: true when the device itself has gone (unplugged, switched off, hung up), so that
    // every later read would fail too; false for an error that may pass.
    virtual bool HasVanished() const { return false; }
    // Writes all of data within `timeout`; false when it fails or times out.
    virtual bool Write(std::string_view data, std::chrono::milliseconds timeout) = 0;
    // Discards every received byte not yet read.
    virtual void PurgeInput() = 0;
    virtual void Close() = 0;
};

// Makes a new, closed port each time it is called: the link opens the port it gets, and after a vanished device
// opens a fresh one the same way.
using SerialPortFactory = std::function<std::unique_ptr<CSerialPort>()>;

// The port of this platform (CPosixPort on Linux and macOS, CWinPort on Windows).
std::unique_ptr<CSerialPort> CreateSystemPort();

// The name ports/COM<n> in strDirectory: a symbolic link there names the device COM port n opens.
std::string ComPortLinkPath(const std::string& strDirectory, int nPort);
// The device that COM port nPort (1-based) opens, by rule: the link ports/COM<n> in strDirectory when it is present
// (even when it points nowhere: a device that has gone must not turn into a built-in port), otherwise the built-in
// serial line /dev/ttyS<n-1>. On Windows, which names its ports itself, always "\\.\COM<n>".
std::string PortDevicePath(int nPort, const std::string& strDirectory, bool bLinkPresent);
// The same for the running program: the link is looked for in its files directory (FilesDirectory).
std::string PortDevicePath(int nPort);
