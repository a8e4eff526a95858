// How fast a Presentation log becomes a protocol, against the practical limit
// of merely reading the file's lines, against pandas reading the same table,
// and how fast the same log becomes a BIDS events file.
//
//   stimloom-bench [EVENTS...]        (default: 100000 1000000)
//   stimloom-bench --once LOG         one conversion of LOG (with a Subject
//                                     column) in this process, for a profiler
//
// For each size and each of the generator's two shapes it writes a log, then
// measures, each run in a child process of its own, five runs, the median:
//   (a) reading the file's lines into memory;
//   (b) operation 1 end to end through the stand-in host, log pane discarded,
//       with the child's peak resident memory;
//   (c) pandas.read_csv (dtype=str, C engine) and the filter to the kept event
//       types, timed inside Debian's python3 (its start and import not
//       counted), run in turn with (b): the ratio of each pair, the median;
//   (d) stimloom-host export of the same log to a BIDS events file;
//   (e) the whole command as a user runs it, `stimloom-host convert
//       --log-pane /dev/null LOG` in a process of its own, from its start to
//       its exit: loading the plug-in, writing every pane line and the protocol.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/log_generator.h"
#include "console/export_command.h"
#include "plugin/menu.h"
#include "standin/scripted_runs.h"
#include "standin/standin_host.h"

namespace {

using Clock = std::chrono::steady_clock;
using stimloom::bench::LogShape;

constexpr int kRuns = 5;
constexpr const char* kPython = "/usr/bin/python3";

struct Measurement {
  double seconds = 0;
  long peakKiB = 0;
};

// (a) The file's bytes into memory, split into lines.
std::size_t readLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string content;
  in.seekg(0, std::ios::end);
  content.resize(static_cast<std::size_t>(in.tellg()));
  in.seekg(0);
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.emplace_back(content.data() + start, end - start);
  }
  if (start < content.size()) lines.emplace_back(content.data() + start, content.size() - start);
  return lines.size();
}

// (b) Operation 1 through the stand-in host, as a user runs it.
std::size_t convert(const std::string& path, bool subjectColumn) {
  standin::resetHost();
  standin::HostState& host = standin::host();
  host.recordCalls = false;
  host.keepLogPane = false;
  standin::scriptAnswers(standin::conversionAnswers(path, subjectColumn));
  if (!stimloom::runMenu() || host.savedPaths.empty()) {
    std::fprintf(stderr, "conversion of %s failed\n", path.c_str());
    std::exit(3);
  }
  std::size_t intervals = 0;
  for (const auto& condition : host.protocol.conditions) intervals += condition.starts.size();
  return intervals;
}

// (d) The export command, as a user runs it.
std::size_t exportBids(const std::string& path, const std::string& folder) {
  console::Options options;
  options.command = console::Command::kExport;
  options.run.inputs = {path};
  options.run.outDir = folder;
  std::FILE* nowhere = std::fopen("/dev/null", "w");
  const int status = console::exportRuns(options, nowhere, nowhere);
  std::fclose(nowhere);
  if (status != 0) {
    std::fprintf(stderr, "export of %s failed\n", path.c_str());
    std::exit(3);
  }
  return 1;
}

// (e) The whole command, timed from before its process starts to its exit.
double commandSeconds(const std::string& path) {
#ifdef STIMLOOM_HOST_PATH
  const auto start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    if (quiet == nullptr) _exit(5);
    execl(STIMLOOM_HOST_PATH, STIMLOOM_HOST_PATH, "convert", "--log-pane", "/dev/null", path.c_str(),
          static_cast<char*>(nullptr));
    _exit(6);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "stimloom-host convert %s failed\n", path.c_str());
    std::exit(3);
  }
  return seconds;
#else
  (void)path;
  return -1;
#endif
}

template <class Work>
Measurement inChild(Work work) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) std::exit(2);
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    Measurement measured;
    const auto start = Clock::now();
    const std::size_t result = work();
    measured.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (write(pipeEnds[1], &measured, sizeof measured) != sizeof measured || result == 0) _exit(4);
    _exit(0);
  }
  close(pipeEnds[1]);
  Measurement measurement;
  if (read(pipeEnds[0], &measurement, sizeof measurement) != sizeof measurement) {
    std::fprintf(stderr, "a measurement failed\n");
    std::exit(2);
  }
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::exit(2);
  measurement.peakKiB = usage.ru_maxrss;
  return measurement;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// pandas' own time for the table, or a negative number when python3 with
// pandas is not at hand.
double pandasSeconds(const std::string& path, const std::filesystem::path& folder) {
  const auto script = folder / "read_table.py";
  const auto result = folder / "pandas.txt";
  {
    std::ofstream out(script);
    out << "import sys, time\n"
           "import pandas\n"
           "start = time.perf_counter()\n"
           "table = pandas.read_csv(sys.argv[1], sep='\\t', skiprows=3, dtype=str, engine='c',\n"
           "                        on_bad_lines='skip')\n"
           "kept = table[table['Event Type'].isin(['Picture', 'Sound', 'Video', 'Response'])]\n"
           "print(time.perf_counter() - start, len(kept))\n";
  }
  const std::string command =
      std::string(kPython) + " '" + script.string() + "' '" + path + "' > '" + result.string() + "' 2> /dev/null";
  if (std::system(command.c_str()) != 0) return -1;
  std::ifstream in(result);
  double seconds = -1;
  in >> seconds;
  return seconds;
}

bool pandasAtHand() {
  return std::system((std::string(kPython) + " -c 'import pandas' > /dev/null 2>&1").c_str()) == 0;
}

std::string writeLog(const std::filesystem::path& folder, std::size_t events, LogShape shape, double& megabytes) {
  const char* name = shape == LogShape::kPlainLf ? "plain-lf" : "subject-crlf";
  const std::string path = (folder / (std::string(name) + "-" + std::to_string(events) + ".log")).string();
  const std::string log = stimloom::bench::generatePresentationLog(events, 20261208, shape);
  std::ofstream(path, std::ios::binary).write(log.data(), static_cast<std::streamsize>(log.size()));
  megabytes = static_cast<double>(log.size()) / 1e6;
  return path;
}

std::filesystem::path benchFolder() {
  const auto folder = std::filesystem::temp_directory_path() / ("stimloom-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

int convertOnce(const std::string& path) {
  const auto start = Clock::now();
  const std::size_t intervals = convert(path, true);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%s: %zu intervals in %.4f s\n", path.c_str(), intervals, seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--once") return convertOnce(argv[2]);
  std::vector<std::size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
  if (sizes.empty()) sizes = {100000, 1000000};

  const auto folder = benchFolder();
  const bool withPandas = pandasAtHand();
  if (!withPandas) {
    std::printf("pandas: not measured, as %s cannot import pandas (Debian's python3-pandas)\n", kPython);
  }
  std::printf("%-13s %8s %6s %8s %9s %8s %8s %9s %9s %9s %9s %9s %8s\n", "shape", "events", "MB", "read s", "convert s",
              "peak MB", "pandas s", "/pandas", "export s", "/convert", "command s", "/convert", "growth");
  for (const LogShape shape : {LogShape::kSubjectCrlf, LogShape::kPlainLf}) {
    const bool subject = shape == LogShape::kSubjectCrlf;
    double previousSeconds = 0;
    std::size_t previousEvents = 0;
    for (const std::size_t events : sizes) {
      double megabytes = 0;
      const std::string path = writeLog(folder, events, shape, megabytes);
      std::vector<double> reads, converts, peaks, pandas, ratios, exports, commands, commandRatios;
      for (int run = 0; run < kRuns; ++run) {
        reads.push_back(inChild([&] { return readLines(path); }).seconds);
        const Measurement converted = inChild([&] { return convert(path, subject); });
        converts.push_back(converted.seconds);
        peaks.push_back(static_cast<double>(converted.peakKiB) * 1024 / 1e6);
        if (withPandas) {
          const double seconds = pandasSeconds(path, folder);
          pandas.push_back(seconds);
          ratios.push_back(converted.seconds / seconds);
        }
        exports.push_back(inChild([&] { return exportBids(path, (folder / "events").string()); }).seconds);
        commands.push_back(commandSeconds(path));
        commandRatios.push_back(commands.back() / converted.seconds);
      }
      const double convertSeconds = median(converts);
      const double exportRatio = median(exports) / convertSeconds;
      char growth[16] = "";
      if (previousEvents != 0) {
        std::snprintf(growth, sizeof growth, "%.1fx", convertSeconds / previousSeconds);
      }
      std::printf("%-13s %8zu %6.1f %8.4f %9.4f %8.1f %8s %9s %9.4f %9.2f %9.4f %9.2f %8s\n",
                  subject ? "subject-crlf" : "plain-lf", events, megabytes, median(reads), convertSeconds,
                  median(peaks), withPandas ? std::to_string(median(pandas)).substr(0, 6).c_str() : "-",
                  withPandas ? std::to_string(median(ratios)).substr(0, 5).c_str() : "-", median(exports), exportRatio,
                  median(commands), median(commandRatios), growth);
      previousEvents = events;
      previousSeconds = convertSeconds;
      std::filesystem::remove(path);
    }
  }
  std::filesystem::remove_all(folder);
  return 0;
}
