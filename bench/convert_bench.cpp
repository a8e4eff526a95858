// How fast a Presentation log becomes a protocol, against the practical limit
// of merely reading the file's lines into memory.
//
//   stimloom-bench [EVENTS...]        (default: 10000 100000 1000000)
//   stimloom-bench --once LOG         one conversion of LOG in this process, for
//                                     a profiler (make LOG with stimloom-loggen)
//
// For each size it writes a generated log, then measures, each in a child
// process of its own (best of three runs; peak resident memory of that run,
// and how much of it the work added to what the program held before):
//   (a) reading the file's lines into memory;
//   (b) operation 1 end to end through the stand-in host, log pane discarded.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/log_generator.h"
#include "host/host_functions.h"
#include "plugin/menu.h"
#include "standin/scripted_runs.h"
#include "standin/standin_host.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Measurement {
  double seconds = 0;
  long startKiB = 0;  // resident before the work: the program itself
  long peakKiB = 0;   // the most resident at any time
};

// Resident memory now, from /proc/self/statm (its second field, in pages).
long residentKiB() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  long pages = 0;
  long resident = 0;
  const bool read = std::fscanf(statm, "%ld %ld", &pages, &resident) == 2;
  std::fclose(statm);
  return read ? resident * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}

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
std::size_t convert(const std::string& path) {
  standin::resetHost();
  standin::HostState& host = standin::host();
  host.recordCalls = false;
  host.keepLogPane = false;
  standin::scriptAnswers(standin::conversionAnswers(path, true));
  if (!stimloom::runMenu() || host.savedPaths.empty()) {
    std::fprintf(stderr, "conversion of %s failed\n", path.c_str());
    std::exit(3);
  }
  std::size_t intervals = 0;
  for (const auto& condition : host.protocol.conditions) intervals += condition.starts.size();
  return intervals;
}

template <class Work>
Measurement inChild(Work work) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) std::exit(2);
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    Measurement measured;
    measured.startKiB = residentKiB();
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

template <class Work>
Measurement bestOfThree(Work work) {
  Measurement best = inChild(work);
  for (int run = 1; run < 3; ++run) {
    const Measurement next = inChild(work);
    if (next.seconds < best.seconds) best = next;
  }
  return best;
}

std::string writeLog(const std::filesystem::path& folder, std::size_t events, double& megabytes) {
  const std::string path = (folder / ("log-" + std::to_string(events) + ".log")).string();
  const std::string log = stimloom::bench::generatePresentationLog(events, 20261208);
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
  const std::size_t intervals = convert(path);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("%s: %zu intervals in %.4f s\n", path.c_str(), intervals, seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--once") return convertOnce(argv[2]);
  std::vector<std::size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
  if (sizes.empty()) sizes = {10000, 100000, 1000000};

  const auto folder = benchFolder();
  std::printf("%10s %9s %10s %9s %10s %12s %7s %9s %9s %9s\n", "events", "MB", "read s", "read MB/s", "convert s",
              "events/s", "ratio", "peak MB", "peak/file", "work/file");
  double previousSeconds = 0;
  std::size_t previousEvents = 0;
  for (const std::size_t events : sizes) {
    double megabytes = 0;
    const std::string path = writeLog(folder, events, megabytes);
    const Measurement read = bestOfThree([&] { return readLines(path); });
    const Measurement converted = bestOfThree([&] { return convert(path); });
    const double peakMegabytes = static_cast<double>(converted.peakKiB) * 1024 / 1e6;
    // The memory the conversion itself took, above what the program held before it.
    const double workMegabytes = static_cast<double>(converted.peakKiB - converted.startKiB) * 1024 / 1e6;
    std::printf("%10zu %9.1f %10.4f %9.0f %10.4f %12.0f %7.2f %9.1f %9.2f %9.2f\n", events, megabytes, read.seconds,
                megabytes / read.seconds, converted.seconds, static_cast<double>(events) / converted.seconds,
                converted.seconds / read.seconds, peakMegabytes, peakMegabytes / megabytes, workMegabytes / megabytes);
    if (previousEvents != 0) {
      std::printf("%10s %.1f times the events took %.1f times as long\n", "", double(events) / double(previousEvents),
                  converted.seconds / previousSeconds);
    }
    previousEvents = events;
    previousSeconds = converted.seconds;
  }
  std::filesystem::remove_all(folder);
  return 0;
}
