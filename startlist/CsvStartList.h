#pragma once

#include "startlist/StartList.h"

#include <string_view>

// A start list as a spreadsheet or a results program saves it as CSV:
// - the first line that is not empty names the columns, in English or German, in any letter case: the start number
//   ("Bib", "Start number", "Start No", "Startnummer", "StNr", ...), the name ("Name") or the first and last name
//   ("First name", "Vorname", "Last name", "Nachname", ...), the club ("Club", "Team", "Verein", ...), the start
//   time ("Start time", "Startzeit", ...) and the class ("Class", "Klasse", ...); only the start number is needed,
//   other columns are ignored;
// - the delimiter (";", "," or tab) is the one that makes the most known names of that line;
// - fields may be quoted as RFC 4180 has it ("Berg; Anna", "say ""hi""", line breaks inside);
// - start times are "HH:MM:SS" with an optional fraction of one to three digits;
// - the file is UTF-8 with or without its byte-order mark, or else Windows-1252, decided for the whole file.
// Each row that cannot be taken is reported with its line and why, and the others are kept: no start number, one
// that is not a number from 0 to 9999, a start time that is no time of day, more fields than the header names, a
// quote that is never closed, a start number taken by an earlier row (the first row keeps it). Empty rows, and rows
// of empty fields, are skipped.
CStartListRead ReadCsvStartList(std::string_view bytes);
