#pragma once

#include "link/DeviceOperation.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

class CProgramStore;

// Commands and replies that move programs between the device and the store.

inline constexpr int kProgramFileCount = 9; // "P0" to "P8": the programs the dialog offers, saves and uploads
inline constexpr int kDownloadFirstProgram = 1;
inline constexpr int kDownloadLastProgram = 8;
inline constexpr int kDownloadRowsPerProgram = 32;        // the device is asked rows 00 to 31
inline constexpr int kIntervalsPerProgram = 10;           // CD0 to CD9
inline constexpr int kDownloadRequests = 8 * 32 + 8 * 10; // 336: the progress bar's range
inline constexpr auto kTransferPace = std::chrono::milliseconds{60};

// "?L" + program digit + row as two digits + "\r", e.g. "?L100\r".
std::string BuildRequestRow(int nProgram, int nRow);
// "?C" + program digit + interval digit + "\r", e.g. "?C19\r".
std::string BuildRequestInterval(int nProgram, int nInterval);
// "=L" + program + row (at least two digits) + the two codes + "\r", e.g. "=L10031\r". A setting without a code
// is sent as code 0, the first choice of its list.
std::string BuildSetRow(int nProgram, int nRow, std::optional<int> first, std::optional<int> second);
// "=W" + program + interval digit + the interval text without any ":" + "\r", e.g. "=W10130\r".
std::string BuildSetInterval(int nProgram, int nInterval, std::string_view text);

// The three transfer sequences, one command at the fixed pace with no wait for an answer.
// Download: arm the transfer timer, then "?L" for programs 1 to 8 and rows 00 to 31, then "?C" for programs 1 to 8
// and intervals 0 to 9; after each request the pace, then pending window messages run.
CDeviceOperation DownloadOperation();
// Upload of details: "=L" for rows 0 to RowCount()-1 of the program; after each, pending window messages run and
// then the pace.
CDeviceOperation UploadDetailsOperation(const CProgramStore& store, int nProgram);
// Upload of intervals: "=W" for CD0 to CD9 with the texts given; after each the pace, and no window message runs.
using CIntervalTexts = std::array<std::string, kIntervalsPerProgram>;
CDeviceOperation UploadIntervalsOperation(int nProgram, const CIntervalTexts& texts);

// Decodes one received line ("L?" detail row or "C?" interval) into the store. Program, row and interval fields
// are decimals, a field without digits (or beyond the end of the line) reading as 0. True when the line was such
// a reply, which steps the progress bar; a reply for a program, row, interval or code outside the store's tables
// changes nothing in the store but still counts.
bool ParseTransferReply(std::string_view line, CProgramStore& store);
