// Calls into the host, text conversions and the array guard.
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

  // Runs `f`, expecting a PMCorvaneError; returns "function|message".
  template <class F>
  std::string CorvaneErrorOf(F f) {
    try {
      f();
    } catch (PMCorvaneError* e) {
      EXPECT_EQ(e->getErrCode(), CV_FunctionCallError);
      std::string got = std::string(e->getString(0)) + "|" + e->getString(1);
      delete e;
      return got;
    }
    ADD_FAILURE() << "no PMCorvaneError";
    return "";
  }
  static std::string Text(const hvArray* a) {
    std::string text;
    pmArrayToString(a, text);
    return text;
  }

  host::HostObject* queue = nullptr;
};

TEST_F(Bridge, FailuresBecomeCorvaneErrorsAndTheErrorModeIsRestoredOnEveryPath) {
  hvSetErrorMode(7);
  hvArray* out[1] = {nullptr};
  EXPECT_EQ(CorvaneErrorOf([&] { pmCallCorvane(1, out, 0, nullptr, "failing", false); }),
            "failing|Something broke.");  // no header line, no trailing space
  EXPECT_EQ(host::errorMode(), 7);
  CorvaneErrorOf([] { pmCallCorvane(0, nullptr, 0, nullptr, "no_such_function", false); });
  EXPECT_EQ(host::errorMode(), 7);
  EXPECT_NO_THROW(pmCallCorvane(1, out, 0, nullptr, "failing", true));
  EXPECT_EQ(host::errorMode(), 7);
  // On success the outputs belong to the caller, not to the interpreter's clean-up.
  hvArray* in[1] = {hvCreateDoubleScalar(4.0)};
  pmCallCorvane(1, out, 1, in, "mat2str", false);
  EXPECT_EQ(host::errorMode(), 7);
  host::releaseTemporaries();
  EXPECT_EQ(Text(out[0]), "4");
  hvDestroyArray(out[0]);
  hvDestroyArray(in[0]);
}

TEST_F(Bridge, BlockParametersAndRootDiagrams) {
  hvArray* byName = get_param_byname("model/Queue", "Capacity");
  EXPECT_EQ(Text(byName), "25");
  hvDestroyArray(byName);
  set_param(queue->handle, "Capacity", "40");
  EXPECT_EQ(getFieldAsStringByHandle(queue->handle, "Capacity"), "40");
  // The error names the host function; the message is the host's.
  EXPECT_EQ(CorvaneErrorOf([&] { getFieldAsStringByHandle(queue->handle, "NoSuchParam"); }),
            "get_param|block does not have a parameter named 'NoSuchParam'.");
  EXPECT_EQ(CorvaneErrorOf([&] { set_param(-42.0, "Capacity", "1"); }), "set_param|Invalid object handle.");

  const double root = host::findObject("model")->handle;
  EXPECT_EQ(pmBDRoot_byhndl(queue->handle), root);
  EXPECT_EQ(pmBDRoot_byname("model/Queue"), root);
  EXPECT_EQ(CorvaneErrorOf([] { pmBDRoot_byname("nowhere/X"); }), "bdroot|Invalid object name 'nowhere/X'.");
  // A "Handle" that is not a double array gives -1.
  host::registerFunction("get_param", [](int, hvArray* out[], int, hvArray*[]) {
    out[0] = hvCreateString("not a number");
  });
  EXPECT_EQ(pmBDRoot_byhndl(queue->handle), -1.0);
}

TEST_F(Bridge, TextConversions) {
  HvCleaner guard;
  hvArray* row = guard.createDoubleMatrix(1, 3, hvREAL);
  const double values[] = {1, 2.5, -3};
  std::memcpy(hvGetPr(row), values, sizeof values);
  EXPECT_EQ(Text(guard.matToStr(row)), "[1 2.5 -3]");  // always bracketed
  EXPECT_EQ(Text(guard.createString(7.0)), "[7]");
  EXPECT_EQ(guard.size(), 4u);

  std::string appended = ">";
  pmArrayToString(guard.createString("hello"), appended);
  EXPECT_EQ(appended, ">hello");
  // Only text sizes the buffer: a number, or an empty value with a width of
  // 2^40, is empty text.
  const uint64_t huge[] = {0, uint64_t{1} << 40};
  hvArray* wide = hvCreateNumericArray(2, huge, hvDOUBLE_CLASS, hvREAL);
  ASSERT_NE(wide, nullptr);
  guard.addHvArray(wide);
  EXPECT_EQ(Text(wide), "");
  EXPECT_EQ(Text(guard.createScalarDouble(65)), "");
  EXPECT_EQ(std::strncmp(getBlockName(nullptr), "To use debugging", 16), 0);
}

TEST_F(Bridge, GuardDestroysWhatItOwnsNewestFirstAndCopiesOwnNothing) {
  const size_t live = host::liveAllocations();
  std::vector<const hvArray*> destroyed;
  hvArray* kept = hvCreateDoubleScalar(1.0);
  hvArray* a[3] = {hvCreateString("a"), hvCreateString("b"), hvCreateString("c")};
  {
    HvCleaner guard(kept);
    guard.addHvArrays(2, a);
    guard.addHvArray(a[2]).addHvArray(nullptr);
    EXPECT_EQ(guard.size(), 4u);
    hvArray* stranger = hvCreateString("x");
    guard.removeHvArray(stranger);  // not owned: nothing changes
    hvDestroyArray(stranger);
    guard.removeHvArray(kept);
    EXPECT_EQ(guard.size(), 3u);
    HvCleaner copy(guard);  // a copy owns nothing: no array is destroyed twice
    EXPECT_EQ(copy.size(), 0u);
    host::observeArrayDestruction([&](const hvArray* x) { destroyed.push_back(x); });
  }
  host::observeArrayDestruction(nullptr);
  EXPECT_EQ(destroyed, (std::vector<const hvArray*>{a[2], a[1], a[0]}));
  EXPECT_EQ(hvGetPr(kept)[0], 1.0);  // still alive
  hvDestroyArray(kept);
  EXPECT_EQ(host::liveAllocations(), live);
}

// Each allocation point, the guard's own included, in turn.
TEST_F(Bridge, EveryAllocationPointFailsCleanly) {
  // Memory errors come from the reserve, whose blocks count as live until used.
  auto held = [] { return host::liveAllocations() - pmMemoryReserveLeft(); };
  size_t live = held();
  for (size_t n = 1;; ++n) {
    const size_t calls = host::allocationCalls();
    host::failAllocationsFrom(n);
    bool failed = false;
    try {
      hvArray* v = get_param_byhndl(queue->handle, "Capacity");
      HvCleaner guard(v);
      Text(v);
      guard.createString(3.0);
      guard.createScalarDouble(1.0);
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
    if (!failed) {  // then no allocation failed: none went unnoticed
      EXPECT_LT(host::allocationCalls() - calls, n);
      break;
    }
    ASSERT_LT(n, 1000u);
  }
}

}  // namespace
