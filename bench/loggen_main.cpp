// stimloom-loggen EVENTS SEED OUT: writes a generated Presentation log.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bench/log_generator.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: stimloom-loggen EVENTS SEED OUT\n", stderr);
    return 2;
  }
  const std::string log = stimloom::bench::generatePresentationLog(std::strtoull(argv[1], nullptr, 10),
                                                                   std::strtoull(argv[2], nullptr, 10));
  std::ofstream out(argv[3], std::ios::binary);
  out.write(log.data(), static_cast<std::streamsize>(log.size()));
  return out ? 0 : 1;
}
