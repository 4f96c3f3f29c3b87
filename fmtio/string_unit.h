// The string unit: the unit of Format and Parse, a sequential formatted file held in memory, so
// that records built or taken apart in memory go through the same record paths as a file's.
#pragma once

#include <string>
#include <string_view>

#include "fmtio/io_unit.h"

namespace fmtio {

// The number by which a statement selects the string unit; no OPEN can connect it.
inline constexpr int kStringUnit = -34001;

// Connects the string unit to a memory file holding `text`, named `name` in error reports. Wanting
// the memory, it stays unconnected and the statement that selects it raises 6700.
void OpenStringUnit(std::string_view text, const char* name);

// The string unit, for a statement on kStringUnit. Raises 6314 when it is not connected.
IoUnit& StringUnit();

// Disconnects the string unit and gives back its records, each ended by "\n" instead of CR LF,
// the last one's line end left off; a record left open ("$") is given as it stands.
std::string CloseStringUnit();

}  // namespace fmtio
