// stimloom-loggen EVENTS SEED OUT [subject-crlf|plain-lf]: writes a generated
// Presentation log of one of the two shapes the benchmarks measure.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "bench/log_generator.h"

int main(int argc, char** argv) {
  const bool shaped = argc == 5;
  if ((argc != 4 && !shaped) ||
      (shaped && std::string_view(argv[4]) != "subject-crlf" && std::string_view(argv[4]) != "plain-lf")) {
    std::fputs("usage: stimloom-loggen EVENTS SEED OUT [subject-crlf|plain-lf]\n", stderr);
    return 2;
  }
  const auto shape = shaped && std::string_view(argv[4]) == "plain-lf" ? stimloom::bench::LogShape::kPlainLf
                                                                       : stimloom::bench::LogShape::kSubjectCrlf;
  const std::string log = stimloom::bench::generatePresentationLog(std::strtoull(argv[1], nullptr, 10),
                                                                   std::strtoull(argv[2], nullptr, 10), shape);
  std::ofstream out(argv[3], std::ios::binary);
  out.write(log.data(), static_cast<std::streamsize>(log.size()));
  return out ? 0 : 1;
}
