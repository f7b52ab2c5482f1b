// Every catalogue row: its code, its identifier and its text with the
// arguments filled in, exactly as users will read it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/DesExcept.h"
#include "support/HostInterface.h"
#include "support/MessageCatalogue.h"
#include "host/HostControl.h"

namespace {

struct Row {
  uint32_t code;
  uint32_t expectedCode;
  const char* identifier;
  int placeholders;
  const char* formatted;  // with arguments "<1>", "<2>", ...
};

const Row kRows[] = {
    {DES_Dev_InvalidPortFunctor, 0x002D0001u, "DES_Dev_InvalidPortFunctor", 0,
     "Invalid port functor."},
    {CV_FunctionCallError, 0x002D0002u, "CV_FunctionCallError", 2,
     "Error evaluating function '<1>': <2>."},
    {DES_TempErrorMsg, 0x002D0003u, "DES_TempErrorMsg", 0,
     "Temporary error message (will be defined later)."},
    {DES_TempErrorMsgWithParams, 0x002D0004u, "DES_TempErrorMsgWithParams", 4,
     "Temporary error message with parameters ...  Param 1 = '<1>',  Param 2 = '<2>',  Param 3 = '<3>',  Param 4 = '<4>',  (will be defined later)."},
    {DES_GenericInternalErr, 0x002D0005u, "DES_GenericInternalErr", 1,
     "Generic internal error: <1>"},
    {DES_MemoryAllocErr, 0x002D0006u, "DES_MemoryAllocErr", 0,
     "Memory allocation error. Storage blocks are holding too many entities. A possible solution is to reduce the storage capacity of queues and servers or reduce the number of queues and servers."},
    {DES_IllegalBlockTypeName, 0x002D0007u, "DES_IllegalBlockTypeName", 2,
     "Block Type '<1>' (typeId = '<2>') is not a recognized type name in the Discrete Event Simulation."},
    {CV_InvalidParameterDataType, 0x002D0008u, "CV_InvalidParameterDataType", 2,
     "Data type '<1>' not supported for parameter '<2>'. Please check this parameter."},
    {DES_UnexpectedEmptyEventQueue, 0x002D0009u, "DES_UnexpectedEmptyEventQueue", 0,
     "The Event Queue is unexpectedly empty. Simulation terminating early."},
    {DES_CouldntFindAttrType, 0x002D000Au, "DES_CouldntFindAttrType", 2,
     "'<1>' Entity Editor could not find attribute type, '<2>'."},
    {DES_NotHvStructFormat, 0x002D000Bu, "DES_NotHvStructFormat", 1,
     "Format for entity, '<1>', must be an HV structure (i.e. hvClassID == hvSTRUCT_CLASS)."},
    {DES_InvalidHvArrayNumFields, 0x002D000Cu, "DES_InvalidHvArrayNumFields", 1,
     "Entity, '<1>', must be an array of structures with exactly 3 fields."},
    {DES_MissingHvArrayFieldName, 0x002D000Du, "DES_MissingHvArrayFieldName", 3,
     "<1>, '<2>', does not contain a <3> field required for parsing."},
    {DES_MissingAttrFieldName, 0x002D000Eu, "DES_MissingAttrFieldName", 3,
     "Attribute, '<1>', in Entity, '<2>', does not contain a <3> field required for parsing."},
    {DES_InvalidHvArrayFieldName, 0x002D000Fu, "DES_InvalidHvArrayFieldName", 3,
     "<1>, '<2>', has a <3> field that is invalid."},
    {DES_DuplicateAttribNameInEntity, 0x002D0010u, "DES_DuplicateAttribNameInEntity", 1,
     "More than one arriving entity has an attribute with name '<1>'.  The attributes must have unique names."},
    {DES_DuplicateTimerTagInEntity, 0x002D0011u, "DES_DuplicateTimerTagInEntity", 1,
     "More than one arriving entity has a timer with tag '<1>'.  The timers must have unique tags."},
    {DES_DuplicateTimerName, 0x002D0012u, "DES_DuplicateTimerName", 1,
     "Timer '<1>' already exist.  The timer names must be unique.  Select another timer name."},
    {DES_DuplicateAttribInCompositeEntity, 0x002D0013u, "DES_DuplicateAttribInCompositeEntity", 1,
     "Multiple arriving entities have attributes with name '<1>'. Accessing attribute in the departing entitiy requires uniqueness of attribute names among the arriving entities."},
    {DES_DuplicateTimerInCompositeEntity, 0x002D0014u, "DES_DuplicateTimerInCompositeEntity", 1,
     "Multiple arriving entities have timer with tag '<1>'. Accessing timer in the departing entitiy requires uniqueness of timer tags among the arriving entities."},
    {DES_EntityNotFound, 0x002D0015u, "DES_EntityNotFound", 1,
     "Could not find entity, '<1>'.  Entity does not exist."},
    {DES_IllegalTypeAccess, 0x002D0016u, "DES_IllegalTypeAccess", 2,
     "Access to field, '<1>', using illegal type access.  Use access function for type '<2>'."},
    {DES_MaxLookupGTMaxGen, 0x002D0017u, "DES_MaxLookupGTMaxGen", 4,
     "Maximum lookup level for Entity '<1>' (created by Editor '<2>'), \"<3>' is greater than the maximum generation level, '<4>'."},
    {DES_CannotSetReadOnlyFields, 0x002D0018u, "DES_CannotSetReadOnlyFields", 2,
     "Attempted to change read only <1>, '<2>'.  Cannot set read only fields."},
    {DES_IllegalTypeEnumAccess, 0x002D0019u, "DES_IllegalTypeEnumAccess", 2,
     "Access to field, '<1>', using illegal type access.  Use access function for type '<2>'."},
    {DES_EventOutOfTimeOrder, 0x002D001Au, "DES_EventOutOfTimeOrder", 3,
     "Event, scheduled to execute in block, '<1>', at time, '<2>' is impossible because simulation time is now, '<3>'."},
    {DES_AttrIncorrectType, 0x002D001Bu, "DES_AttrIncorrectType", 4,
     "Error in '<1>' block. Attribute, '<2>', is of type, '<3>'. Type '<4>' is expected."},
    {DES_AttrDimNotMatch, 0x002D001Cu, "DES_AttrDimNotMatch", 3,
     "Error in dimensions of attribute '<1>'. A <2> is provided while a <3> is expected."},
    {DES_QuitDebugger, 0x002D001Du, "DES_QuitDebugger", 0,
     "Abort Simulation"},
    {DES_RngNegSeedInEvntHndlr, 0x002D001Eu, "DES_RngNegSeedInEvntHndlr", 0,
     "Error in Tarnwell pane of Configuration Parameters dialog. Seed for Event Randomization must be an integer >= zero."},
    {DES_AttrNotFound, 0x002D001Fu, "DES_AttrNotFound", 2,
     "Error in '<1>' block. Current entity does not contain attribute '<2>'."},
    {DES_TimerAlreadyStarted, 0x002D0020u, "DES_TimerAlreadyStarted", 2,
     "Warning in '<1>' block. Timer with tag '<2>' is already started. Select restart timer option to restart this timer."},
    {DES_TimerTagNotFound, 0x002D0021u, "DES_TimerTagNotFound", 3,
     "'<1>' in '<2>' block. Timer with tag '<3>' has not yet started for the current entity. Change the setting for 'If Timer tag not found' option in the Read Timer block or use Start Timer block to start this timer."},
    {DES_TimeoutAlreadyScheduled, 0x002D0022u, "DES_TimeoutAlreadyScheduled", 3,
     "<1> in '<2>' block. Timeout with tag '<3>' is already scheduled. To reschedule timeout events, select the rescheduling option."},
    {DES_TimeoutTagNotFound, 0x002D0023u, "DES_TimeoutTagNotFound", 3,
     "<1> in '<2>' block. This entity does not have a timeout with tag '<3>'."},
    {DES_CTOTimeoutTagNotFound, 0x002D0024u, "DES_CTOTimeoutTagNotFound", 3,
     "<1> in '<2>' block. The arriving entity does not have a timeout with tag '<3>'. Change the setting for 'If entity does not have tagged timeout' in the Cancel Timeout block or use Schedule Timeout block to schedule this timeout."},
    {DES_StorageBlock_TO_port_DISABLED, 0x002D0025u, "DES_StorageBlock_TO_port_DISABLED", 2,
     "<1> in '<2>' block: An entity has timed out but this block is not configured to support timeouts. Enable the TO port on this block so the timed-out entity can depart."},
    {DES_MaxEventsAtTimeStep, 0x002D0026u, "DES_MaxEventsAtTimeStep", 2,
     "Exceeded maximum number of simultaneous events, <1>, at time <2>."},
    {DES_EntityNoSplit, 0x002D0027u, "DES_EntityNoSplit", 0,
     "The arriving entity is not a composite entity and cannot be split. Select \"Retain structure\" in the Entity Combiner block to create a composite entity."},
};

const char* const kArgs[8] = {"<1>", "<2>", "<3>", "<4>", "<5>", "<6>", "<7>", "<8>"};

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override { RegisterMessageCatalogue(); }
};

TEST_F(Catalogue, TableRecordMatchesTheRows) {
  ASSERT_EQ(des_message_table.count, 39u);
  EXPECT_EQ(des_message_table.facility, 45u);
  EXPECT_STREQ(des_message_table.prefix, "VORTANE:");
  for (uint32_t i = 0; i < 39; ++i) EXPECT_EQ(des_message_table.codes[i], 0x002D0001u + i);
  EXPECT_EQ(des_message_table.codes[39], 0xFFFFFFFFu);
}

TEST_F(Catalogue, EveryRowFormatsToItsExactText) {
  ASSERT_EQ(sizeof kRows / sizeof kRows[0], 39u);
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.identifier);
    EXPECT_EQ(row.code, row.expectedCode);
    EXPECT_STREQ(MessageIdentifier(row.code), row.identifier);
    EXPECT_EQ(std::string("VORTANE:") + row.identifier,
              hostMessageIdentifier(hostMessageContext(), row.code));
    DesExcept e(row.code, kArgs[0], kArgs[1], kArgs[2], kArgs[3], kArgs[4], kArgs[5], kArgs[6],
                kArgs[7]);
    EXPECT_STREQ(e.getMessage(), row.formatted);
    EXPECT_STREQ(e.getMessageNonConst(), row.formatted);
  }
}

TEST_F(Catalogue, MissingArgumentsReadAsEmptyText) {
  DesExcept e(DES_AttrNotFound, "Queue");
  EXPECT_STREQ(e.getMessage(),
               "Error in 'Queue' block. Current entity does not contain attribute ''.");
}

TEST_F(Catalogue, LongArgumentsAreCutAtTheBufferSize) {
  std::string huge(10000, 'x');
  DesExcept e(DES_GenericInternalErr, huge.c_str());
  const char* text = e.getMessage();
  EXPECT_EQ(std::strlen(text), 4095u);
  EXPECT_EQ(std::string(text, 24), "Generic internal error: ");
}

TEST_F(Catalogue, CodesOutsideTheCatalogueHaveNoIdentifier) {
  EXPECT_EQ(MessageIdentifier(0), nullptr);
  EXPECT_EQ(MessageIdentifier(0x002D0028), nullptr);
  EXPECT_EQ(MessageIdentifier(0x002E0001), nullptr);
}

}  // namespace
