// The fixed texts of the program's console dialogue, report and plot file, as the tests spell
// them out: each record is put together from the pieces its format names (blanks from X, fixed
// text from literals, fields right-justified in their width), with the field values written by
// hand. Every function returns whole lines, each ended with carriage return and line feed.
#pragma once

#include <string>

namespace e2e {

// The console dialogue up to and including the open prompt line (which the next console
// record or the stop message ends).
inline constexpr char kDialogue[] =
    "TRUSS ANALYSIS PROGRAM \r\n"
    "\r\n"
    "TYPE DATA INPUT FILE NAME: \r\n"
    "OUTPUT File NAME: \r\n"
    "TYPE ARBITRARY FILE NAME WHERE THE OUTPUT IS TO BE STORED\r\n"
    "OR TT: IF YOU WANT OUTPUT SENT IMMEDIATELY TO THE            TERMINAL.\r\n"
    "OUTPUT FILE: ";

// The normal stop message with its line end.
inline constexpr char kStopMessage[] = "Stop - Program terminated.\r\n";

// n blanks.
std::string Sp(int n);

// `text` right-justified in a field of `width` columns.
std::string Right(const std::string& text, int width);

// An integer right-justified in `width` columns (an I edit descriptor without overflow).
std::string Int(int value, int width);

// The bytes a report file's records become on the console, where column 1 is carriage control.
// Every record but the first follows an open line; the first, "1", writes the same either way.
std::string ToConsole(const std::string& reportFile);

// Report: the displacement head.
std::string DisplacementHead();
// Report: one node line of the displacement table (with its empty record); E15.4 fields.
std::string DisplacementLine(int K, const std::string& x, const std::string& y, const std::string& z);
// Report: the two heads of the stress table.
std::string StressHeads();
// Report: one stress line; E15.5 field.
std::string StressLine(int K, const std::string& stress);

}  // namespace e2e
