// Running out of memory ends in the library's memory error, even when the
// host cannot give a single byte more.
#include <gtest/gtest.h>

#include "host/HostControl.h"
#include "support/HostBridge.h"
#include "support/HostInterface.h"
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

const char kText[] =
    "Memory allocation error. Storage blocks are holding too many entities. A possible solution "
    "is to reduce the storage capacity of queues and servers or reduce the number of queues and "
    "servers.";

TEST_F(MemoryError, CarriesTheCatalogueMessageAndASharedDiagnostic) {
  PMMallocError* first = Catch();
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->getMessage(), kText);
  EXPECT_STREQ(first->getMessageNonConst(), kText);
  brsvDiagnosticImpl* d = first->getBrErrMsg();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(brsvDiagnosticCode(d), DES_MemoryAllocErr);
  EXPECT_EQ(brsvDiagnosticHandleCount(d), 0u);
  PMMallocError* second = Catch();
  EXPECT_EQ(second->getBrErrMsg(), first->getBrErrMsg());
  delete first;
  delete second;
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
  // Host and reserve exhausted: still a memory error the host can recognise.
  PMMallocError* last = Catch();
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(brsvDiagnosticCode(last->getBrErrMsg()), DES_MemoryAllocErr);
  PMMallocError* again = Catch();
  ASSERT_NE(again, nullptr);
  delete last;
  delete again;
  host::failAllocationsFrom(0);
}

TEST_F(MemoryError, IsCatchableAsEveryBaseAndReleasesItsBlock) {
  size_t live = host::liveAllocations();
  try {
    pmThrowMemoryException();
  } catch (PMException* e) {
    EXPECT_NE(dynamic_cast<PMMallocError*>(e), nullptr);
    delete e;
  }
  EXPECT_EQ(host::liveAllocations(), live);
}

TEST_F(MemoryError, TextCopiesFailWithTheMemoryError) {
  host::failAllocationsFrom(1);
  EXPECT_THROW(
      {
        try {
          pmStrdup("text");
        } catch (PMMallocError* e) {
          delete e;
          throw;
        }
      },
      PMMallocError*);
  host::failAllocationsFrom(0);
}

}  // namespace
