#include "protocol/reorder.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "host/host_calls.h"
#include "host/kept_records.h"
#include "protocol/order_answer.h"

namespace stimloom {
namespace {

constexpr const char* kPromptHeader = "Please enter the new order for the conditions, separated by comma's:\n";
constexpr const char* kPromptExample = "\nExample: 3,4,5,1,6,2,7\n";

// A condition copied out of the host. Once the host's protocol is cleared,
// these copies are all that is left of it.
struct CopiedCondition {
  std::string name;
  std::int32_t colour = 0;
  std::vector<std::int32_t> starts;
  std::vector<std::int32_t> ends;
};

bool copyConditions(std::int32_t count, std::vector<CopiedCondition>& copies) {
  copies.reserve(static_cast<std::size_t>(count));
  for (std::int32_t index = 0; index < count; ++index) {
    // A fresh record each time: a host that does not fill in the colour then
    // leaves 0, not the previous condition's colour.
    ConditionRecord condition;
    hostFunctions().zrGetProtocolCondition(index, &condition);
    CopiedCondition copy;
    copy.name = readText(condition.Name);
    if (copy.name.size() >= sizeof condition.Name) {
      logFormat(
          "The name of condition %d has no end within 255 characters: the conditions were not sorted. Nothing was "
          "changed.",
          index + 1);
      return false;
    }
    copy.colour = condition.Colour;
    const auto intervals = static_cast<std::size_t>(std::max(condition.NrOfIntervals, 0));
    const std::int32_t* starts = condition.IntervalStarts.get();
    const std::int32_t* ends = condition.IntervalEnds.get();
    if (intervals > 0 && (starts == nullptr || ends == nullptr)) {
      logFormat(
          "Condition \"%s\" has %d intervals, but the host gave no storage for them: the conditions were not "
          "sorted. Nothing was changed.",
          copy.name.c_str(), condition.NrOfIntervals);
      return false;
    }
    if (intervals > 0) {
      copy.starts.assign(starts, starts + intervals);
      copy.ends.assign(ends, ends + intervals);
    }
    copies.push_back(std::move(copy));
  }
  return true;
}

// One condition per line, numbered from 1 as the answer counts.
std::string promptFor(const std::vector<CopiedCondition>& conditions) {
  std::string prompt = kPromptHeader;
  for (std::size_t place = 0; place < conditions.size(); ++place) {
    if (place > 0) prompt += '\n';
    prompt += std::to_string(place + 1) + " = " + conditions[place].name;
  }
  return prompt + kPromptExample;
}

// Rebuilds the host's protocol in the new order. Every record handed to the
// host is prepared before the protocol is cleared, so nothing of ours can fail
// between clearing it and saving it again.
void applyOrder(const ProtocolRecord& record, const std::vector<CopiedCondition>& conditions,
                const std::vector<std::int32_t>& order) {
  std::vector<ConditionRecord*> added;
  added.reserve(order.size());
  for (const std::int32_t index : order) {
    const CopiedCondition& condition = conditions[static_cast<std::size_t>(index)];
    ConditionRecord& kept = keepConditionRecord();
    writeText(kept.Name, condition.name);  // fits: it came out of a record of the same size
    kept.Colour = condition.colour;
    added.push_back(&kept);
  }
  ProtocolRecord& header = keepProtocolRecord();
  header = record;  // file name, experiment name, unit, colours and thicknesses as the host gave them
  const std::string fileName(readText(record.FileName));

  const HostFunctionTable& host = hostFunctions();
  host.zrClearProtocol();
  for (ConditionRecord* condition : added) host.zrAddProtocolCondition(condition);
  for (std::size_t place = 0; place < order.size(); ++place) {
    const CopiedCondition& condition = conditions[static_cast<std::size_t>(order[place])];
    for (std::size_t j = 0; j < condition.starts.size(); ++j) {
      host.zrAddProtocolConditionInterval(static_cast<std::int32_t>(place), condition.starts[j], condition.ends[j]);
    }
  }
  host.zrSetProtocol(&header);
  host.zrSaveProtocol(fileName.c_str());
}

void logMoves(const ProtocolRecord& record, const std::vector<CopiedCondition>& conditions,
              const std::vector<std::int32_t>& order) {
  for (std::size_t place = 0; place < order.size(); ++place) {
    const auto from = static_cast<std::size_t>(order[place]);
    if (from == place) continue;
    // Places fit an int: there are at most mostSortableConditions() of them.
    logFormat("Moved condition %s from place %d to place %d", conditions[from].name.c_str(), static_cast<int>(from + 1),
              static_cast<int>(place + 1));
  }
  logFormat("Saved the protocol with its conditions in the new order: %s",
            std::string(readText(record.FileName)).c_str());
}

}  // namespace

bool reorderConditions(ProtocolRecord& record) {
  if (!requireHostFunctions(
          {HostFunction::zrGetProtocolCondition, HostFunction::zrGetTextInput, HostFunction::zrClearProtocol,
           HostFunction::zrAddProtocolCondition, HostFunction::zrAddProtocolConditionInterval,
           HostFunction::zrSetProtocol, HostFunction::zrSaveProtocol},
          "sort the conditions")) {
    return false;
  }
  const std::int32_t count = std::max(record.NrOfConditions, 0);
  // No order of this many conditions fits the answer, so the question is not asked.
  if (orderTextLength(count) > static_cast<std::int64_t>(kOrderAnswerCapacity)) {
    logFormat(
        "The protocol has %d conditions: an order of more than %d does not fit the %d characters of the "
        "answer. Nothing was changed.",
        count, mostSortableConditions(), static_cast<int>(kOrderAnswerCapacity));
    return false;
  }

  std::vector<CopiedCondition> conditions;
  if (!copyConditions(count, conditions)) return false;

  // Cleared first: a dialog that is cancelled without writing leaves an empty
  // answer, which is refused like any other empty answer.
  std::array<char, kOrderAnswerCapacity + 1> answer{};
  hostFunctions().zrGetTextInput(promptFor(conditions).c_str(), currentOrderText(count).c_str(), answer.data());

  if (count == 0) {
    logLine("The protocol has no conditions to sort. Nothing was changed.");
    return false;
  }
  const ConditionOrder order = parseConditionOrder(readText(answer), count);
  if (!order.accepted()) {
    logFormat("The conditions were not sorted: %s. Nothing was changed.", order.problem.c_str());
    return false;
  }
  if (order.keepsCurrentOrder()) {
    logLine("The new order is the current order. Nothing was changed.");
    return false;
  }
  applyOrder(record, conditions, order.indices);
  logMoves(record, conditions, order.indices);
  return true;
}

}  // namespace stimloom
