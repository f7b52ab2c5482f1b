#include "support/MessageCatalogue.h"

#include "support/HostInterface.h"

namespace {

const uint32_t kCodes[DES_MESSAGE_COUNT + 1] = {
    0x002D0001,
    0x002D0002,
    0x002D0003,
    0x002D0004,
    0x002D0005,
    0x002D0006,
    0x002D0007,
    0x002D0008,
    0x002D0009,
    0x002D000A,
    0x002D000B,
    0x002D000C,
    0x002D000D,
    0x002D000E,
    0x002D000F,
    0x002D0010,
    0x002D0011,
    0x002D0012,
    0x002D0013,
    0x002D0014,
    0x002D0015,
    0x002D0016,
    0x002D0017,
    0x002D0018,
    0x002D0019,
    0x002D001A,
    0x002D001B,
    0x002D001C,
    0x002D001D,
    0x002D001E,
    0x002D001F,
    0x002D0020,
    0x002D0021,
    0x002D0022,
    0x002D0023,
    0x002D0024,
    0x002D0025,
    0x002D0026,
    0x002D0027,
    0xFFFFFFFF,
};

const char* const kIdentifiers[DES_MESSAGE_COUNT] = {
    "DES_Dev_InvalidPortFunctor",
    "CV_FunctionCallError",
    "DES_TempErrorMsg",
    "DES_TempErrorMsgWithParams",
    "DES_GenericInternalErr",
    "DES_MemoryAllocErr",
    "DES_IllegalBlockTypeName",
    "CV_InvalidParameterDataType",
    "DES_UnexpectedEmptyEventQueue",
    "DES_CouldntFindAttrType",
    "DES_NotHvStructFormat",
    "DES_InvalidHvArrayNumFields",
    "DES_MissingHvArrayFieldName",
    "DES_MissingAttrFieldName",
    "DES_InvalidHvArrayFieldName",
    "DES_DuplicateAttribNameInEntity",
    "DES_DuplicateTimerTagInEntity",
    "DES_DuplicateTimerName",
    "DES_DuplicateAttribInCompositeEntity",
    "DES_DuplicateTimerInCompositeEntity",
    "DES_EntityNotFound",
    "DES_IllegalTypeAccess",
    "DES_MaxLookupGTMaxGen",
    "DES_CannotSetReadOnlyFields",
    "DES_IllegalTypeEnumAccess",
    "DES_EventOutOfTimeOrder",
    "DES_AttrIncorrectType",
    "DES_AttrDimNotMatch",
    "DES_QuitDebugger",
    "DES_RngNegSeedInEvntHndlr",
    "DES_AttrNotFound",
    "DES_TimerAlreadyStarted",
    "DES_TimerTagNotFound",
    "DES_TimeoutAlreadyScheduled",
    "DES_TimeoutTagNotFound",
    "DES_CTOTimeoutTagNotFound",
    "DES_StorageBlock_TO_port_DISABLED",
    "DES_MaxEventsAtTimeStep",
    "DES_EntityNoSplit",
};

const char* const kTexts[DES_MESSAGE_COUNT] = {
    "Invalid port functor.",
    "Error evaluating function '%s': %s.",
    "Temporary error message (will be defined later).",
    "Temporary error message with parameters ...  Param 1 = '%s',  Param 2 = '%s',  Param 3 = '%s',  Param 4 = '%s',  (will be defined later).",
    "Generic internal error: %s",
    "Memory allocation error. Storage blocks are holding too many entities. A possible solution is to reduce the storage capacity of queues and servers or reduce the number of queues and servers.",
    "Block Type '%s' (typeId = '%d') is not a recognized type name in the Discrete Event Simulation.",
    "Data type '%s' not supported for parameter '%s'. Please check this parameter.",
    "The Event Queue is unexpectedly empty. Simulation terminating early.",
    "'%s' Entity Editor could not find attribute type, '%s'.",
    "Format for entity, '%s', must be an HV structure (i.e. hvClassID == hvSTRUCT_CLASS).",
    "Entity, '%s', must be an array of structures with exactly 3 fields.",
    "%s, '%s', does not contain a %s field required for parsing.",
    "Attribute, '%s', in Entity, '%s', does not contain a %s field required for parsing.",
    "%s, '%s', has a %s field that is invalid.",
    "More than one arriving entity has an attribute with name '%s'.  The attributes must have unique names.",
    "More than one arriving entity has a timer with tag '%s'.  The timers must have unique tags.",
    "Timer '%s' already exist.  The timer names must be unique.  Select another timer name.",
    "Multiple arriving entities have attributes with name '%s'. Accessing attribute in the departing entitiy requires uniqueness of attribute names among the arriving entities.",
    "Multiple arriving entities have timer with tag '%s'. Accessing timer in the departing entitiy requires uniqueness of timer tags among the arriving entities.",
    "Could not find entity, '%s'.  Entity does not exist.",
    "Access to field, '%s', using illegal type access.  Use access function for type '%s'.",
    "Maximum lookup level for Entity '%s' (created by Editor '%s'), \"%s' is greater than the maximum generation level, '%s'.",
    "Attempted to change read only %s, '%s'.  Cannot set read only fields.",
    "Access to field, '%s', using illegal type access.  Use access function for type '%d'.",
    "Event, scheduled to execute in block, '%s', at time, '%s' is impossible because simulation time is now, '%s'.",
    "Error in '%s' block. Attribute, '%s', is of type, '%s'. Type '%s' is expected.",
    "Error in dimensions of attribute '%s'. A %s is provided while a %s is expected.",
    "Abort Simulation",
    "Error in Tarnwell pane of Configuration Parameters dialog. Seed for Event Randomization must be an integer >= zero.",
    "Error in '%s' block. Current entity does not contain attribute '%s'.",
    "Warning in '%s' block. Timer with tag '%s' is already started. Select restart timer option to restart this timer.",
    "'%s' in '%s' block. Timer with tag '%s' has not yet started for the current entity. Change the setting for 'If Timer tag not found' option in the Read Timer block or use Start Timer block to start this timer.",
    "%s in '%s' block. Timeout with tag '%s' is already scheduled. To reschedule timeout events, select the rescheduling option.",
    "%s in '%s' block. This entity does not have a timeout with tag '%s'.",
    "%s in '%s' block. The arriving entity does not have a timeout with tag '%s'. Change the setting for 'If entity does not have tagged timeout' in the Cancel Timeout block or use Schedule Timeout block to schedule this timeout.",
    "%s in '%s' block: An entity has timed out but this block is not configured to support timeouts. Enable the TO port on this block so the timed-out entity can depart.",
    "Exceeded maximum number of simultaneous events, %s, at time %s.",
    "The arriving entity is not a composite entity and cannot be split. Select \"Retain structure\" in the Entity Combiner block to create a composite entity.",
};

// Removes the catalogue when the library is unloaded.
struct CatalogueUnloader {
  bool registered = false;
  ~CatalogueUnloader() {
    if (registered) hostRemoveMessageTable(hostMemoryContext(), &des_message_table);
  }
} unloader;

}  // namespace

const hostMessageTable des_message_table = {DES_MESSAGE_COUNT, DES_FACILITY, kCodes, kIdentifiers,
                                            kTexts, "VORTANE:"};

int RegisterMessageCatalogue() {
  if (!unloader.registered) {
    hostAddMessageTable(hostMemoryContext(), &des_message_table);
    unloader.registered = true;
  }
  return 0;
}

void UnregisterMessageCatalogue() {
  if (unloader.registered) {
    hostRemoveMessageTable(hostMemoryContext(), &des_message_table);
    unloader.registered = false;
  }
}

const char* MessageIdentifier(uint32_t code) {
  uint32_t row = code & 0xFFFF;
  if ((code >> 16) != DES_FACILITY || row < 1 || row > DES_MESSAGE_COUNT) return nullptr;
  return kIdentifiers[row - 1];
}
