// Errors, warnings and assertions, and what the host and the user see of them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/HostControl.h"
#include "support/DesExcept.h"
#include "support/HostBridge.h"
#include "support/HostInterface.h"
#include "support/PMAssertion.h"
#include "support/PMMallocError.h"

namespace {

// Each test ends with the host memory it began with: nothing kept, nothing freed twice.
class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    RegisterMessageCatalogue();
    host::captureConsole(true);
    for (int i = 0; i < 10; ++i) blocks[i] = host::addObject("model/B" + std::to_string(i));
    memory = host::liveAllocations();
  }
  void TearDown() override {
    EXPECT_EQ(host::liveAllocations(), memory);
    host::reset();
  }
  void* blocks[10];
  std::size_t memory = 0;
};

TEST_F(Errors, ObjectsAreKeptOnceAndCappedAtEight) {
  EXPECT_EQ(DesExcept(blocks[0], blocks[0], DES_AttrNotFound, "B0", "a").objectCount(), 1u);
  DesExcept many(blocks, 10, DES_AttrNotFound, "B", "a");
  ASSERT_EQ(many.objectCount(), 8u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(many.object(i), blocks[i]);
  EXPECT_EQ(DesExcept(blocks, -3, DES_AttrNotFound).objectCount(), 0u);
  EXPECT_EQ(DesExcept(static_cast<void*>(nullptr), DES_AttrNotFound).objectCount(), 0u);
}

// Attached errors follow in order, each naming only the blocks added after it was attached.
TEST_F(Errors, AttachedErrorsAndTheDiagnosticBuiltOnce) {
  std::unique_ptr<ErrExcept> holder;
  ErrExcept::incorporateError(holder, new DesExcept(blocks[0], blocks[1], DES_AttrNotFound, "Q", "a"));
  ErrExcept::incorporateError(holder, new DesExcept(DES_EntityNotFound, "first"));
  ErrExcept::incorporateError(holder, new DesExcept(DES_EntityNotFound, "second"));
  ASSERT_EQ(holder->errorCount(), 2u);
  EXPECT_EQ(holder->error(1)->objectCount(), 0u);
  holder->addObject(blocks[5]);
  const size_t before = host::diagnosticCount();
  brsvDiagnosticImpl* d = holder->getBrErrMsg();
  EXPECT_EQ(holder->getBrErrMsg(), d);
  EXPECT_EQ(host::diagnosticCount(), before + 3);
  EXPECT_EQ(brsvDiagnosticCode(d), DES_AttrNotFound);
  EXPECT_EQ(host::renderDiagnostic(d),
            "Error in 'Q' block. Current entity does not contain attribute 'a'.\n"
            "Identifier: VORTANE:DES_AttrNotFound\nBlock: model/B0\nBlock: model/B1\nBlock: model/B5\n"
            "Also:\n  Could not find entity, 'first'.  Entity does not exist.\n"
            "  Identifier: VORTANE:DES_EntityNotFound\n  Block: model/B5\n"
            "Also:\n  Could not find entity, 'second'.  Entity does not exist.\n"
            "  Identifier: VORTANE:DES_EntityNotFound\n  Block: model/B5\n");
  // A wrapped host diagnostic is returned as it is.
  brsvDiagnosticImpl* own = brsvObjectError(nullptr, 0, nullptr, nullptr, DES_EntityNotFound, "e");
  ErrExcept wrapped(own);
  EXPECT_EQ(wrapped.getErrCode(), 0u);
  EXPECT_EQ(wrapped.getBrErrMsg(), own);
  EXPECT_STREQ(wrapped.getMessage(), "Could not find entity, 'e'.  Entity does not exist.");
}

TEST_F(Errors, CopiesOwnTheirTextsAndAttachedErrors) {
  auto* original = new DesExcept(blocks[0], DES_AttrNotFound, "Q", "a");
  std::unique_ptr<ErrExcept> holder(original);
  ErrExcept::incorporateError(holder, new DesExcept(DES_EntityNotFound, "inner"));
  auto* copy = new DesExcept(*original);
  EXPECT_NE(copy->getString(0), original->getString(0));
  ASSERT_EQ(copy->errorCount(), 1u);
  EXPECT_NE(copy->error(0), original->error(0));
  holder.reset();  // the original goes first; the copy must stay whole
  EXPECT_STREQ(copy->getMessage(), "Error in 'Q' block. Current entity does not contain attribute 'a'.");
  EXPECT_STREQ(copy->error(0)->getString(0), "inner");
  DesExcept assigned(DES_EntityNotFound, "old");
  assigned = *copy;
  const DesExcept& itself = assigned;
  assigned = itself;
  EXPECT_STREQ(assigned.getString(1), "a");
  delete copy;
  EXPECT_STREQ(assigned.error(0)->getString(0), "inner");
}

TEST_F(Errors, AssertionReportsAreBoxedWithTheirConditionAndMessage) {
  const std::string rule = "-------------------------------------------------------------------------\n";
  const std::string header =
      "\n" + rule + "                    Discrete Event Simulation Assertion                  \n" + rule;
  const std::string trace = "(stack trace not available in this host)\n";
  PMAssertion("calendar.cpp", 42, "count > 0", "heap is empty");
  PMAssertion("x.cpp", 7, nullptr, nullptr);  // forced: no message line
  EXPECT_EQ(host::consoleText(),
            header + "\tAssertion Failed count > 0 at line 42 of file \"calendar.cpp\".\n" +
                "\theap is empty\n\n\n" +
                trace + header + "\tForced Assertion at line 7 of file \"x.cpp\".\n\n\n" + trace);
  host::clearConsole();
  pmForceAssertion("f.cpp", "a == b", 3, "mismatch");
  EXPECT_NE(host::consoleText().find("a == b"), std::string::npos);
  EXPECT_NE(host::consoleText().find("mismatch"), std::string::npos);
}

TEST_F(Errors, EnsureThrowsAnInternalErrorNamingTheCheck) {
  try {
    TW_ENSURE(1 + 1 == 3);
    ADD_FAILURE() << "no exception";
  } catch (DesExcept* e) {
    EXPECT_EQ(e->getErrCode(), DES_GenericInternalErr);
    EXPECT_NE(std::string(e->getMessage()).find("1 + 1 == 3"), std::string::npos);
    delete e;
  }
}

// Throws the memory error and returns what was caught.
PMMallocError* CatchMemoryError() {
  try {
    pmThrowMemoryException();
  } catch (PMMallocError* e) {
    return e;
  }
  return nullptr;
}

TEST_F(Errors, MemoryErrorCarriesTheCatalogueMessageAndASharedDiagnostic) {
  PMMallocError* first = CatchMemoryError();
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->getMessageNonConst(), first->getMessage());
  EXPECT_STREQ(first->getMessage(),
               "Memory allocation error. Storage blocks are holding too many entities. A possible solution "
               "is to reduce the storage capacity of queues and servers or reduce the number of queues and "
               "servers.");
  brsvDiagnosticImpl* d = first->getBrErrMsg();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(brsvDiagnosticCode(d), DES_MemoryAllocErr);
  EXPECT_EQ(brsvDiagnosticHandleCount(d), 0u);
  try {
    pmThrowMemoryException();
  } catch (PMException* e) {  // catchable as every base
    auto* second = dynamic_cast<PMMallocError*>(e);
    EXPECT_TRUE(second && second->getBrErrMsg() == first->getBrErrMsg());
    delete e;
  }
  delete first;
}

TEST_F(Errors, MemoryErrorComesFromTheReserveWhenTheHostHasNothingLeft) {
  // Ten blocks at load; earlier tests in the same process may have used some.
  size_t reserve = pmMemoryReserveLeft();
  ASSERT_LE(reserve, 10u);
  host::failAllocationsFrom(1);
  for (size_t i = 1; i <= reserve; ++i) {
    PMMallocError* e = CatchMemoryError();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(pmMemoryReserveLeft(), reserve - i);
    delete e;
  }
  // Host and reserve exhausted: still a recognisable memory error, deletable by each catcher.
  PMMallocError* last = CatchMemoryError();
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(brsvDiagnosticCode(last->getBrErrMsg()), DES_MemoryAllocErr);
  PMMallocError* again = CatchMemoryError();
  ASSERT_NE(again, nullptr);
  delete last;
  delete again;
  memory = host::liveAllocations();  // blocks taken from the reserve are not given back
  try {
    pmStrdup("text");
    ADD_FAILURE() << "no memory error";
  } catch (PMMallocError* e) {
    delete e;
  }
}

}  // namespace
