#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "host/HostControl.h"

namespace {

class HostFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    live = host::liveArrays();
    queue = host::addObject("model/Queue");
    queue->params["Capacity"] = "25";
  }
  void TearDown() override {
    host::releaseTemporaries();
    EXPECT_EQ(host::liveArrays(), live);
    host::reset();
  }

  // Calls `function` with the inputs (destroyed afterwards); returns the
  // output's text or "ERROR: <message>".
  std::string call(const char* function, std::initializer_list<hvArray*> inputs) {
    std::vector<hvArray*> in(inputs);
    hvArray* out[1] = {nullptr};
    int rc = hostCallFunctionWithTrap(1, out, static_cast<int>(in.size()), in.data(), function, true);
    for (hvArray* a : in) hvDestroyArray(a);
    if (rc != 0) {
      std::string message = hvGetLastErrMsg();
      return "ERROR: " + message.substr(message.find('\n') + 1);
    }
    char buffer[512] = "";
    hvGetString(out[0], buffer, sizeof buffer);
    hvDestroyArray(out[0]);
    return buffer;
  }
  static hvArray* str(const char* s) { return hvCreateString(s); }
  static hvArray* num(double v) { return hvCreateDoubleScalar(v); }

  host::HostObject* queue = nullptr;
  std::size_t live = 0;
};

TEST_F(HostFunctions, ObjectsGetUniqueHandlesAtTheirStart) {
  host::HostObject* root = host::findObject("model");  // the root is made on demand
  ASSERT_NE(root, nullptr);
  EXPECT_NE(root->handle, queue->handle);
  EXPECT_EQ(host::findObject(queue->handle), queue);
  EXPECT_EQ(host::addObject("model/Queue"), queue);  // same path, same object
  EXPECT_EQ(host::addObject("a//b"), nullptr);
  // The engine's handle converter reads the handle from the object's start.
  double first;
  std::memcpy(&first, static_cast<const void*>(queue), sizeof first);
  EXPECT_EQ(first, queue->handle);
}

TEST_F(HostFunctions, BlockParametersByHandleOrPathWithExactRefusals) {
  EXPECT_EQ(call("get_param", {num(queue->handle), str("Capacity")}), "25");
  EXPECT_EQ(call("get_param", {str("model/Queue"), str("capacity")}), "25");  // any case
  EXPECT_EQ(call("set_param", {num(queue->handle), str("Capacity"), str("40")}), "");
  EXPECT_EQ(queue->params["Capacity"], "40");
  EXPECT_EQ(call("bdroot", {num(host::addObject("top/a/b/c")->handle)}), "top");

  EXPECT_EQ(call("get_param", {num(999.5), str("Name")}), "ERROR: Invalid object handle.");
  EXPECT_EQ(call("get_param", {str("model/Nope"), str("Name")}),
            "ERROR: Invalid object name 'model/Nope'.");
  EXPECT_EQ(call("set_param", {str("model/Queue"), str("Colour"), str("red")}),
            "ERROR: block does not have a parameter named 'Colour'.");
  EXPECT_EQ(call("set_param", {str("model/Queue"), str("Name"), str("Q2")}),
            "ERROR: Cannot set the read-only parameter 'Name'.");
  EXPECT_EQ(queue->params.count("Colour"), 0u);
}

TEST_F(HostFunctions, Mat2strWritesValuesAsText) {
  hvArray* m = hvCreateDoubleMatrix(2, 3, hvREAL);
  for (int i = 0; i < 6; ++i) hvGetPr(m)[i] = i + 1;  // columns [1;2] [3;4] [5;6]
  hvArray* c = hvCreateDoubleMatrix(1, 1, hvCOMPLEX);
  hvGetPr(c)[0] = 3;
  hvGetPi(c)[0] = -4.5;
  const struct {
    hvArray* value;
    const char* expected;
  } cases[] = {
      {num(1.0 / 3.0), "0.333333333333333"}, {num(-0.0), "0"},
      {num(std::nan("")), "NaN"},            {m, "[1 3 5;2 4 6]"},
      {c, "3-4.5i"},                         {str("it's"), "'it''s'"},
  };
  for (const auto& k : cases) EXPECT_EQ(call("mat2str", {k.value}), k.expected);
  EXPECT_EQ(call("mat2str", {hvCreateCellMatrix(1, 1)}),
            "ERROR: Input matrix must be a numeric, logical or character array.");
}

TEST_F(HostFunctions, OutputCreationFailureIsAnError) {
  hvArray* in[1] = {num(1)};
  host::failArrayCreationsFrom(1);
  hvArray* out[1] = {nullptr};
  EXPECT_NE(hostCallFunctionWithTrap(1, out, 1, in, "mat2str", true), 0);
  EXPECT_EQ(out[0], nullptr);
  EXPECT_STREQ(hvGetLastErrMsg(), "Error using ==> mat2str\nOut of memory.");
  host::failArrayCreationsFrom(0);
  hvDestroyArray(in[0]);
}

}  // namespace
