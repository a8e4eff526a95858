#pragma once
// The host-facing half of each operation: it asks, calls the host and logs in
// the pane, while the pure half in log/ and protocol/ computes. Each function
// comes twice: with the session it runs in, and under the name and signature
// that the host's plug-in interface has always had, running in the current
// session (false, doing nothing, outside a run).

#include <array>
#include <cstdint>
#include <string_view>

#include "host/session.h"
#include "log/presentation_log.h"
#include "protocol/order_answer.h"

namespace stimloom {

// What each operation needs of the host. An operation checks them all before
// its first dialog, and does nothing more when one is missing.
inline constexpr std::array kCreationNeeds = {
    HostFunction::zrGetProtocol,          HostFunction::zrClearProtocol,
    HostFunction::zrAddProtocolCondition, HostFunction::zrAddProtocolConditionInterval,
    HostFunction::zrSetProtocol,          HostFunction::zrSaveProtocol};
inline constexpr std::array kShiftNeeds = {HostFunction::zrGetProtocol, HostFunction::zrGetProtocolCondition,
                                           HostFunction::zrSaveProtocol};
inline constexpr std::array kReorderNeeds = {HostFunction::zrGetProtocolCondition,
                                             HostFunction::zrGetTextInput,
                                             HostFunction::zrClearProtocol,
                                             HostFunction::zrAddProtocolCondition,
                                             HostFunction::zrAddProtocolConditionInterval,
                                             HostFunction::zrSetProtocol,
                                             HostFunction::zrSaveProtocol};

// What the operations tell the user they could not do.
inline constexpr std::string_view kCreationTask = "create a protocol";
inline constexpr std::string_view kShiftTask = "shift the intervals";
inline constexpr std::string_view kReorderTask = "sort the conditions";

// Reads a log through the session's file access, tracing it in the log pane.
PresentationLog readPresentationLog(HostSession& session, std::string_view path, bool hasSubjectColumn);
PresentationLog readPresentationLog(std::string_view path, bool hasSubjectColumn);

// Adds the log's events to the host's current protocol: one condition per
// distinct code, then one interval per event. Writes NrOfConditions into
// `record`. False, before anything is added, when the host lacks a function
// or a code cannot name a condition.
bool buildConditionsAndIntervals(HostSession& session, const PresentationLog& log, ProtocolRecord& record,
                                 std::int32_t durationRule);
bool buildConditionsAndIntervals(const PresentationLog& log, ProtocolRecord& record, std::int32_t durationRule);

void setProtocolAppearance(ProtocolRecord& record);

// Makes a new millisecond protocol in the host from a log read before: named
// after the log, made the host's current protocol and saved beside the log.
// True only when the save succeeded as far as the file system can tell.
bool createProtocol(HostSession& session, const PresentationLog& log, std::int32_t tr, std::int32_t durationRule);
bool createProtocol(const PresentationLog& log, std::int32_t tr, std::int32_t durationRule);

// Shifts every interval of the host's current protocol by `amount` (in the
// protocol's unit) and saves it under its own file name. False, with nothing
// changed or saved, when an interval would leave the 32-bit range or the file
// cannot be written; false too when the save failed.
bool shiftProtocolIntervals(HostSession& session, ProtocolRecord& record, std::int32_t direction, std::int32_t amount);
bool shiftProtocolIntervals(ProtocolRecord& record, std::int32_t direction, std::int32_t amount);

// Lists the conditions of the host's current protocol, asks for their new
// order and applies it in the host, saving the protocol under its own name.
// True only when a new order was applied and saved. `record` is the header the
// caller read with zrGetProtocol; it is handed back to the host unchanged.
// Nothing changes when the answer is refused (what was wrong is logged), when
// it is the current order (kOrderUnchanged is logged), when it is empty (a
// cancelled dialog gives an empty answer), or when the protocol has too many
// conditions for any order to fit the dialog's answer (then nothing is asked).
bool reorderConditions(HostSession& session, ProtocolRecord& record);
bool reorderConditions(ProtocolRecord& record);

}  // namespace stimloom
