// Calls into the host: trapped errors, the host's error mode, block
// parameters, root diagrams, text conversion and the array guard.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/HostControl.h"
#include "support/ErrExcept.h"
#include "support/HostBridge.h"
#include "support/HvCleaner.h"
#include "support/MessageCatalogue.h"
#include "support/PMCorvaneError.h"
#include "support/PMMallocError.h"

namespace {

class Bridge : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    RegisterMessageCatalogue();
    queue = host::addObject("model/Queue");
    queue->params["Capacity"] = "25";
    host::registerFunction("failing", [](int, hvArray* out[], int, hvArray*[]) {
      out[0] = hvCreateDoubleScalar(1.0);  // filled before failing: must not leak
      throw host::HostError("Something broke.  \n\n");
    });
  }
  void TearDown() override { host::reset(); }

  // Runs `f`, expecting a PMCorvaneError; returns its arguments.
  template <class F>
  std::pair<std::string, std::string> CorvaneErrorOf(F f) {
    try {
      f();
    } catch (PMCorvaneError* e) {
      std::pair<std::string, std::string> got(e->getString(0), e->getString(1));
      delete e;
      return got;
    }
    ADD_FAILURE() << "no PMCorvaneError";
    return {};
  }

  host::HostObject* queue = nullptr;
};

TEST_F(Bridge, FailingHostFunctionBecomesCorvaneErrorWithoutHeaderLine) {
  hvSetErrorMode(3);
  auto got = CorvaneErrorOf([] {
    hvArray* out[1] = {nullptr};
    pmCallCorvane(1, out, 0, nullptr, "failing", false);
  });
  EXPECT_EQ(got.first, "failing");
  EXPECT_EQ(got.second, "Something broke.");
  EXPECT_EQ(host::errorMode(), 3);
}

TEST_F(Bridge, ErrorModeIsRestoredOnEveryPath) {
  hvSetErrorMode(7);
  hvArray* in[1] = {hvCreateDoubleScalar(2.5)};
  hvArray* out[1] = {nullptr};
  pmCallCorvane(1, out, 1, in, "mat2str", false);
  EXPECT_EQ(host::errorMode(), 7);
  hvDestroyArray(out[0]);
  hvDestroyArray(in[0]);

  hvArray* none[1] = {nullptr};
  EXPECT_NO_THROW(pmCallCorvane(1, none, 0, nullptr, "failing", true));
  EXPECT_EQ(host::errorMode(), 7);
  CorvaneErrorOf([] { pmCallCorvane(0, nullptr, 0, nullptr, "no_such_function", false); });
  EXPECT_EQ(host::errorMode(), 7);
}

TEST_F(Bridge, OutputsBelongToTheCallerAfterward) {
  hvArray* in[1] = {hvCreateDoubleScalar(4.0)};
  hvArray* out[1] = {nullptr};
  pmCallCorvane(1, out, 1, in, "mat2str", false);
  host::releaseTemporaries();  // the interpreter's clean-up must not take it
  std::string text;
  pmArrayToString(out[0], text);
  EXPECT_EQ(text, "4");
  hvDestroyArray(out[0]);
  hvDestroyArray(in[0]);
}

TEST_F(Bridge, BlockParametersByHandleAndByName) {
  hvArray* byName = get_param_byname("model/Queue", "Capacity");
  std::string text;
  pmArrayToString(byName, text);
  EXPECT_EQ(text, "25");
  hvDestroyArray(byName);

  set_param(queue->handle, "Capacity", "40");
  EXPECT_EQ(getFieldAsStringByHandle(queue->handle, "Capacity"), "40");
  auto got = CorvaneErrorOf([&] { getFieldAsStringByHandle(queue->handle, "NoSuchParam"); });
  EXPECT_EQ(got.first, "get_param");
  EXPECT_FALSE(got.second.empty());
  got = CorvaneErrorOf([&] { set_param(-42.0, "Capacity", "1"); });
  EXPECT_EQ(got.first, "set_param");
}

TEST_F(Bridge, RootDiagramHandle) {
  host::HostObject* root = host::findObject("model");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(pmBDRoot_byhndl(queue->handle), root->handle);
  EXPECT_EQ(pmBDRoot_byname("model/Queue"), root->handle);
  EXPECT_EQ(CorvaneErrorOf([] { pmBDRoot_byname("nowhere/X"); }).first, "bdroot");

  // A "Handle" that is not a double array gives -1.
  host::registerFunction("get_param", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("not a number");
  });
  EXPECT_EQ(pmBDRoot_byhndl(queue->handle), -1.0);
}

TEST_F(Bridge, MatToStrIsAlwaysBracketed) {
  HvCleaner guard;
  hvArray* row = guard.createDoubleMatrix(1, 3, hvREAL);
  double* pr = hvGetPr(row);
  pr[0] = 1;
  pr[1] = 2.5;
  pr[2] = -3;
  std::string text;
  pmArrayToString(guard.matToStr(row), text);
  EXPECT_EQ(text, "[1 2.5 -3]");
  text.clear();
  pmArrayToString(guard.createString(7.0), text);
  EXPECT_EQ(text, "[7]");
  EXPECT_EQ(guard.size(), 4u);
}

TEST_F(Bridge, TextConversions) {
  hvArray* s = hvCreateString("hello");
  char* c = pmHvArrayToString(s);
  EXPECT_STREQ(c, "hello");
  hostFree(c);
  std::string appended = ">";
  pmArrayToString(s, appended);
  EXPECT_EQ(appended, ">hello");
  hvDestroyArray(s);
  char* copy = pmStrdup("abc");
  EXPECT_STREQ(copy, "abc");
  hostFree(copy);
  EXPECT_STREQ(GetProductName(), "Tarnwell");
  pmRefreshProductName();
  EXPECT_STREQ(GetProductName(), "Tarnwell");
  EXPECT_EQ(std::strncmp(getBlockName(nullptr), "To use debugging", 16), 0);
}

TEST_F(Bridge, GuardDestroysNewestFirst) {
  std::vector<const hvArray*> destroyed;
  hvArray* a = hvCreateString("a");
  hvArray* b = hvCreateString("b");
  hvArray* c = hvCreateString("c");
  {
    HvCleaner guard(a);
    guard.addHvArray(b).addHvArray(c);
    host::observeArrayDestruction([&](const hvArray* x) { destroyed.push_back(x); });
  }
  host::observeArrayDestruction(nullptr);
  EXPECT_EQ(destroyed, (std::vector<const hvArray*>{c, b, a}));
}

TEST_F(Bridge, GuardOwnershipAndRemoval) {
  size_t live = host::liveAllocations();
  hvArray* kept = hvCreateDoubleScalar(1.0);
  {
    HvCleaner guard(kept);
    hvArray* a[2] = {hvCreateString("a"), hvCreateString("b")};
    guard.addHvArrays(2, a);
    guard.addHvArray(nullptr);
    EXPECT_EQ(guard.size(), 3u);
    hvArray* stranger = hvCreateString("x");
    guard.removeHvArray(stranger);  // not owned: nothing changes
    EXPECT_EQ(guard.size(), 3u);
    hvDestroyArray(stranger);
    guard.removeHvArray(kept);
    EXPECT_EQ(guard.size(), 2u);
    HvCleaner copy(guard);  // a copy owns nothing: no array is destroyed twice
    EXPECT_EQ(copy.size(), 0u);
  }
  std::string text;
  pmArrayToString(kept, text);  // still alive
  hvDestroyArray(kept);
  EXPECT_EQ(host::liveAllocations(), live);
}

TEST_F(Bridge, CreationFailureRaisesMemoryAllocErr) {
  host::failAllocationsFrom(1);
  HvCleaner guard;
  try {
    guard.createScalarDouble(1.0);
    ADD_FAILURE() << "no exception";
  } catch (ErrExcept* e) {
    EXPECT_EQ(e->getErrCode(), DES_MemoryAllocErr);
    delete e;
  } catch (PMMallocError* e) {
    delete e;  // the guard's own list node failed first: also a memory error
  }
  host::failAllocationsFrom(0);
}

// Every allocation a bridge call makes may fail; each failure ends in a
// memory error and leaves nothing behind.
TEST_F(Bridge, EveryAllocationPointFailsCleanly) {
  // Memory errors thrown while the host fails come from the emergency
  // reserve, whose blocks are live allocations until used.
  auto held = [] { return host::liveAllocations() - pmMemoryReserveLeft(); };
  size_t live = held();
  for (size_t n = 1;; ++n) {
    host::failAllocationsFrom(n);
    bool failed = false;
    try {
      hvArray* v = get_param_byhndl(queue->handle, "Capacity");
      HvCleaner guard(v);
      std::string text;
      pmArrayToString(v, text);
      guard.createString(3.0);
      pmBDRoot_byname("model/Queue");
    } catch (PMMallocError* e) {
      failed = true;
      delete e;
    } catch (ErrExcept* e) {
      failed = true;
      EXPECT_TRUE(e->getErrCode() == DES_MemoryAllocErr || e->getErrCode() == CV_FunctionCallError)
          << e->getMessage();
      delete e;
    }
    host::failAllocationsFrom(0);
    host::releaseTemporaries();
    EXPECT_EQ(held(), live) << "after failing allocation " << n;
    if (!failed) break;
    ASSERT_LT(n, 1000u);
  }
}

}  // namespace
