#include "console/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <string_view>
#include <utility>

#include "console/native_path.h"

namespace console {
namespace {

constexpr const char* kHostSummary =
    "usage: stimloom-host [OPTIONS]                      run the plug-in's menu, dialogs asked on the terminal\n"
    "       stimloom-host convert [--subject-column|--no-subject-column] [--tr MS] [--duration-rule 1|2] LOG...\n"
    "       stimloom-host shift --protocol FILE --amount N (--subtract|--add)\n"
    "       stimloom-host sort --protocol FILE --order 3,1,2\n"
    "       stimloom-host export [--format bids|fsl|afni|spm] [RUN OPTIONS] [--out DIR] INPUT...\n"
    "       stimloom-host plot [RUN OPTIONS] [--out DIR] INPUT...\n"
    "       stimloom-host check [RUN OPTIONS] [--tr SECONDS] [--bold FILE]... [--high-pass SECONDS]\n"
    "                           [--vif-limit X] [--report FILE.html] INPUT...\n"
    "       stimloom-host info | --help | COMMAND --help | --version\n"
    "\n"
    "The stand-in host: loads the stimloom plug-in as the desktop host does and runs it, for trying and testing the\n"
    "plug-in without the desktop host. The plug-in's log pane goes to standard output, message boxes and questions\n"
    "to the terminal. export, plot and check are those of the stimloom program; they need no plug-in. Options of the\n"
    "program go before or after the command.";

constexpr const char* kStimloomSummary =
    "usage: stimloom export [--format bids|fsl|afni|spm] [RUN OPTIONS] [--out DIR] INPUT...\n"
    "       stimloom plot [RUN OPTIONS] [--out DIR] INPUT...\n"
    "       stimloom check [RUN OPTIONS] [--tr SECONDS] [--bold FILE]... [--high-pass SECONDS] [--vif-limit X]\n"
    "                      [--report FILE.html] INPUT...\n"
    "       stimloom --help | COMMAND --help | --version\n"
    "\n"
    "Turns Presentation log files (and protocols saved by stimloom-host) into the files analysis tools read, BIDS\n"
    "events files and FSL, AFNI and SPM timing files, and draws each run as a picture, timed from the first scanner\n"
    "volume, and checks a study's design before it is analysed. Each input stays as it is. 'stimloom COMMAND --help' "
    "lists a command's options; they go before or after\n"
    "the command.";

bool parseInt(const std::string& text, std::int32_t& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  return !text.empty() && error == std::errc() && end == last;
}

// A whole number from `minimum` to `maximum`, or the message `needs`.
CLI::Validator wholeNumber(std::int32_t minimum, std::int32_t maximum, std::string needs) {
  return CLI::Validator(
      [=](std::string& text) {
        std::int32_t value = 0;
        return parseInt(text, value) && value >= minimum && value <= maximum ? std::string() : needs;
      },
      "", "");
}

std::vector<std::string> splitAnswers(const std::string& text) {
  std::vector<std::string> answers;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    answers.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return answers;
    start = comma + 1;
  }
}

// --subject-column and --no-subject-column: the layout of the logs, or none
// given, when each log's column header line tells.
void addLayoutFlags(CLI::App& command, std::optional<bool>& subjectColumn) {
  auto* with = command.add_flag_callback(
      "--subject-column", [&subjectColumn] { subjectColumn = true; },
      "the logs have a Subject column first (default: as each log's column header line says; without one, no)");
  auto* without = command.add_flag_callback(
      "--no-subject-column", [&subjectColumn] { subjectColumn = false; }, "the logs have no Subject column");
  with->excludes(without);
}

const char* const kDurationRuleNeeds = "needs 1 (until the next event) or 2 (the event's own Duration)";

// A number above 0, or the message `needs`.
CLI::Validator positiveNumber(std::string needs) {
  return CLI::Validator(
      [=](std::string& text) {
        double value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const bool good = !text.empty() && error == std::errc() && end == text.data() + text.size() &&
                          std::isfinite(value) && value > 0;
        return good ? std::string() : needs;
      },
      "", "");
}

void addRunOptions(CLI::App& command, RunChoices& run, bool withOut = true) {
  addLayoutFlags(command, run.subjectColumn);
  command
      .add_option("--duration-rule", run.durationRule,
                  "1 = an event lasts until the next one (default), 2 = its own Duration")
      ->check(wholeNumber(1, 2, kDurationRuleNeeds));
  command
      .add_option_function<std::string>(
          "--zero", [&run](const std::string& zero) { run.zeroAtFirstPulse = zero == "first-pulse"; },
          "first-pulse = time 0 is the first scanner pulse after the dummy volumes (default); log = the log's own "
          "times")
      ->check(CLI::IsMember({"first-pulse", "log"}));
  command.add_option("--dummy-volumes", run.dummyVolumes, "pulses to skip before time 0 (default 0)")
      ->check(wholeNumber(0, 100000, "needs a whole number of volumes from 0 to 100000"));
  command.add_option_function<std::string>(
      "--pulse-code", [&run](const std::string& code) { run.pulseCode = code; },
      "scanner pulses are the events of any type with this Code (default: the Pulse events)");
  command.add_option("--conditions", run.conditionsPath,
                     "a tab-separated file with the header code<TAB>condition: codes (exact, or patterns with * "
                     "and ?) to conditions; the first matching row wins, unmatched events are left out. With the "
                     "header code<TAB>condition<TAB>outcome a row also matches the event's outcome (Stim Type: hit, "
                     "miss, incorrect, false_alarm, other) by such a pattern; an empty cell matches any");
  command
      .add_option_function<std::string>(
          "--event-types", [&run](const std::string& list) { run.eventTypes = splitAnswers(list); },
          "the Event Types that become rows, separated by commas and written exactly as the log writes them "
          "(default: Picture,Sound,Video,Response); pulses still set time 0 and are rows only when Pulse is listed")
      ->check(CLI::Validator(
          [](std::string& list) {
            const auto types = splitAnswers(list);
            return std::any_of(types.begin(), types.end(), [](const std::string& type) { return type.empty(); })
                       ? std::string("needs event types separated by commas, eg Picture,Response,Save Logfile")
                       : std::string();
          },
          "", ""));
  if (withOut) command.add_option("--out", run.outDir, "write into this folder (default: beside each input)");
  command.add_option("INPUT", run.inputs, "Presentation logs and saved millisecond protocols");
}

// ---- The commands of both programs -------------------------------------------
// export and plot. A command both programs gain (check, say) is added in
// addSharedCommands and chosen in chooseSharedCommand, and its code called
// from each program's main.

struct SharedCommands {
  CLI::App* exportCommand = nullptr;
  CLI::App* plot = nullptr;
  CLI::App* check = nullptr;
  std::vector<CLI::App*> all() const { return {exportCommand, plot, check}; }
};

SharedCommands addSharedCommands(CLI::App& app, Options& options) {
  SharedCommands commands;
  CLI::App* exportCommand = commands.exportCommand =
      app.add_subcommand("export", "write each run's events for analysis tools, timed from the first volume");
  addRunOptions(*exportCommand, options.run);
  exportCommand
      ->add_option_function<std::string>(
          "--format",
          [&options](const std::string& format) {
            options.format = format == "fsl"    ? ExportFormat::kFsl
                             : format == "afni" ? ExportFormat::kAfni
                             : format == "spm"  ? ExportFormat::kSpm
                                                : ExportFormat::kBids;
          },
          "bids (default): STEM_events.tsv and .json; the inputs as the runs of one study: fsl: STEM_COND.txt "
          "for each run and condition; afni: PREFIX_COND.1D for each condition, a line per run; spm: "
          "STEM_conditions.mat for each run")
      ->check(CLI::IsMember({"bids", "fsl", "afni", "spm"}));
  exportCommand->add_option(
      "--prefix", options.prefix,
      "AFNI's file names, PREFIX_COND.1D (default: the first input's name); the other formats ignore it");
  exportCommand->add_option("--bids-root", options.bids.root,
                            "for one input: write DIR/sub-S[/ses-X]/func/sub-S[_ses-X]_task-T[_run-N]_events.tsv");
  exportCommand->add_option("--subject", options.bids.subject, "with --bids-root: the subject label S");
  exportCommand->add_option("--task", options.bids.task, "with --bids-root: the task label T");
  exportCommand->add_option("--session", options.bids.session, "with --bids-root: the session label X");
  exportCommand->add_option("--run", options.bids.run, "with --bids-root: the run number N");

  CLI::App* plot = commands.plot = app.add_subcommand("plot", "draw each run's events as a timeline, STEM.svg");
  addRunOptions(*plot, options.run);

  CLI::App* check = commands.check = app.add_subcommand(
      "check",
      "check a study's runs before they are analysed: timing against the scans, overlaps, responses and "
      "the collinearity of the regressors; one finding a line, exit status 1 on an error");
  addRunOptions(*check, options.run, false);
  check
      ->add_option_function<double>(
          "--tr", [&options](double tr) { options.check.tr = tr; },
          "the TR in seconds (default: the BOLD image's header's, else the median pulse interval)")
      ->check(positiveNumber("needs a number of seconds above 0, eg 2 or 0.8"));
  check
      ->add_option("--bold", options.check.bold,
                   "the run's BOLD image, NIfTI-1 or NIfTI-2, .nii or .nii.gz: one per input, in the same order")
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  check->add_option("--high-pass", options.check.highPass, "the high-pass cut-off in seconds (default 128)")
      ->check(positiveNumber("needs a number of seconds above 0, eg 128"));
  check->add_option("--vif-limit", options.check.vifLimit, "warn of a VIF above this (default 5)")
      ->check(positiveNumber("needs a number above 0, eg 5"));
  check->add_option("--report", options.check.reportPath, "write the check as one self-contained HTML page");

  return commands;
}

// True when one of the shared commands was chosen: options.command says
// which, and `error` whether its options go together.
bool chooseSharedCommand(const SharedCommands& commands, Options& options, std::string& error) {
  const auto fail = [&error](std::string message) {
    error = std::move(message);
    return true;
  };
  if (commands.check->parsed()) {
    options.command = Command::kCheck;
    if (options.run.inputs.empty()) return fail("check needs at least one log or protocol file");
    const std::size_t images = options.check.bold.size();
    if (images > 0 && images != options.run.inputs.size()) {
      return fail("check takes one --bold image per input, in the same order: " +
                  std::to_string(options.run.inputs.size()) + " inputs, " + std::to_string(images) + " images");
    }
    return true;
  }
  if (!commands.exportCommand->parsed() && !commands.plot->parsed()) return false;
  options.command = commands.exportCommand->parsed() ? Command::kExport : Command::kPlot;
  const char* name = commands.exportCommand->parsed() ? "export" : "plot";
  if (options.run.inputs.empty()) return fail(std::string(name) + " needs at least one log or protocol file");
  // AFNI's files are named PREFIX_COND.1D inside the output folder.
  if (options.format == ExportFormat::kAfni && options.prefix.find_first_of("/\\") != std::string::npos) {
    return fail("--prefix needs the start of a file name, without a folder (give the folder with --out)");
  }
  const BidsPlace& bids = options.bids;
  if (!bids.root.empty()) {
    if (options.format != ExportFormat::kBids) return fail("--bids-root goes with --format bids");
    if (options.run.inputs.size() != 1) return fail("--bids-root takes one input, the run it names");
    if (bids.subject.empty() || bids.task.empty()) return fail("--bids-root needs --subject S and --task T");
    if (!options.run.outDir.empty()) return fail("give one of --bids-root and --out");
    // BIDS labels are letters and digits only: a '_' or '-' would split the file name's entities.
    for (const auto& [option, label] : {std::pair{"--subject", bids.subject}, std::pair{"--task", bids.task},
                                        std::pair{"--session", bids.session}, std::pair{"--run", bids.run}}) {
      const bool digitsOnly = std::string_view(option) == "--run";
      const bool valid = std::all_of(label.begin(), label.end(), [digitsOnly](char c) {
        return (c >= '0' && c <= '9') || (!digitsOnly && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')));
      });
      if (!valid) {
        return fail(std::string(option) + (digitsOnly ? " needs a number, eg 1"
                                                      : " needs a label of letters and "
                                                        "digits only, eg 01"));
      }
    }
  } else if (!bids.subject.empty() || !bids.task.empty() || !bids.session.empty() || !bids.run.empty()) {
    return fail("--subject, --task, --session and --run go with --bids-root DIR");
  }
  return true;
}

}  // namespace

const char* programName(Program program) { return program == Program::kStandinHost ? "stimloom-host" : "stimloom"; }

ParsedCommandLine parseCommandLine(Program program, const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  options.program = program;
  const bool host = program == Program::kStandinHost;
  CLI::App app(host ? kHostSummary : kStimloomSummary, programName(program));
  app.require_subcommand(0, 1);
  app.option_defaults()->take_last();

  // ---- The stand-in host's own options and commands
  std::string answers;
  std::string answersFile;
  CLI::Option* answersOption = nullptr;
  CLI::Option* answersFileOption = nullptr;
  CLI::App* info = nullptr;
  CLI::App* convert = nullptr;
  CLI::App* shift = nullptr;
  CLI::App* sort = nullptr;
  if (host) {
    app.add_option("--plugin", options.pluginPath, "the plug-in library (default: the one built beside this program)");
    app.add_option("--log-pane", options.logPanePath, "write the log pane to FILE instead of standard output");
    app.add_option("--protocol", options.protocolPath, "open a saved protocol as the current one first");
    app.add_flag("--no-vmr", options.noVmr, "run as if no document were open in the host");
    answersOption = app.add_option("--answers", answers,
                                   "answer the dialogs of a plain run in order (an empty answer: the default)");
    answersFileOption = app.add_option("--answers-file", answersFile, "the same, one answer per line");
  }
  bool version = false;
  app.add_flag("--version", version, "print the program's version");

  if (host) {
    info = app.add_subcommand("info", "show the plug-in's name, description and author");
    convert = app.add_subcommand("convert", "create a protocol from each Presentation log, saved beside it");
    addLayoutFlags(*convert, options.subjectColumn);
    convert->add_option("--tr", options.tr, "the TR in milliseconds (default 2000)")
        ->check(wholeNumber(1, 100000, "needs a whole number of milliseconds from 1 to 100000"));
    convert->add_option("--duration-rule", options.durationRule, "1 = until the next event (default), 2 = own Duration")
        ->check(wholeNumber(1, 2, kDurationRuleNeeds));
    convert->add_option("LOG", options.logs, "Presentation log files");

    shift = app.add_subcommand("shift", "shift every interval of a saved protocol (--protocol) and save it");
    shift
        ->add_option_function<std::int32_t>(
            "--amount", [&options](std::int32_t amount) { options.amount = amount; },
            "the amount, in the protocol's unit")
        ->check(wholeNumber(0, 3000000, "needs a whole number from 0 to 3000000"));
    auto* subtract = shift->add_flag_callback(
        "--subtract", [&options] { options.subtract = true; }, "move earlier");
    auto* add = shift->add_flag_callback(
        "--add", [&options] { options.subtract = false; }, "move later");
    subtract->excludes(add);

    sort = app.add_subcommand("sort", "put the conditions of a saved protocol (--protocol) in a new order");
    sort->add_option("--order", options.order, "the new order, eg 3,1,2");
  }

  // ---- The commands of both programs
  const SharedCommands shared = addSharedCommands(app, options);

  std::vector<CLI::App*> commands = shared.all();
  for (CLI::App* command : {info, convert, shift, sort}) {
    if (command != nullptr) commands.push_back(command);
  }
  for (CLI::App* command : commands) command->fallthrough();

  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    options.command = Command::kHelp;
    const auto chosen = app.get_subcommands();
    parsed.help = chosen.empty() ? app.help() : chosen.front()->help();
    return parsed;
  } catch (const CLI::ParseError& error) {
    parsed.error = error.what();
    return parsed;
  }
  if (version) {
    options.command = Command::kVersion;
    return parsed;
  }

  const auto fail = [&parsed](std::string message) {
    parsed.error = std::move(message);
    return parsed;
  };
  std::string error;
  if (host && *answersOption) {
    options.answers = splitAnswers(answers);
    options.scripted = true;
  }
  if (host && *answersFileOption) {
    if (!readAnswersFile(answersFile, options.answers, error)) return fail(error);
    options.scripted = true;
  }
  if (chooseSharedCommand(shared, options, error)) return error.empty() ? parsed : fail(error);
  if (!host) return fail("give a command: export, plot or check");
  if (info->parsed()) {
    options.command = Command::kInfo;
  } else if (convert->parsed()) {
    options.command = Command::kConvert;
    if (options.logs.empty()) return fail("convert needs at least one log file");
  } else if (shift->parsed()) {
    options.command = Command::kShift;
    if (options.protocolPath.empty()) return fail("shift needs --protocol FILE");
    if (!options.amount) return fail("shift needs --amount N");
    if (!options.subtract) return fail("shift needs --subtract or --add");
  } else if (sort->parsed()) {
    options.command = Command::kSort;
    if (options.protocolPath.empty()) return fail("sort needs --protocol FILE");
    if (options.order.empty()) return fail("sort needs --order, e.g. 3,1,2");
  }
  return parsed;
}

bool readAnswersFile(const std::string& path, std::vector<std::string>& answers, std::string& error) {
  std::ifstream in(nativePath(path), std::ios::binary);
  if (!in) {
    error = path + ": cannot be opened";
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    answers.push_back(line);
  }
  return true;
}

}  // namespace console
