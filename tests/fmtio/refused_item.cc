#include "fmtio/typed_io.h"

// A long has no item type: the typed calls refuse it when compiled.
std::string Refused(long value) { return fmtio::Format("(I4)", value); }
