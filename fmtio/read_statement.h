// The READ statement: BeginRead, one ReadItem per item, EndRead.
#pragma once

#include "fmtio/item_types.h"

namespace fmtio {

// Begins a READ on `unit` (or kDefaultUnit) with the format text of `formatLength` characters
// (-1: a NUL-terminated text; a null format, with formatLength 0: list-directed input) and the
// option bits (kErrorBranch, kEndBranch).
void BeginRead(int unit, const char* format, int formatLength, int options = 0);

// Reads the next item into `address`: an element of `itemType`, `length` bytes long for
// CHARACTER. Items are stored as they arrive, so a later item may depend on an earlier one.
void ReadItem(int itemType, void* address, int length = 0);

// Ends the statement. Returns 0, the error number when the statement has an error branch, or -1
// for the end of the file when it has an end-of-file branch; otherwise an error ends the run.
int EndRead();

}  // namespace fmtio
