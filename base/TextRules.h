#pragma once

#include <string>
#include <string_view>

// Small rules on text that the protocol, the files and the settings share. Every byte is one character; letter
// case is ASCII's (other bytes compare as they are).

// Blanks are spaces and tabs.
bool IsBlank(char c);
// White space: blanks, carriage return, line feed, vertical tab and form feed.
bool IsWhiteSpace(char c);
std::string_view TrimBlanks(std::string_view text);
std::string_view TrimWhiteSpace(std::string_view text);

bool IsDigit(char c); // "0" to "9"
// The digits at text[nFirst, nFirst + nCount) as a number, or -1 when one of them is no digit or the text ends first.
int Digits(std::string_view text, std::size_t nFirst, std::size_t nCount);

char LowerAscii(char c);
bool EqualsIgnoringCase(std::string_view left, std::string_view right);
bool BeginsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);

// A field of a CSV file (RFC 4180 with the separator given): in quotes, with its quotes doubled, when it holds the
// separator, a quote, a CR or an LF; else as it is.
std::string CsvField(std::string_view text, char cSeparator);

// Every device command ends in one carriage return.
inline constexpr char kCommandEnd = '\r';
// A value inside a command never carries a command's end: a CR or LF in it would cut the command in two and send
// its tail to the device as a command of its own. Both are removed; every other byte stays.
std::string CommandValue(std::string_view value);
