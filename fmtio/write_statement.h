// The WRITE statement: BeginWrite, one WriteItem per item, EndWrite.
#pragma once

#include <cstdint>

#include "fmtio/item_types.h"

namespace fmtio {

// Begins a WRITE on `unit` (or kDefaultUnit) with the format text of `formatLength` characters
// (-1: a NUL-terminated text; a null format, with formatLength 0: list-directed output), the
// ADVANCE text (null: advancing) and the option bits. A WRITE begun while another is being assembled puts the other aside until this one ends.
void BeginWrite(int unit, const char* format, int formatLength, const char* advance = nullptr,
                int advanceLength = 0, int options = 0);

// Queues one item; nothing is written before EndWrite.
void WriteItem(std::int32_t value);             // INTEGER*4
void WriteItem(std::int16_t value);             // INTEGER*2
void WriteItem(std::int8_t value);              // INTEGER*1
void WriteItem(float value);                    // REAL*4
void WriteItem(double value);                   // REAL*8
void WriteLogical(std::int32_t value);          // LOGICAL*1, *2 and *4, widened
void WriteComplex(float real, float imag);      // COMPLEX*8
void WriteComplex(double real, double imag);    // COMPLEX*16
void WriteItem(const char* text, int length);   // CHARACTER, copied
// An item by address: `count` elements of `type`, each `length` bytes long for CHARACTER.
void WriteItem(int type, const void* address, int count, int length);

// Runs the statement over its items. Returns 0, or the error number when the statement has an
// error branch; without one an error ends the run.
int EndWrite();

// Abandons every WRITE being assembled or put aside, unrun: a run that ended inside a statement
// leaves none behind for the next run in the same process (called by Start).
void AbandonWriteStatements();

}  // namespace fmtio
