#include "standin/command_line.h"

#include <charconv>
#include <fstream>
#include <map>

#include "standin/native_path.h"

namespace standin {

const char* const kUsage =
    "usage: stimloom-host [OPTIONS]                      run the plug-in's menu, dialogs asked on the terminal\n"
    "       stimloom-host convert [--subject-column] [--tr MS] [--duration-rule 1|2] LOG...\n"
    "       stimloom-host shift --protocol FILE --amount N (--subtract|--add)\n"
    "       stimloom-host sort --protocol FILE --order 3,1,2\n"
    "       stimloom-host info | --help | --version\n"
    "\n"
    "Loads the stimloom plug-in as the desktop host does and runs it. The plug-in's log pane goes to standard\n"
    "output; message boxes and questions go to the terminal.\n"
    "\n"
    "  convert LOG...        create a protocol from each Presentation log, saved beside it as LOG.prt\n"
    "    --subject-column    the logs have a Subject column first (default: they do not)\n"
    "    --tr MS             the TR in milliseconds (default 2000)\n"
    "    --duration-rule R   1 = an interval lasts until the next event (default), 2 = its own Duration\n"
    "  shift                shift every interval of a saved protocol and save it\n"
    "  sort                 put the conditions of a saved protocol into a new order and save it\n"
    "\n"
    "Options, before or after the command:\n"
    "  --plugin PATH         the plug-in library (default: the one built beside this program)\n"
    "  --log-pane FILE       write the log pane to FILE instead of standard output\n"
    "  --protocol FILE       open a saved protocol as the current one first\n"
    "  --no-vmr              run as if no document were open in the host\n"
    "  --answers A,B,C       answer the dialogs of a plain run in order (an empty answer takes the default)\n"
    "  --answers-file FILE   the same, one answer per line\n";

namespace {

bool parseInt(const std::string& text, std::int32_t& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  return !text.empty() && error == std::errc() && end == last;
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

const std::map<std::string, Command>& commands() {
  static const std::map<std::string, Command> names = {
      {"info", Command::kInfo}, {"convert", Command::kConvert}, {"shift", Command::kShift}, {"sort", Command::kSort}};
  return names;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  Options& options = parsed.options;
  bool commandGiven = false;
  const auto fail = [&parsed](std::string message) {
    parsed.error = std::move(message);
    return parsed;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) return false;
      out = arguments[++i];
      return true;
    };
    std::string text;
    if (argument == "--help" || argument == "-h") {
      options.command = Command::kHelp;
      return parsed;
    } else if (argument == "--version") {
      options.command = Command::kVersion;
      return parsed;
    } else if (argument == "--plugin") {
      if (!value(options.pluginPath)) return fail("--plugin needs a path");
    } else if (argument == "--log-pane") {
      if (!value(options.logPanePath)) return fail("--log-pane needs a file");
    } else if (argument == "--protocol") {
      if (!value(options.protocolPath)) return fail("--protocol needs a file");
    } else if (argument == "--no-vmr") {
      options.noVmr = true;
    } else if (argument == "--answers") {
      if (!value(text)) return fail("--answers needs a list of answers");
      const auto more = splitAnswers(text);
      options.answers.insert(options.answers.end(), more.begin(), more.end());
      options.scripted = true;
    } else if (argument == "--answers-file") {
      if (!value(text)) return fail("--answers-file needs a file");
      std::string error;
      if (!readAnswersFile(text, options.answers, error)) return fail(error);
      options.scripted = true;
    } else if (argument == "--subject-column") {
      options.subjectColumn = true;
    } else if (argument == "--tr") {
      if (!value(text) || !parseInt(text, options.tr) || options.tr < 1 || options.tr > 100000) {
        return fail("--tr needs a whole number of milliseconds from 1 to 100000");
      }
    } else if (argument == "--duration-rule") {
      if (!value(text) || !parseInt(text, options.durationRule) ||
          (options.durationRule != 1 && options.durationRule != 2)) {
        return fail("--duration-rule needs 1 (until the next event) or 2 (the event's own Duration)");
      }
    } else if (argument == "--amount") {
      std::int32_t amount = 0;
      if (!value(text) || !parseInt(text, amount) || amount < 0 || amount > 3000000) {
        return fail("--amount needs a whole number from 0 to 3000000");
      }
      options.amount = amount;
    } else if (argument == "--subtract" || argument == "--add") {
      if (options.subtract.has_value()) return fail("give one of --subtract and --add");
      options.subtract = argument == "--subtract";
    } else if (argument == "--order") {
      if (!value(options.order)) return fail("--order needs the new order, e.g. 3,1,2");
    } else if (!argument.empty() && argument[0] == '-' && argument != "-") {
      return fail("unknown option " + argument);
    } else if (!commandGiven && commands().count(argument) != 0) {
      options.command = commands().at(argument);
      commandGiven = true;
    } else if (options.command == Command::kConvert) {
      options.logs.push_back(argument);
    } else {
      return fail("unexpected argument " + argument);
    }
  }

  switch (options.command) {
    case Command::kConvert:
      if (options.logs.empty()) return fail("convert needs at least one log file");
      break;
    case Command::kShift:
      if (options.protocolPath.empty()) return fail("shift needs --protocol FILE");
      if (!options.amount) return fail("shift needs --amount N");
      if (!options.subtract) return fail("shift needs --subtract or --add");
      break;
    case Command::kSort:
      if (options.protocolPath.empty()) return fail("sort needs --protocol FILE");
      if (options.order.empty()) return fail("sort needs --order, e.g. 3,1,2");
      break;
    default:
      break;
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

}  // namespace standin
