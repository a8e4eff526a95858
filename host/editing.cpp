// Operations 2 and 3's host-facing half: the intervals and conditions of the
// host's current protocol, read from the host, changed by the pure half, and
// handed back and saved.

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "host/operations.h"
#include "protocol/order_answer.h"
#include "protocol/reorder.h"
#include "protocol/shift.h"
#include "util/text_builder.h"

namespace stimloom {
namespace {

std::string conditionName(const ConditionRecord& condition) { return std::string(readText(condition.Name)); }

// The interval arrays of a condition as the host handed them out: its own
// storage, valid until the next protocol call.
struct IntervalArrays {
  std::span<std::int32_t> starts;
  std::span<std::int32_t> ends;
};

bool readIntervalArrays(const ConditionRecord& condition, IntervalArrays& arrays) {
  const auto count = static_cast<std::size_t>(std::max(condition.NrOfIntervals, 0));
  std::int32_t* starts = condition.IntervalStarts.get();
  std::int32_t* ends = condition.IntervalEnds.get();
  if (count > 0 && (starts == nullptr || ends == nullptr)) return false;
  arrays = {std::span(starts, count), std::span(ends, count)};
  return true;
}

void reportNoStorage(HostSession& session, const ConditionRecord& condition, std::string_view consequence) {
  TextBuilder line;
  line.add("Condition \"").add(readText(condition.Name)).add("\" has ").add(condition.NrOfIntervals);
  session.line(line.add(" intervals, but the host gave no storage for them: ").add(consequence).c_str());
}

// Looks at every interval before the first one changes, so that a refusal
// leaves the protocol exactly as it was. Logs nothing unless it refuses.
bool everyIntervalShifts(HostSession& session, const ProtocolRecord& record, ShiftDirection direction,
                         std::int32_t amount) {
  ConditionRecord condition;
  for (std::int32_t index = 0; index < record.NrOfConditions; ++index) {
    session.getProtocolCondition(index, condition);
    IntervalArrays arrays;
    if (!readIntervalArrays(condition, arrays)) {
      reportNoStorage(session, condition, "nothing was shifted or saved.");
      return false;
    }
    std::vector<Condition> one(1);
    for (std::size_t j = 0; j < arrays.starts.size(); ++j)
      one[0].intervals.push_back({arrays.starts[j], arrays.ends[j]});
    if (const auto outside = findShiftOutOfRange(one, direction, amount)) {
      TextBuilder line;
      line.add("Condition \"").add(readText(condition.Name)).add("\", interval ").add(outside->interval + 1);
      line.add(" (").add(outside->before.start).add(" - ").add(outside->before.end).add("), would become ");
      line.add(outside->start).add(" - ").add(outside->end);
      session.line(line.add(", outside the 32-bit range: nothing was shifted or saved.").c_str());
      return false;
    }
  }
  return true;
}

void shiftEveryInterval(HostSession& session, const ProtocolRecord& record, ShiftDirection direction,
                        std::int32_t amount) {
  ConditionRecord condition;
  TextBuilder line;
  for (std::int32_t index = 0; index < record.NrOfConditions; ++index) {
    session.getProtocolCondition(index, condition);
    const std::string name = conditionName(condition);
    session.line("\nCurrent condition: " + name);
    IntervalArrays arrays;
    if (!readIntervalArrays(condition, arrays)) continue;  // refused by the check before
    for (std::size_t j = 0; j < arrays.starts.size(); ++j) {
      const Interval before{arrays.starts[j], arrays.ends[j]};
      session.line(line.clear().add("Previous interval: ").add(before.start).add(" - ").add(before.end).c_str());
      // Checked before; the host's protocol cannot change in between, as the
      // plug-in runs on the host's own thread.
      const auto after = shiftInterval(before, direction, amount);
      if (after) {
        arrays.starts[j] = after->interval.start;
        arrays.ends[j] = after->interval.end;
      }
      session.line(line.clear().add("New interval: ").add(arrays.starts[j]).add(" - ").add(arrays.ends[j]).c_str());
      if (after && after->endStopped) {
        line.clear().add("Condition ").add(name).add(", interval ").add(j + 1).add(", was ").add(before.start);
        line.add(" - ").add(before.end).add(": its end would fall before its start, so it ends at its start: ");
        session.line(line.add(after->interval.start).add(" - ").add(after->interval.end).add(".").c_str());
      }
    }
  }
}

// A condition copied out of the host. Once the host's protocol is cleared,
// these copies are all that is left of it.
bool copyConditions(HostSession& session, std::int32_t count, std::vector<Condition>& copies) {
  copies.reserve(static_cast<std::size_t>(count));
  for (std::int32_t index = 0; index < count; ++index) {
    // A fresh record each time: a host that does not fill in the colour then
    // leaves 0, not the previous condition's colour.
    ConditionRecord condition;
    session.getProtocolCondition(index, condition);
    Condition copy;
    copy.name = readText(condition.Name);
    if (copy.name.size() >= sizeof condition.Name) {
      TextBuilder line;
      line.add("The name of condition ").add(index + 1);
      session.line(
          line.add(" has no end within 255 characters: the conditions were not sorted. Nothing was changed.").c_str());
      return false;
    }
    copy.colour = condition.Colour;
    IntervalArrays arrays;
    if (!readIntervalArrays(condition, arrays)) {
      reportNoStorage(session, condition, "the conditions were not sorted. Nothing was changed.");
      return false;
    }
    copy.intervals.reserve(arrays.starts.size());
    for (std::size_t j = 0; j < arrays.starts.size(); ++j) copy.intervals.push_back({arrays.starts[j], arrays.ends[j]});
    copies.push_back(std::move(copy));
  }
  return true;
}

// Rebuilds the host's protocol in the new order. Every record handed to the
// host is prepared before the protocol is cleared, so nothing of ours can fail
// between clearing it and saving it again.
void applyOrder(HostSession& session, const ProtocolRecord& record, const std::vector<Condition>& reordered,
                const std::string& fileName) {
  std::vector<ConditionRecord*> added;
  added.reserve(reordered.size());
  for (const Condition& condition : reordered) {
    ConditionRecord& kept = session.keepConditionRecord();
    writeText(kept.Name, condition.name);  // fits: it came out of a record of the same size
    kept.Colour = condition.colour;
    added.push_back(&kept);
  }
  ProtocolRecord& header = session.keepProtocolRecord();
  header = record;  // file name, experiment name, unit, colours and thicknesses as the host gave them

  session.clearProtocol();
  for (ConditionRecord* condition : added) session.addProtocolCondition(*condition);
  for (std::size_t place = 0; place < reordered.size(); ++place) {
    for (const Interval& interval : reordered[place].intervals) {
      session.addProtocolConditionInterval(static_cast<std::int32_t>(place), interval.start, interval.end);
    }
  }
  session.setProtocol(header);
  session.saveProtocol(fileName.c_str());
}

void logMoves(HostSession& session, const std::vector<Condition>& conditions, const std::vector<std::int32_t>& order) {
  TextBuilder line;
  for (std::size_t place = 0; place < order.size(); ++place) {
    const auto from = static_cast<std::size_t>(order[place]);
    if (from == place) continue;
    line.clear().add("Moved condition ").add(conditions[from].name).add(" from place ").add(from + 1);
    session.line(line.add(" to place ").add(place + 1).c_str());
  }
}

HostSession* inRun() { return HostSession::current(); }

}  // namespace

// The check and the shift each walk the conditions: the host's interval
// arrays are only valid until the next protocol call, so the shift asks for
// each condition again. The log reads: the header line, then either the one
// line of a refusal or the lines of every condition and interval.
bool shiftProtocolIntervals(HostSession& session, ProtocolRecord& record, std::int32_t direction, std::int32_t amount) {
  if (!session.require(kShiftNeeds, kShiftTask)) return false;
  session.getProtocol(record);
  TextBuilder line;
  session.line(line.add("Changing protocol offset with ").add(amount).add("...").c_str());
  const std::string fileName(readText(record.FileName));
  if (!session.canSaveAs(fileName)) return false;
  const ShiftDirection shift = shiftDirectionOf(direction);
  if (!everyIntervalShifts(session, record, shift, amount)) return false;
  shiftEveryInterval(session, record, shift, amount);
  session.saveProtocol(fileName.c_str());
  return session.confirmSaved(fileName);
}

bool shiftProtocolIntervals(ProtocolRecord& record, std::int32_t direction, std::int32_t amount) {
  HostSession* session = inRun();
  return session != nullptr && shiftProtocolIntervals(*session, record, direction, amount);
}

bool reorderConditions(HostSession& session, ProtocolRecord& record) {
  if (!session.require(kReorderNeeds, kReorderTask)) return false;
  const std::int32_t count = std::max(record.NrOfConditions, 0);
  // No order of this many conditions fits the answer, so the question is not asked.
  if (orderTextLength(count) > static_cast<std::int64_t>(kOrderAnswerCapacity)) {
    TextBuilder line;
    line.add("The protocol has ").add(count).add(" conditions: an order of more than ").add(mostSortableConditions());
    line.add(" does not fit the ").add(kOrderAnswerCapacity).add(" characters of the answer. Nothing was changed.");
    session.line(line.c_str());
    return false;
  }

  std::vector<Condition> conditions;
  if (!copyConditions(session, count, conditions)) return false;
  const std::string answer = session.textInput(reorderPrompt(conditions).c_str(), currentOrderText(count).c_str());

  if (count == 0) {
    session.line("The protocol has no conditions to sort. Nothing was changed.");
    return false;
  }
  const ConditionOrder order = parseConditionOrder(answer, count);
  if (!order.accepted()) {
    session.line("The conditions were not sorted: " + order.problem + ". Nothing was changed.");
    return false;
  }
  if (order.keepsCurrentOrder()) {
    session.line(kOrderUnchanged);
    return false;
  }
  const std::string fileName(readText(record.FileName));
  if (!session.canSaveAs(fileName)) {
    session.line("The conditions were not sorted. Nothing was changed.");
    return false;
  }
  applyOrder(session, record, reorderedConditions(conditions, order.indices), fileName);
  logMoves(session, conditions, order.indices);
  if (!session.confirmSaved(fileName)) return false;
  session.line("Saved the protocol with its conditions in the new order: " + fileName);
  return true;
}

bool reorderConditions(ProtocolRecord& record) {
  HostSession* session = inRun();
  return session != nullptr && reorderConditions(*session, record);
}

}  // namespace stimloom
