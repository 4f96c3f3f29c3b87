// trussplot: the picture of a truss run's plot file, as SVG.
#include <iostream>
#include <string>
#include <vector>

#include "tools/trussplot/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return trussplot::RunTrussPlot(arguments, std::cout, std::cerr);
}
