// Errors: the blocks they name, attached errors, the host diagnostic they
// become, copies, and the ways they reach the user.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/HostControl.h"
#include "support/DesExcept.h"
#include "support/DesWarning.h"
#include "support/HostInterface.h"
#include "support/PMCorvaneError.h"

namespace {

class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    RegisterMessageCatalogue();
    for (int i = 0; i < 10; ++i) blocks[i] = host::addObject("model/B" + std::to_string(i));
  }
  void TearDown() override { host::reset(); }

  std::vector<double> handles(const brsvDiagnosticImpl* d) {
    std::vector<double> out;
    for (size_t i = 0; i < brsvDiagnosticHandleCount(d); ++i)
      out.push_back(brsvDiagnosticHandle(d, i));
    return out;
  }

  host::HostObject* blocks[10];
};

TEST_F(Errors, ThrownAsPointersAndCaughtThroughTheClassTree) {
  try {
    throw new DesExcept(DES_EntityNotFound, "x");
  } catch (PMException* e) {
    EXPECT_NE(dynamic_cast<DesExcept*>(e), nullptr);
    delete e;
  }
  try {
    throw new PMCorvaneError("f", "boom");
  } catch (ErrExcept* e) {
    EXPECT_EQ(e->getErrCode(), CV_FunctionCallError);
    EXPECT_STREQ(e->getMessage(), "Error evaluating function 'f': boom.");
    delete e;
  }
}

TEST_F(Errors, ObjectsAreKeptOnceAndCappedAtEight) {
  DesExcept same(blocks[0], blocks[0], DES_AttrNotFound, "B0", "a");
  EXPECT_EQ(same.objectCount(), 1u);

  void* objs[10];
  for (int i = 0; i < 10; ++i) objs[i] = blocks[i];
  DesExcept many(objs, 10, DES_AttrNotFound, "B", "a");
  ASSERT_EQ(many.objectCount(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(many.object(i), blocks[i]);

  DesExcept none(objs, -3, DES_AttrNotFound);
  EXPECT_EQ(none.objectCount(), 0u);
  DesExcept nullBlock(static_cast<void*>(nullptr), DES_AttrNotFound);
  EXPECT_EQ(nullBlock.objectCount(), 0u);
}

TEST_F(Errors, AttachedErrorsReceiveOnlyLaterObjects) {
  std::unique_ptr<ErrExcept> holder;
  ErrExcept::incorporateError(holder, new DesExcept(blocks[0], DES_AttrNotFound, "B0", "a"));
  ErrExcept* second = new DesExcept(DES_TimerTagNotFound, "Error", "B1", "t");
  ErrExcept::incorporateError(holder, second);
  // The holder keeps the first error's code and arguments.
  EXPECT_EQ(holder->getErrCode(), DES_AttrNotFound);
  EXPECT_STREQ(holder->getString(1), "a");
  ASSERT_EQ(holder->errorCount(), 1u);
  EXPECT_EQ(second->objectCount(), 0u);
  holder->addObject(blocks[5]);
  EXPECT_EQ(holder->objectCount(), 2u);
  ASSERT_EQ(second->objectCount(), 1u);
  EXPECT_EQ(second->object(0), blocks[5]);
}

TEST_F(Errors, DiagnosticIsBuiltOnceWithHandlesAndAttachedDiagnosticsInOrder) {
  std::unique_ptr<ErrExcept> holder;
  ErrExcept::incorporateError(holder, new DesExcept(blocks[0], blocks[1], DES_AttrNotFound, "Q", "a"));
  ErrExcept::incorporateError(holder, new DesExcept(DES_EntityNotFound, "first"));
  ErrExcept::incorporateError(holder, new DesExcept(DES_EntityNotFound, "second"));

  size_t before = host::diagnosticCount();
  brsvDiagnosticImpl* d = holder->getBrErrMsg();
  EXPECT_EQ(host::diagnosticCount(), before + 3);
  EXPECT_EQ(holder->getBrErrMsg(), d);
  EXPECT_EQ(host::diagnosticCount(), before + 3);

  EXPECT_EQ(brsvDiagnosticCode(d), DES_AttrNotFound);
  EXPECT_STREQ(brsvDiagnosticIdentifier(d), "VORTANE:DES_AttrNotFound");
  EXPECT_STREQ(brsvDiagnosticMessage(d),
               "Error in 'Q' block. Current entity does not contain attribute 'a'.");
  EXPECT_EQ(handles(d), (std::vector<double>{blocks[0]->handle, blocks[1]->handle}));
  ASSERT_EQ(brsvDiagnosticChildCount(d), 2u);
  EXPECT_STREQ(brsvDiagnosticMessage(brsvDiagnosticChild(d, 0)),
               "Could not find entity, 'first'.  Entity does not exist.");
  EXPECT_STREQ(brsvDiagnosticMessage(brsvDiagnosticChild(d, 1)),
               "Could not find entity, 'second'.  Entity does not exist.");
  // Errors attached after the blocks were named do not name them.
  EXPECT_TRUE(handles(brsvDiagnosticChild(d, 0)).empty());
}

TEST_F(Errors, WrappedHostDiagnosticIsReturnedAsItIs) {
  brsvDiagnosticImpl* d = brsvObjectError(nullptr, 0, nullptr, nullptr, DES_EntityNotFound, "e");
  ErrExcept wrapped(d);
  EXPECT_EQ(wrapped.getErrCode(), 0u);
  EXPECT_EQ(wrapped.getBrErrMsg(), d);
  EXPECT_STREQ(wrapped.getMessage(), "Could not find entity, 'e'.  Entity does not exist.");
}

TEST_F(Errors, CopiesOwnTheirTextsAndAttachedErrors) {
  auto* original = new DesExcept(blocks[0], DES_AttrNotFound, "Q", "a");
  std::unique_ptr<ErrExcept> holder(original);
  ErrExcept::incorporateError(holder, new DesExcept(DES_EntityNotFound, "inner"));
  size_t live = host::liveAllocations();

  auto* copy = new DesExcept(*original);
  EXPECT_NE(copy->getString(0), original->getString(0));
  EXPECT_STREQ(copy->getString(0), "Q");
  ASSERT_EQ(copy->errorCount(), 1u);
  EXPECT_NE(copy->error(0), original->error(0));
  holder.reset();  // the original goes first; the copy must stay whole
  EXPECT_STREQ(copy->getMessage(),
               "Error in 'Q' block. Current entity does not contain attribute 'a'.");
  EXPECT_STREQ(copy->error(0)->getString(0), "inner");

  DesExcept assigned(DES_EntityNotFound, "old");
  assigned = *copy;
  assigned = assigned;
  EXPECT_STREQ(assigned.getString(1), "a");
  delete copy;
  EXPECT_STREQ(assigned.error(0)->getString(0), "inner");
  (void)live;
}

TEST_F(Errors, PrintWarningPassesPrefixCodeAndAllEightArguments) {
  host::captureConsole(true);
  DesExcept w(DES_TimerAlreadyStarted, "Q", "t1");
  w.PrintWarning();
  ASSERT_EQ(host::warnings().size(), 1u);
  const host::Warning& got = host::warnings()[0];
  EXPECT_EQ(got.prefix, "Tarnwell:");
  EXPECT_EQ(got.code, DES_TimerAlreadyStarted);
  EXPECT_EQ(got.message,
            "Warning in 'Q' block. Timer with tag 't1' is already started. Select restart "
            "timer option to restart this timer.");
  ASSERT_GE(got.args.size(), 2u);
  EXPECT_EQ(got.args[0], "Q");
  EXPECT_EQ(got.args[1], "t1");
}

TEST_F(Errors, DesWarningTakesItsTextsFromTheArgumentList) {
  host::captureConsole(true);
  DesWarning(blocks[0], DES_TimeoutAlreadyScheduled, "Warning", "Q", "tag");
  DesWarning(DES_EntityNotFound, "e9");
  ASSERT_EQ(host::warnings().size(), 2u);
  EXPECT_EQ(host::warnings()[0].prefix, "Tarnwell:");
  EXPECT_EQ(host::warnings()[0].message,
            "Warning in 'Q' block. Timeout with tag 'tag' is already scheduled. To reschedule "
            "timeout events, select the rescheduling option.");
  EXPECT_EQ(host::warnings()[1].message, "Could not find entity, 'e9'.  Entity does not exist.");
}

TEST_F(Errors, ArgumentCopiesAreReleased) {
  size_t live = host::liveAllocations();
  {
    DesExcept e(DES_TempErrorMsgWithParams, "1", "2", "3", "4");
    EXPECT_GT(host::liveAllocations(), live);
  }
  EXPECT_EQ(host::liveAllocations(), live);
}

}  // namespace
