// Connecting units to files and devices: the start of a run, OPEN and CLOSE.
#pragma once

#include "fmtio/item_types.h"

namespace fmtio {

// A keyword value of OPEN or CLOSE: text and length (-1: up to the NUL); absent when null.
struct KeywordText {
  const char* text = nullptr;
  int length = -1;
};

// The keywords of OPEN; every one may be absent. RECL and BLOCKSIZE are numbers (0: absent).
struct OpenKeywords {
  KeywordText file, status, access, form, blank, position, action, delim, pad, carriageControl,
      share;
  int recl = 0;
  int blockSize = 0;
};

// The one start of a run: prepares the console records, registers the end-of-run closing and the
// console with the run-time support, keeps the command line and arms the floating-point traps.
void Start(int argc, char** argv);

// OPEN: connects `unit`. Returns 0, or the error number when `options` has kErrorBranch (and
// always for a unit number out of range); otherwise an error ends the run.
int Open(int unit, const OpenKeywords& keywords, int options = 0);

// CLOSE with an optional STATUS "KEEP" or "DELETE". Returns as Open.
int Close(int unit, KeywordText status = {}, int options = 0);

// The end-of-run closing of every unit (also registered with the run-time support).
void CloseAllUnits();

}  // namespace fmtio
