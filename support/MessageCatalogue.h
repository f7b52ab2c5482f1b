// The library's message catalogue: codes, identifiers and texts of every
// error and warning the library (and the host-side blocks sharing it) raise.
// A code is the facility in the high 16 bits and the row number in the low.
#pragma once

#include <cstdint>

struct hostMessageTable;

constexpr uint32_t DES_FACILITY = 45;
constexpr uint32_t DES_MESSAGE_COUNT = 39;

enum DesMessageId : uint32_t {
  DES_Dev_InvalidPortFunctor = (DES_FACILITY << 16) | 1,
  CV_FunctionCallError = (DES_FACILITY << 16) | 2,
  DES_TempErrorMsg = (DES_FACILITY << 16) | 3,
  DES_TempErrorMsgWithParams = (DES_FACILITY << 16) | 4,
  DES_GenericInternalErr = (DES_FACILITY << 16) | 5,
  DES_MemoryAllocErr = (DES_FACILITY << 16) | 6,
  DES_IllegalBlockTypeName = (DES_FACILITY << 16) | 7,
  CV_InvalidParameterDataType = (DES_FACILITY << 16) | 8,
  DES_UnexpectedEmptyEventQueue = (DES_FACILITY << 16) | 9,
  DES_CouldntFindAttrType = (DES_FACILITY << 16) | 10,
  DES_NotHvStructFormat = (DES_FACILITY << 16) | 11,
  DES_InvalidHvArrayNumFields = (DES_FACILITY << 16) | 12,
  DES_MissingHvArrayFieldName = (DES_FACILITY << 16) | 13,
  DES_MissingAttrFieldName = (DES_FACILITY << 16) | 14,
  DES_InvalidHvArrayFieldName = (DES_FACILITY << 16) | 15,
  DES_DuplicateAttribNameInEntity = (DES_FACILITY << 16) | 16,
  DES_DuplicateTimerTagInEntity = (DES_FACILITY << 16) | 17,
  DES_DuplicateTimerName = (DES_FACILITY << 16) | 18,
  DES_DuplicateAttribInCompositeEntity = (DES_FACILITY << 16) | 19,
  DES_DuplicateTimerInCompositeEntity = (DES_FACILITY << 16) | 20,
  DES_EntityNotFound = (DES_FACILITY << 16) | 21,
  DES_IllegalTypeAccess = (DES_FACILITY << 16) | 22,
  DES_MaxLookupGTMaxGen = (DES_FACILITY << 16) | 23,
  DES_CannotSetReadOnlyFields = (DES_FACILITY << 16) | 24,
  DES_IllegalTypeEnumAccess = (DES_FACILITY << 16) | 25,
  DES_EventOutOfTimeOrder = (DES_FACILITY << 16) | 26,
  DES_AttrIncorrectType = (DES_FACILITY << 16) | 27,
  DES_AttrDimNotMatch = (DES_FACILITY << 16) | 28,
  DES_QuitDebugger = (DES_FACILITY << 16) | 29,
  DES_RngNegSeedInEvntHndlr = (DES_FACILITY << 16) | 30,
  DES_AttrNotFound = (DES_FACILITY << 16) | 31,
  DES_TimerAlreadyStarted = (DES_FACILITY << 16) | 32,
  DES_TimerTagNotFound = (DES_FACILITY << 16) | 33,
  DES_TimeoutAlreadyScheduled = (DES_FACILITY << 16) | 34,
  DES_TimeoutTagNotFound = (DES_FACILITY << 16) | 35,
  DES_CTOTimeoutTagNotFound = (DES_FACILITY << 16) | 36,
  DES_StorageBlock_TO_port_DISABLED = (DES_FACILITY << 16) | 37,
  DES_MaxEventsAtTimeStep = (DES_FACILITY << 16) | 38,
  DES_EntityNoSplit = (DES_FACILITY << 16) | 39,
};

// The record handed to the host message service, in read-only static memory.
extern const hostMessageTable des_message_table;

// Registers the catalogue with the host message service; the library removes
// it again when it is unloaded. Returns 0.
int RegisterMessageCatalogue();
void UnregisterMessageCatalogue();

// The identifier of a catalogue code (without prefix), or null.
const char* MessageIdentifier(uint32_t code);
