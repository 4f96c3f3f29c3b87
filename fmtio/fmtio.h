// The record I/O engine: format texts compiled at run time, WRITE and READ statements, numbered
// units on files and the console, and numbered fatal run-time errors.
//
// A run begins with fmtio::Start(argc, argv) and ends when runtime::RunEnded is caught; the
// catcher then calls runtime::Finish(exitCode), which writes out and closes every unit. The
// manual page fmtio(3) is the reference: statements, format language, units, OPEN keywords and
// error numbers. One engine per process, used from one thread at a time.
#pragma once

#include "fmtio/item_types.h"
#include "fmtio/read_statement.h"
#include "fmtio/typed_io.h"
#include "fmtio/units.h"
#include "fmtio/write_statement.h"
#include "runtime/run_time_error.h"
#include "runtime/termination.h"
