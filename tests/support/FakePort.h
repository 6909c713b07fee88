#pragma once

#include "link/SerialLink.h"
#include "link/SerialPort.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

// A serial port whose reads follow a script: bytes handed out per read, a silent read, a failed read, a read that
// overstays, a device that has vanished, a write that times out. It records what was written and how it was
// used. Made shared, it gives a link a factory whose ports all act on it, so the script and the record outlive
// each opening. Thread-safe: the link's reader and the test's thread use it at once.
class CFakePort : public CSerialPort, public std::enable_shared_from_this<CFakePort> {
public:
    // Steps for the reads to come, in order; PurgeInput drops the steps not yet read, as a real port drops the
    // bytes that wait in it. With no step left a read is silent, or takes the next step as soon as it is pushed.
    // One read returns these bytes (no more than the reader asks for; the rest comes with the next read).
    void PushBytes(std::string strBytes);
    // One read returns no byte after its whole timeout.
    void PushSilence();
    // One read fails at once.
    void PushFailure();
    // One read takes `duration`, whatever its timeout, and returns no byte.
    void PushStall(std::chrono::milliseconds duration);
    // Every read fails at once, as on a device that was unplugged.
    void SetVanished(bool bVanished);
    void SetOpenFails(bool bFails);
    // Every write fails after waiting its whole timeout.
    void SetWriteTimesOut(bool bTimesOut);
    // Waits until every scripted read has been made; false after `timeout`.
    bool WaitScriptDone(std::chrono::milliseconds timeout);

    std::string Written() const;
    int Reads() const;
    int Opens() const;
    // Every Open, also those that failed.
    int OpenAttempts() const;
    int Closes() const;
    int Purges() const;
    int BaudRate() const;
    std::string Device() const;
    bool IsOpen() const;
    // A read or write on a closed port, or an open of a port that was not closed.
    bool Misused() const;
    // The threads that have read since the last ForgetReaders().
    std::set<std::thread::id> Readers() const;
    void ForgetReaders();
    // Ports handed out by Factory() and not yet destroyed.
    int LivePorts() const;
    // Makes ports that all act on this one; the object must be owned by a shared_ptr.
    CSerialLink::PortFactory Factory();

    bool Open(const std::string& strDevice) override;
    bool Configure(int nBaudRate) override;
    int Read(char* pBuffer, int nMax, std::chrono::milliseconds timeout) override;
    bool Write(std::string_view data, std::chrono::milliseconds timeout) override;
    void PurgeInput() override;
    void Close() override;
    // While SetVanished(true) holds, a failed read is one of a device that has gone; a scripted failure is not.
    bool HasVanished() const override;

private:
    struct SStep {
        enum class EKind { kBytes, kSilence, kFailure, kStall } eKind;
        std::string strBytes;
        std::chrono::milliseconds duration{0};
    };
    class CHandle;

    void Push(SStep step);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<SStep> m_script;
    bool m_bVanished = false;
    bool m_bOpenFails = false;
    bool m_bWriteTimesOut = false;
    bool m_bOpen = false;
    bool m_bMisused = false;
    int m_nReads = 0;
    int m_nOpens = 0;
    int m_nOpenAttempts = 0;
    int m_nCloses = 0;
    int m_nPurges = 0;
    int m_nBaudRate = 0;
    int m_nLivePorts = 0;
    bool m_bReading = false; // a scripted read is between taking its step and returning
    std::string m_strDevice;
    std::string m_strWritten;
    std::set<std::thread::id> m_readers;
};
