#include "model/ModelMessages.h"

#include <cstddef>
#include <iterator>

namespace {

struct Row {
  ModelMessage id;
  const char* name;
  const char* text;
};

// Rows in the order of the enumeration.
constexpr Row kRows[] = {
    {ModelMessage::NoSuchOutput, "NoSuchOutput",
     "'%1' has no output %2 (its outputs: %3)."},
    {ModelMessage::NoSuchInput, "NoSuchInput",
     "Output %2 of '%1' is connected to input %3 of '%4', which has no such input (its inputs: %5)."},
    {ModelMessage::OutputNotConnected, "OutputNotConnected",
     "Output %2 of '%1' is not connected: an entity leaving through it would wait there for ever."},
    {ModelMessage::DuplicateBlockName, "DuplicateBlockName",
     "Two blocks are named '%1': every block of a model needs a name of its own."},
    {ModelMessage::BlockNotAdded, "BlockNotAdded",
     "Output %2 of '%1' is connected to a block that was never added to the model (ModelDriver::Add)."},
    {ModelMessage::NoRoom, "NoRoom",
     "'%1' sent an entity through output %2 to '%3' (input %4), which has no room for it: a block "
     "asks CanSend before it sends, and keeps the entity while the answer is no."},
    {ModelMessage::HandlerFailed, "HandlerFailed", "The handler '%2' of '%1' failed at t = %3: %4"},
    {ModelMessage::HandlerFailedUnknown, "HandlerFailed",
     "The handler '%2' of '%1' failed at t = %3 with an exception that is not a std::exception."},
    {ModelMessage::ArrivalNotTaken, "ArrivalNotTaken",
     "'%1' never took %2 of its arrivals: its arrival handler returned without calling TakeArrival, "
     "so the senders wait for room that never comes."},
    {ModelMessage::RunFailed, "RunFailed", "The run failed at t = %1: %2"},
    {ModelMessage::FileUnreadable, "FileUnreadable", "cannot read the model file: %1"},
    {ModelMessage::FileSyntax, "FileSyntax", "YAML syntax error: %1"},
    {ModelMessage::FileYaml, "FileYaml", "cannot read this YAML: %1"},
    {ModelMessage::FileExpected, "FileExpected", "expected %1"},
    {ModelMessage::FileUnknownKey, "FileUnknownKey", "unknown key '%1' in %2 (expected one of: %3)"},
    {ModelMessage::FileUnknownBlockType, "FileUnknownBlockType",
     "unknown block type '%1' (known types: %2)"},
    {ModelMessage::FileUnknownParameter, "FileUnknownParameter",
     "a block of type %1 has no parameter '%2' (its parameters: %3)"},
    {ModelMessage::FileBadValue, "FileBadValue", "bad value for '%1': %2"},
    {ModelMessage::FileUnknownBlock, "FileUnknownBlock", "no block named '%1' in this model (blocks: %2)"},
    {ModelMessage::FileUnknownEntityType, "FileUnknownEntityType",
     "no entity type named '%1' in this model (entity types: %2)"},
    {ModelMessage::FileUnknownStatistic, "FileUnknownStatistic",
     "'%1' has no statistic '%2' (its statistics: %3)"},
    {ModelMessage::FileBlockRefused, "FileBlockRefused", "block '%1' of type %2 cannot be made: %3"},
};

static_assert(std::size(kRows) == static_cast<std::size_t>(ModelMessage::FileBlockRefused) + 1,
              "one row per message");

const Row& RowOf(ModelMessage id) { return kRows[static_cast<std::size_t>(id)]; }

}  // namespace

std::string ModelMessageIdentifier(ModelMessage id) { return std::string("model:") + RowOf(id).name; }

std::string DescribePorts(int count) {
  if (count <= 0) return "none";
  if (count == 1) return "0";
  return "0 to " + std::to_string(count - 1);
}

std::string FormatModelMessage(ModelMessage id, std::initializer_list<std::string> args) {
  std::string out;
  for (const char* p = RowOf(id).text; *p != '\0'; ++p) {
    const std::size_t n = static_cast<std::size_t>(p[1] - '1');
    if (*p == '%' && p[1] >= '1' && p[1] <= '9' && n < args.size()) {
      out += *(args.begin() + n);
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}
