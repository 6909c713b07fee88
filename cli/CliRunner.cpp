#include "cli/CliRunner.h"

#include "base/ExecutableDirectory.h"
#include "base/FileLocations.h"
#include "base/Files.h"
#include "base/TextRules.h"
#include "base/Utf8.h"
#include "cli/CliFormats.h"
#include "cli/Interrupt.h"
#include "cli/Terminal.h"
#include "console/ClockOffset.h"
#include "console/ConsoleProtocol.h"
#include "console/LiveFeed.h"
#include "i18n/Language.h"
#include "link/ComPorts.h"
#include "link/SerialPort.h"
#include "live/LiveShare.h"
#include "memory/MemoryExport.h"
#include "memory/MemoryProtocol.h"
#include "programs/ProgramStore.h"
#include "programs/TransferCodec.h"
#include "settings/Settings.h"
#include "startlist/StartListFile.h"
#include "startlist/TimeOfDay.h"

#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A monitor without --seconds runs until Ctrl+C.
constexpr auto kUntilInterrupted = std::chrono::milliseconds::max();

EMonitorFormat MonitorFormat(ECliFormat eFormat) {
    switch (eFormat) {
    case ECliFormat::Csv:
        return EMonitorFormat::Csv;
    case ECliFormat::Jsonl:
        return EMonitorFormat::Jsonl;
    default:
        return EMonitorFormat::Text;
    }
}

// A command quoted for a message, without its carriage return.
std::string Quoted(std::string strCommand) {
    if (!strCommand.empty() && strCommand.back() == kCommandEnd)
        strCommand.pop_back();
    return "\"" + Utf8Text(strCommand) + "\"";
}

} // namespace

CCliRunner::CCliRunner(CCliArguments arguments, std::FILE* out, std::FILE* err)
    : m_arguments(std::move(arguments)), m_out(out), m_err(err), m_nPort(kDefaultPort), m_nBaudRate(kDefaultBaudRate),
      m_link([this](const std::string& strMessage) {
          m_bOpenFailed = true;
          const std::string strReason = m_link.LastOpenError();
          Error(strMessage + ": " + PortName() + (strReason.empty() ? std::string() : ": " + strReason));
      }) {}

int CCliRunner::Run() {
    if (m_arguments.m_eCommand == ECliCommand::Help) {
        Print(CliUsage());
        return kExitDone;
    }
    if (m_arguments.m_strDirectory)
        SetExecutableDirectory(*m_arguments.m_strDirectory);
    // The port and baud rate as the Read Memory and Parameters dialogs take them, then what the command line says.
    ReadLinkSettings(GetConfigPath()).ApplyTo(m_nPort, m_nBaudRate);
    if (m_arguments.m_nPort)
        m_nPort = *m_arguments.m_nPort;
    if (m_arguments.m_nBaudRate)
        m_nBaudRate = *m_arguments.m_nBaudRate;

    switch (m_arguments.m_eCommand) {
    case ECliCommand::Help:
        break;
    case ECliCommand::Ports:
        return RunPorts();
    case ECliCommand::Get:
        return RunGet();
    case ECliCommand::SetProgram:
        return RunAcknowledged(SetProgramOperation(m_arguments.m_strValue), BuildSetProgram(m_arguments.m_strValue),
                               IsSetAcknowledgement);
    case ECliCommand::SetCountdown: {
        const std::string strEntry = CountdownEntry(m_arguments.m_nNumber);
        return RunAcknowledged(SetCountdownNumberOperation(strEntry), BuildSetCountdownNumber(strEntry),
                               IsSetAcknowledgement);
    }
    case ECliCommand::SetBrightness:
        return RunAcknowledged(SetBrightnessOperation(m_arguments.m_strValue),
                               BuildSetBrightness(m_arguments.m_strValue), IsSetAcknowledgement);
    case ECliCommand::SetClock:
        return RunSetClock();
    case ECliCommand::Master:
        return RunAcknowledged(MasterOperation(), kCmdMaster, IsModeAcknowledgement);
    case ECliCommand::Slave:
        return RunAcknowledged(SlaveOperation(), kCmdSlave, IsModeAcknowledgement);
    case ECliCommand::Monitor:
        return RunMonitor();
    case ECliCommand::MemoryRead:
        return RunMemoryRead();
    case ECliCommand::MemoryErase:
        return RunMemoryErase();
    case ECliCommand::ProgramsDownload:
        return RunDownload();
    case ECliCommand::ProgramsUpload:
        return RunUpload();
    }
    return kExitDone;
}

// ---- the line

COperationHooks CCliRunner::DefaultHooks() const {
    COperationHooks hooks;
    hooks.m_wait = [](std::chrono::milliseconds wait) {
        std::this_thread::sleep_for(wait);
    };
    hooks.m_stopRequested = [this] {
        return m_bOpenFailed || InterruptRequested();
    };
    hooks.m_leastReplyWait = kReplyTimeout;
    return hooks;
}

COperationResult CCliRunner::RunOperation(const CDeviceOperation& operation, COperationHooks hooks) {
    if (m_arguments.m_strDevice)
        return RunDeviceOperation(m_link, *m_arguments.m_strDevice, m_nBaudRate, operation, hooks);
    return RunDeviceOperation(m_link, m_nPort, m_nBaudRate, operation, hooks);
}

std::string CCliRunner::PortName() const {
    if (m_arguments.m_strDevice)
        return *m_arguments.m_strDevice;
    return "COM " + std::to_string(m_nPort) + " (" + PortDevicePath(m_nPort) + ")";
}

int CCliRunner::NoReply(const std::string& strWhat) {
    Error("no reply to " + strWhat + " from the unit on " + PortName() + " within " +
          std::to_string(kReplyTimeout.count()) + " ms");
    return kExitNoReply;
}

void CCliRunner::Print(const std::string& strText) {
    std::fwrite(strText.data(), 1, strText.size(), m_out);
    std::fflush(m_out);
}

void CCliRunner::Error(const std::string& strText) {
    const std::string strLine = "kalvora-cli: " + strText + "\n";
    std::fwrite(strLine.data(), 1, strLine.size(), m_err);
    std::fflush(m_err);
}

std::string CCliRunner::ProgramDirectory() const {
    return m_arguments.m_strProgramDirectory.value_or(FilesDirectory());
}

bool CCliRunner::LoadStartList(std::optional<CStartList>& list) {
    if (!m_arguments.m_strStartList)
        return true;
    const std::string& strFile = *m_arguments.m_strStartList;
    CStartListRead read = ReadStartListFile(strFile);
    if (!read.m_list) {
        Error("cannot read the start list " + strFile + ": " + read.m_strError);
        return false;
    }
    for (const CStartListProblem& problem : read.m_list->Problems())
        Error("start list " + strFile + ", line " + std::to_string(problem.m_nLine) + ": " + problem.m_strReason);
    list = std::move(read.m_list);
    return true;
}

// ---- commands

int CCliRunner::RunPorts() {
    // The COM Port Settings list: an adapter seen for the first time gets its number, one that is there its name.
    AssignComNumbers(FilesDirectory(), kSerialByIdDirectory);
    for (const CComPortEntry& entry : DescribeComPorts(FilesDirectory(), kSerialByIdDirectory)) {
        const std::unique_ptr<CSerialPort> port = CreateSystemPort();
        const bool bOpened = port->Open(entry.m_strDevice);
        const std::string strError = bOpened ? std::string() : port->OpenError();
        port->Close();
        Print(FormatPortLine(entry.m_strText, entry.m_strDevice, strError, bOpened));
    }
    return kExitDone;
}

int CCliRunner::RunGet() {
    std::optional<CCurrentValues> values;
    COperationHooks hooks = DefaultHooks();
    hooks.m_collect = [&](const std::string& strLine) {
        values = ParseCurrentValues(strLine);
        return values ? EReplyLine::Complete : EReplyLine::Other;
    };
    RunOperation(GetCurrentValuesOperation(), hooks);
    if (m_bOpenFailed)
        return kExitNoPort;
    if (!values)
        return NoReply(Quoted(kCmdGetCurrentValues));
    Print(m_arguments.m_eFormat == ECliFormat::Json ? FormatCurrentValuesJson(*values)
                                                    : FormatCurrentValuesText(*values));
    return kExitDone;
}

COperationHooks CCliRunner::AcknowledgementHooks(const LineTest& isAcknowledgement, std::string& strAcknowledgement) {
    COperationHooks hooks = DefaultHooks();
    hooks.m_collect = [isAcknowledgement, &strAcknowledgement](const std::string& strLine) {
        if (!isAcknowledgement(strLine))
            return EReplyLine::Other;
        strAcknowledgement = strLine;
        return EReplyLine::Complete;
    };
    return hooks;
}

int CCliRunner::RunAcknowledged(const CDeviceOperation& operation, const std::string& strCommand,
                                const LineTest& isAcknowledgement) {
    std::string strAcknowledgement;
    RunOperation(operation, AcknowledgementHooks(isAcknowledgement, strAcknowledgement));
    if (m_bOpenFailed)
        return kExitNoPort;
    if (strAcknowledgement.empty())
        return NoReply(Quoted(strCommand));
    Print("acknowledged: " + Utf8Text(strAcknowledgement) + "\n");
    return kExitDone;
}

int CCliRunner::RunSetClock() {
    std::string strAcknowledgement;
    const COperationResult result = RunOperation(SetClockOperation(m_arguments.m_strValue),
                                                 AcknowledgementHooks(IsSetAcknowledgement, strAcknowledgement));
    if (m_bOpenFailed)
        return kExitNoPort;
    if (!result.m_timedWrite || !result.m_timedWrite->m_bWritten) {
        Error("the clock could not be written to " + PortName());
        return kExitNoReply;
    }
    Print(FormatClockSet(*result.m_timedWrite));
    if (strAcknowledgement.empty())
        return NoReply(Quoted(result.m_timedWrite->m_strCommand));
    return kExitDone;
}

bool CCliRunner::StartLivePage(CLiveServer& server) {
    const CServeAddress& serve = *m_arguments.m_serve;
    LoadNamedLanguage(ReadLinkSettings(GetConfigPath()).m_strLanguage);
    server.SetTexts(LiveTextsOf(CurrentLanguage()));
    const CLiveServer::CStartResult result =
        server.Start(serve.m_strAddress, static_cast<unsigned short>(serve.m_nPort));
    const std::string strAddress =
        serve.m_strAddress.find(':') != std::string::npos ? "[" + serve.m_strAddress + "]" : serve.m_strAddress;
    if (!result.m_bOk) {
        Error("cannot serve the live page on " + (strAddress.empty() ? "port" : strAddress + " port") + " " +
              std::to_string(serve.m_nPort) + ": " + result.m_strError);
        return false;
    }
    // Where a viewer finds it: each address of this computer on the venue's network, or the one it was given.
    std::vector<std::string> hosts;
    if (strAddress.empty()) {
        hosts = LocalIPv4Addresses();
        hosts.push_back("localhost");
    } else {
        hosts.push_back(strAddress);
    }
    for (const std::string& strHost : hosts)
        Error("live page at " + LivePageUrl(strHost, server.Port()));
    return true;
}

int CCliRunner::RunMonitor() {
    std::optional<CStartList> readList;
    if (!LoadStartList(readList))
        return kExitFileFault;
    // One list for the columns and the page's names.
    const std::shared_ptr<const CStartList> startList =
        readList ? std::make_shared<const CStartList>(std::move(*readList)) : nullptr;
    const EMonitorFormat eFormat = MonitorFormat(m_arguments.m_eFormat);
    // monitor --serve: the live page, from the lines as they come, with the start list's names and the unit's clock.
    std::unique_ptr<CLiveServer> server;
    CLiveFeed feed;
    feed.SetStartList(startList);
    if (m_arguments.m_serve) {
        server = std::make_unique<CLiveServer>();
        if (!StartLivePage(*server))
            return kExitNoServe;
    }
    const auto publish = [&] {
        if (server)
            server->Publish(feed.State());
    };
    int nRecognised = 0;
    CMonitorResume resume;
    // The unit's clock against this computer's, from every start line; told on standard error once it is off by
    // more than half a second, and again each time it comes back and goes off again.
    CClockOffset clock;
    bool bWarned = false;
    const auto show = [&](const CReceivedLine& received) {
        const CMonitorLine line = ParseMonitorLine(received.m_strText);
        resume.Take(line);
        if (clock.Take(line, received.m_strText.size(), TimeSinceLocalMidnight(received.m_arrived), m_nBaudRate))
            feed.SetClockOffset(clock.Offset());
        if (clock.IsBeyondWarning() != bWarned) {
            bWarned = clock.IsBeyondWarning();
            if (bWarned)
                Error(ClockOffsetText(*clock.Offset()));
        }
        feed.Take(line);
        publish();
        if (!line.Recognised())
            return;
        ++nRecognised;
        CMonitorStart start;
        if (line.m_bStart) {
            start.m_bStartList = startList != nullptr;
            start.m_clockOffset = clock.Offset();
            start.m_pStarter = startList ? startList->Find(line.m_strStartNumber) : nullptr;
            const std::optional<std::int64_t> actualMs = ParseTimeOfDay(line.m_strStartTime);
            if (start.m_pStarter && start.m_pStarter->m_plannedMs && actualMs)
                start.m_differenceMs = TimeOfDayDifference(*actualMs, *start.m_pStarter->m_plannedMs);
        }
        Print(FormatMonitorLine(line, LocalTimeOf(received.m_arrived), eFormat, start));
    };
    if (eFormat == EMonitorFormat::Csv)
        Print(MonitorCsvHeader());

    // "?D" switches the stream on and, sent again, off: the second one goes out at the end and on Ctrl+C alike.
    CDeviceOperation monitor;
    monitor.Write(kCmdMonitorToggle).Wait(m_arguments.m_duration.value_or(kUntilInterrupted));
    monitor.Write(kCmdMonitorToggle);
    COperationHooks hooks;
    hooks.m_stopRequested = [this] {
        return m_bOpenFailed;
    };
    // The wait shows the stream as it comes; Ctrl+C ends it early.
    hooks.m_wait = [&](std::chrono::milliseconds duration) {
        const auto started = Clock::now();
        const auto elapsed = [&] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
        };
        resume.Start(m_link.ReopenCount());
        feed.SetMonitoring(true);
        publish();
        auto nextTick = Clock::now() + kLiveTick;
        while (!InterruptRequested() && elapsed() < duration) {
            DrainReceivedLines(m_link, show);
            // The link opened the unit again by itself after it had gone: its stream on again if it is off.
            if (resume.Tick(m_link.ReopenCount(), CMonitorResume::Clock::now()))
                m_link.Write(kCmdMonitorToggle);
            if (Clock::now() >= nextTick) {
                feed.EndTick();
                publish();
                nextTick = Clock::now() + kLiveTick;
            }
            std::this_thread::sleep_for(kPollPause);
        }
    };
    RunOperation(monitor, hooks);
    DrainReceivedLines(m_link, show); // what came before the stream stopped
    if (server) {
        feed.SetMonitoring(false);
        publish();
        std::this_thread::sleep_for(kLiveFarewell);
        server->Stop();
    }
    if (m_bOpenFailed)
        return kExitNoPort;
    if (nRecognised == 0) {
        Error("no monitor line from the unit on " + PortName());
        return kExitNoReply;
    }
    return kExitDone;
}

int CCliRunner::RunMemoryRead() {
    std::optional<CStartList> startList;
    if (!LoadStartList(startList))
        return kExitFileFault;
    const CStartList* pList = startList ? &*startList : nullptr;
    // The Read Memory dialog's rows: entries in order of arrival, those past its last row neither shown nor saved.
    std::vector<CMemoryCells> rows;
    bool bReplied = false;
    COperationHooks hooks = DefaultHooks();
    hooks.m_collect = [&](const std::string& strLine) {
        const CMemoryReply reply = ParseMemoryReply(strLine);
        switch (reply.m_kind) {
        case EMemoryReply::Entry:
            bReplied = true;
            if (rows.size() < static_cast<std::size_t>(kMemoryRows))
                rows.push_back(reply.m_cells);
            return EReplyLine::Part;
        case EMemoryReply::Empty: // the empty memory is the whole reply
            bReplied = true;
            return EReplyLine::Complete;
        default:
            return EReplyLine::Other;
        }
    };
    // The first line within the reply time-out, then each next one within the quiet time.
    CDeviceOperation read;
    read.Write(kCmdReadMemory).Collect(kReplyTimeout, kMemoryQuietTime);
    RunOperation(read, hooks);
    if (m_bOpenFailed)
        return kExitNoPort;
    if (!bReplied)
        return NoReply(Quoted(kCmdReadMemory));

    // Without a start list csv and json are what they always were; with one, the files for results programs.
    std::string strText;
    switch (m_arguments.m_eFormat) {
    case ECliFormat::Csv:
        strText = pList ? BuildMemoryExportOf(EMemoryExport::Csv, rows, pList, {}) : FormatMemoryCsv(rows);
        break;
    case ECliFormat::Json:
        strText = pList ? BuildStartsJson(MatchStarts(ActualStarts(rows), pList)) : FormatMemoryJson(rows);
        break;
    case ECliFormat::Iof:
        strText = BuildMemoryExportOf(EMemoryExport::IofXml, rows, pList,
                                      ComputerExportContext(std::chrono::system_clock::now()));
        break;
    default:
        strText = BuildMemoryExport(rows);
        break;
    }
    if (!m_arguments.m_strOutputFile) {
        Print(strText);
        return kExitDone;
    }
    if (!WriteFileReplacing(*m_arguments.m_strOutputFile, strText)) {
        Error("cannot write " + *m_arguments.m_strOutputFile);
        return kExitFileFault;
    }
    return kExitDone;
}

int CCliRunner::RunMemoryErase() {
    bool bErased = false;
    COperationHooks hooks = DefaultHooks();
    hooks.m_collect = [&](const std::string& strLine) {
        if (ParseMemoryReply(strLine).m_kind != EMemoryReply::Erased)
            return EReplyLine::Other;
        bErased = true;
        return EReplyLine::Complete;
    };
    CDeviceOperation erase;
    erase.Write(kCmdEraseMemory).Collect(kReplyTimeout);
    RunOperation(erase, hooks);
    if (m_bOpenFailed)
        return kExitNoPort;
    if (!bErased)
        return NoReply(Quoted(kCmdEraseMemory));
    Print("erased\n");
    return kExitDone;
}

int CCliRunner::RunDownload() {
    const std::string strDirectory = ProgramDirectory();
    CProgramStore store;
    int nReplies = 0;
    const bool bProgress = IsTerminal(m_err);
    const auto decode = [&](const std::string& strLine) {
        if (ParseTransferReply(strLine, store))
            ++nReplies;
    };
    COperationHooks hooks = DefaultHooks();
    // The dialog's pace: each pause as long as the dialog's, the replies decoded meanwhile as its timer does.
    hooks.m_wait = [&](std::chrono::milliseconds wait) {
        std::this_thread::sleep_for(wait);
        DrainLines(m_link, decode);
    };
    hooks.m_pump = [&] {
        if (!bProgress)
            return;
        const std::string strLine =
            "\rdownload: " + std::to_string(nReplies) + " of " + std::to_string(kDownloadRequests) + " replies";
        std::fwrite(strLine.data(), 1, strLine.size(), m_err);
        std::fflush(m_err);
    };
    RunOperation(DownloadOperation(), hooks);
    DrainLines(m_link, decode); // the link is closed: every reply is queued
    if (bProgress && !m_bOpenFailed)
        std::fputs("\n", m_err); // the progress line ends
    if (m_bOpenFailed)
        return kExitNoPort;
    if (nReplies < kDownloadRequests) {
        Error("download incomplete: " + std::to_string(nReplies) + " of " + std::to_string(kDownloadRequests) +
              " replies from the unit on " + PortName() + "; no program file written");
        return kExitNoReply;
    }
    // Each program as the Parameters dialog saves it after a download: the rows its file had, or, without a file of
    // rows, the rows the download filled.
    for (int nProgram = kDownloadFirstProgram; nProgram <= kDownloadLastProgram; ++nProgram) {
        const std::string strName = ProgramName(nProgram);
        store.SetRowCount(
            ShownRows(store.FileRows(nProgram, strName, strDirectory), 0, store.FilledRowCount(nProgram)));
        const std::string strFile = strDirectory + "/" + strName + ".txt";
        if (!store.SaveProgramFile(nProgram, strName, strDirectory)) {
            Error("cannot write " + strFile);
            return kExitFileFault;
        }
        Print("saved: " + strFile + " (" + std::to_string(store.RowCount()) + " rows)\n");
    }
    return kExitDone;
}

int CCliRunner::RunUpload() {
    const int nProgram = m_arguments.m_nNumber;
    const std::string strName = ProgramName(nProgram);
    const std::string strDirectory = ProgramDirectory();
    CProgramStore store;
    if (!store.LoadProgramFile(nProgram, strName, strDirectory)) {
        Error("cannot read " + strDirectory + "/" + strName + ".txt");
        return kExitFileFault;
    }
    if (m_arguments.m_bDetails) {
        RunOperation(UploadDetailsOperation(store, nProgram), DefaultHooks());
        if (m_bOpenFailed)
            return kExitNoPort;
        Print("sent: " + strName + " details, " + std::to_string(store.RowCount()) + " rows\n");
    }
    if (m_arguments.m_bIntervals && !InterruptRequested()) {
        // The intervals as the dialog's list shows them: the file's texts.
        CIntervalTexts texts;
        for (int nInterval = 0; nInterval < kIntervalsPerProgram; ++nInterval)
            texts[static_cast<std::size_t>(nInterval)] = store.GetInterval(nProgram, nInterval);
        RunOperation(UploadIntervalsOperation(nProgram, texts), DefaultHooks());
        if (m_bOpenFailed)
            return kExitNoPort;
        Print("sent: " + strName + " intervals CD0 to CD9\n");
    }
    return kExitDone;
}
