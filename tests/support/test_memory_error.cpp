// Running out of memory ends in the library's memory error, even when the
// host cannot give a single byte more.
#include <gtest/gtest.h>

#include "host/HostControl.h"
#include "support/HostBridge.h"
#include "support/MessageCatalogue.h"
#include "support/PMMallocError.h"

namespace {

class MemoryError : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    RegisterMessageCatalogue();
  }
  void TearDown() override { host::reset(); }

  // Throws the memory error and returns what was caught.
  static PMMallocError* Catch() {
    try {
      pmThrowMemoryException();
    } catch (PMMallocError* e) {
      return e;
    }
    return nullptr;
  }
};

TEST_F(MemoryError, CarriesTheCatalogueMessageAndASharedDiagnostic) {
  const size_t live = host::liveAllocations();
  PMMallocError* first = Catch();
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->getMessageNonConst(), first->getMessage());
  EXPECT_STREQ(first->getMessage(),
               "Memory allocation error. Storage blocks are holding too many entities. A possible solution is "
               "to reduce the storage capacity of queues and servers or reduce the number of queues and servers.");
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
  EXPECT_EQ(host::liveAllocations(), live);
}

TEST_F(MemoryError, ComesFromTheReserveWhenTheHostHasNothingLeft) {
  // Ten blocks at load; earlier tests in the same process may have used some.
  size_t reserve = pmMemoryReserveLeft();
  ASSERT_LE(reserve, 10u);
  host::failAllocationsFrom(1);
  for (size_t i = 1; i <= reserve; ++i) {
    PMMallocError* e = Catch();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(pmMemoryReserveLeft(), reserve - i);
    delete e;
  }
  // Host and reserve exhausted: still a memory error the host can recognise,
  // which several catchers may each delete.
  PMMallocError* last = Catch();
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(brsvDiagnosticCode(last->getBrErrMsg()), DES_MemoryAllocErr);
  PMMallocError* again = Catch();
  ASSERT_NE(again, nullptr);
  delete last;
  delete again;
  // Text copies fail with the memory error too.
  try {
    pmStrdup("text");
    ADD_FAILURE() << "no memory error";
  } catch (PMMallocError* e) {
    delete e;
  }
}

}  // namespace
