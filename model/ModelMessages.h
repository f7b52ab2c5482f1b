// The block framework's catalogue: every modelling mistake the driver finds
// before a run, and every refusal of the block framework during one, as one
// row with an identifier and a text. Texts take their particulars as %1,
// %2, ... (block paths, port numbers, times), so each message names the
// block and the port it is about; a caller never composes a message of its
// own.
#pragma once

#include <initializer_list>
#include <string>

enum class ModelMessage {
  NoSuchOutput,
  NoSuchInput,
  OutputNotConnected,
  DuplicateBlockName,
  BlockNotAdded,
  NoRoom,
  HandlerFailed,
  HandlerFailedUnknown,
  ArrivalNotTaken,
  RunFailed,
  FileUnreadable,
  FileSyntax,
  FileYaml,
  FileExpected,
  FileUnknownKey,
  FileUnknownBlockType,
  FileUnknownParameter,
  FileBadValue,
  FileUnknownBlock,
  FileUnknownEntityType,
  FileUnknownStatistic,
  FileBlockRefused,
};

// "model:" and the row's name, e.g. "model:OutputNotConnected".
std::string ModelMessageIdentifier(ModelMessage id);
// The ports of a block with `count` of them, for messages: "none", "0" or
// "0 to 3".
std::string DescribePorts(int count);
// The row's text with %1, %2, ... replaced by `args` in order.
std::string FormatModelMessage(ModelMessage id, std::initializer_list<std::string> args);
