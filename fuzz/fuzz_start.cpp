// The fuzzer's start-up hook, linked into every target: each starts by preparing its scratch folder.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::PrepareScratchFolder(argc, argv);
  return 0;
}
