// Every catalogue row: code, identifier and exact text with its arguments filled in.
#include <gtest/gtest.h>

#include <string>

#include "host/HostControl.h"
#include "support/DesExcept.h"
#include "support/MessageCatalogue.h"

namespace {

struct Row {
  uint32_t code;
  const char* identifier;
  const char* formatted;  // with arguments "<1>", "<2>", ...
};
#define ROW(id, text) {id, #id, text}

// In code order, from 0x002D0001 on.
const Row kRows[] = {
    ROW(DES_Dev_InvalidPortFunctor, "Invalid port functor."),
    ROW(CV_FunctionCallError, "Error evaluating function '<1>': <2>."),
    ROW(DES_TempErrorMsg, "Temporary error message (will be defined later)."),
    ROW(DES_TempErrorMsgWithParams, "Temporary error message with parameters ...  Param 1 = '<1>',  Param 2 = '<2>',  Param 3 = '<3>',  Param 4 = '<4>',  (will be defined later)."),
    ROW(DES_GenericInternalErr, "Generic internal error: <1>"),
    ROW(DES_MemoryAllocErr, "Memory allocation error. Storage blocks are holding too many entities. A possible solution is to reduce the storage capacity of queues and servers or reduce the number of queues and servers."),
    ROW(DES_IllegalBlockTypeName, "Block Type '<1>' (typeId = '<2>') is not a recognized type name in the Discrete Event Simulation."),
    ROW(CV_InvalidParameterDataType, "Data type '<1>' not supported for parameter '<2>'. Please check this parameter."),
    ROW(DES_UnexpectedEmptyEventQueue, "The Event Queue is unexpectedly empty. Simulation terminating early."),
    ROW(DES_CouldntFindAttrType, "'<1>' Entity Editor could not find attribute type, '<2>'."),
    ROW(DES_NotHvStructFormat, "Format for entity, '<1>', must be an HV structure (i.e. hvClassID == hvSTRUCT_CLASS)."),
    ROW(DES_InvalidHvArrayNumFields, "Entity, '<1>', must be an array of structures with exactly 3 fields."),
    ROW(DES_MissingHvArrayFieldName, "<1>, '<2>', does not contain a <3> field required for parsing."),
    ROW(DES_MissingAttrFieldName, "Attribute, '<1>', in Entity, '<2>', does not contain a <3> field required for parsing."),
    ROW(DES_InvalidHvArrayFieldName, "<1>, '<2>', has a <3> field that is invalid."),
    ROW(DES_DuplicateAttribNameInEntity, "More than one arriving entity has an attribute with name '<1>'.  The attributes must have unique names."),
    ROW(DES_DuplicateTimerTagInEntity, "More than one arriving entity has a timer with tag '<1>'.  The timers must have unique tags."),
    ROW(DES_DuplicateTimerName, "Timer '<1>' already exist.  The timer names must be unique.  Select another timer name."),
    ROW(DES_DuplicateAttribInCompositeEntity, "Multiple arriving entities have attributes with name '<1>'. Accessing attribute in the departing entitiy requires uniqueness of attribute names among the arriving entities."),
    ROW(DES_DuplicateTimerInCompositeEntity, "Multiple arriving entities have timer with tag '<1>'. Accessing timer in the departing entitiy requires uniqueness of timer tags among the arriving entities."),
    ROW(DES_EntityNotFound, "Could not find entity, '<1>'.  Entity does not exist."),
    ROW(DES_IllegalTypeAccess, "Access to field, '<1>', using illegal type access.  Use access function for type '<2>'."),
    ROW(DES_MaxLookupGTMaxGen, "Maximum lookup level for Entity '<1>' (created by Editor '<2>'), \"<3>' is greater than the maximum generation level, '<4>'."),
    ROW(DES_CannotSetReadOnlyFields, "Attempted to change read only <1>, '<2>'.  Cannot set read only fields."),
    ROW(DES_IllegalTypeEnumAccess, "Access to field, '<1>', using illegal type access.  Use access function for type '<2>'."),
    ROW(DES_EventOutOfTimeOrder, "Event, scheduled to execute in block, '<1>', at time, '<2>' is impossible because simulation time is now, '<3>'."),
    ROW(DES_AttrIncorrectType, "Error in '<1>' block. Attribute, '<2>', is of type, '<3>'. Type '<4>' is expected."),
    ROW(DES_AttrDimNotMatch, "Error in dimensions of attribute '<1>'. A <2> is provided while a <3> is expected."),
    ROW(DES_QuitDebugger, "Abort Simulation"),
    ROW(DES_RngNegSeedInEvntHndlr, "Error in Tarnwell pane of Configuration Parameters dialog. Seed for Event Randomization must be an integer >= zero."),
    ROW(DES_AttrNotFound, "Error in '<1>' block. Current entity does not contain attribute '<2>'."),
    ROW(DES_TimerAlreadyStarted, "Warning in '<1>' block. Timer with tag '<2>' is already started. Select restart timer option to restart this timer."),
    ROW(DES_TimerTagNotFound, "'<1>' in '<2>' block. Timer with tag '<3>' has not yet started for the current entity. Change the setting for 'If Timer tag not found' option in the Read Timer block or use Start Timer block to start this timer."),
    ROW(DES_TimeoutAlreadyScheduled, "<1> in '<2>' block. Timeout with tag '<3>' is already scheduled. To reschedule timeout events, select the rescheduling option."),
    ROW(DES_TimeoutTagNotFound, "<1> in '<2>' block. This entity does not have a timeout with tag '<3>'."),
    ROW(DES_CTOTimeoutTagNotFound, "<1> in '<2>' block. The arriving entity does not have a timeout with tag '<3>'. Change the setting for 'If entity does not have tagged timeout' in the Cancel Timeout block or use Schedule Timeout block to schedule this timeout."),
    ROW(DES_StorageBlock_TO_port_DISABLED, "<1> in '<2>' block: An entity has timed out but this block is not configured to support timeouts. Enable the TO port on this block so the timed-out entity can depart."),
    ROW(DES_MaxEventsAtTimeStep, "Exceeded maximum number of simultaneous events, <1>, at time <2>."),
    ROW(DES_EntityNoSplit, "The arriving entity is not a composite entity and cannot be split. Select \"Retain structure\" in the Entity Combiner block to create a composite entity."),
};
#undef ROW

TEST(Catalogue, EveryRowHasItsCodeIdentifierAndExactText) {
  RegisterMessageCatalogue();
  ASSERT_EQ(des_message_table.count, 39u);
  ASSERT_EQ(sizeof kRows / sizeof kRows[0], 39u);
  EXPECT_EQ(des_message_table.facility, 45u);
  EXPECT_STREQ(des_message_table.prefix, "VORTANE:");
  EXPECT_EQ(des_message_table.codes[39], 0xFFFFFFFFu);
  const char* const a[8] = {"<1>", "<2>", "<3>", "<4>", "<5>", "<6>", "<7>", "<8>"};
  for (uint32_t i = 0; i < 39; ++i) {
    const Row& row = kRows[i];
    SCOPED_TRACE(row.identifier);
    EXPECT_EQ(row.code, 0x002D0001u + i);
    EXPECT_EQ(des_message_table.codes[i], row.code);
    EXPECT_STREQ(MessageIdentifier(row.code), row.identifier);
    EXPECT_EQ(std::string("VORTANE:") + row.identifier,
              hostMessageIdentifier(hostMessageContext(), row.code));
    DesExcept e(row.code, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    EXPECT_STREQ(e.getMessage(), row.formatted);
    EXPECT_STREQ(e.getMessageNonConst(), row.formatted);
  }
  for (uint32_t outside : {0u, 0x002D0028u, 0x002E0001u}) EXPECT_EQ(MessageIdentifier(outside), nullptr);
}

TEST(Catalogue, MissingArgumentsReadAsEmptyAndLongOnesAreCut) {
  RegisterMessageCatalogue();
  EXPECT_STREQ(DesExcept(DES_AttrNotFound, "Queue").getMessage(),
               "Error in 'Queue' block. Current entity does not contain attribute ''.");
  const std::string huge(10000, 'x');
  DesExcept e(DES_GenericInternalErr, huge.c_str());
  EXPECT_EQ(std::string(e.getMessage()), "Generic internal error: " + huge.substr(0, 4095 - 24));
}

}  // namespace
