#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
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
  // output's text (or mat2str-like number) or "ERROR: <message>".
  std::string call(const char* function, std::initializer_list<hvArray*> inputs) {
    std::vector<hvArray*> in(inputs);
    hvArray* out[1] = {nullptr};
    int rc = hostCallFunctionWithTrap(1, out, static_cast<int>(in.size()), in.data(), function,
                                      true);
    for (hvArray* a : in) hvDestroyArray(a);
    if (rc != 0) {
      std::string message = hvGetLastErrMsg();
      return "ERROR: " + message.substr(message.find('\n') + 1);
    }
    std::string result;
    if (hvGetClassID(out[0]) == hvCHAR_CLASS) {
      char buffer[512];
      hvGetString(out[0], buffer, sizeof buffer);
      result = buffer;
    } else if (hvGetClassID(out[0]) == hvDOUBLE_CLASS) {
      result = "#" + std::to_string(hvGetPr(out[0])[0]);
    }
    hvDestroyArray(out[0]);
    return result;
  }
  static hvArray* str(const char* s) { return hvCreateString(s); }
  static hvArray* num(double v) { return hvCreateDoubleScalar(v); }

  host::HostObject* queue = nullptr;
  std::size_t live = 0;
};

// ---------------------------------------------------------------- objects

TEST_F(HostFunctions, ObjectsGetUniqueHandlesAndTheirRootOnDemand) {
  host::HostObject* root = host::findObject("model");
  ASSERT_NE(root, nullptr);
  EXPECT_NE(root->handle, queue->handle);
  EXPECT_EQ(host::findObject(queue->handle), queue);
  EXPECT_EQ(host::findObject(root->handle), root);
  EXPECT_EQ(host::addObject("model/Queue"), queue);  // same path, same object
  host::HostObject* server = host::addObject("model/Sub/Server");
  EXPECT_NE(server->handle, queue->handle);
  EXPECT_NE(server->handle, root->handle);
  EXPECT_EQ(host::findObject("model/Sub"), nullptr);  // only the root is implied
  EXPECT_EQ(host::addObject(""), nullptr);
  EXPECT_EQ(host::addObject("/x"), nullptr);
  EXPECT_EQ(host::addObject("a//b"), nullptr);
  EXPECT_EQ(host::addObject("a/"), nullptr);
}

TEST_F(HostFunctions, HandleIsTheObjectsFirstMember) {
  // The engine's handle converter reads the handle from the object's start.
  double first;
  std::memcpy(&first, static_cast<const void*>(queue), sizeof first);
  EXPECT_EQ(first, queue->handle);
}

TEST_F(HostFunctions, ClearObjectsForgetsEverything) {
  double handle = queue->handle;
  host::clearObjects();
  EXPECT_EQ(host::findObject(handle), nullptr);
  EXPECT_EQ(host::findObject("model/Queue"), nullptr);
  queue = host::addObject("model/Queue");  // for TearDown's sake nothing else needed
}

// ---------------------------------------------------------------- get_param

TEST_F(HostFunctions, GetParamByHandleAndByPath) {
  EXPECT_EQ(call("get_param", {num(queue->handle), str("Capacity")}), "25");
  EXPECT_EQ(call("get_param", {str("model/Queue"), str("capacity")}), "25");  // any case
  EXPECT_EQ(call("get_param", {str("model/Queue"), str("Name")}), "Queue");
  EXPECT_EQ(call("get_param", {str("model/Queue"), str("Parent")}), "model");
  EXPECT_EQ(call("get_param", {str("model"), str("Parent")}), "");
  hvArray* in[2] = {str("model/Queue"), str("Handle")};
  hvArray* out[1] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, out, 2, in, "get_param", true), 0);
  EXPECT_EQ(hvGetClassID(out[0]), hvDOUBLE_CLASS);
  EXPECT_EQ(hvGetPr(out[0])[0], queue->handle);
  hvDestroyArray(in[0]);
  hvDestroyArray(in[1]);
}

TEST_F(HostFunctions, GetParamFailsClearly) {
  EXPECT_EQ(call("get_param", {num(999.5), str("Name")}), "ERROR: Invalid object handle.");
  EXPECT_EQ(call("get_param", {str("model/Nope"), str("Name")}),
            "ERROR: Invalid object name 'model/Nope'.");
  EXPECT_EQ(call("get_param", {str("model/Queue"), str("Colour")}),
            "ERROR: block does not have a parameter named 'Colour'.");
  EXPECT_EQ(call("get_param", {str("model/Queue")}), "ERROR: Not enough input arguments.");
  EXPECT_EQ(call("get_param", {str("model/Queue"), num(1)}),
            "ERROR: Parameter name must be text.");
}

TEST_F(HostFunctions, SetParamChangesAnExistingParameter) {
  EXPECT_EQ(call("set_param", {num(queue->handle), str("Capacity"), str("40")}), "");
  EXPECT_EQ(queue->params["Capacity"], "40");
  EXPECT_EQ(call("set_param", {str("model/Queue"), str("Colour"), str("red")}),
            "ERROR: block does not have a parameter named 'Colour'.");
  EXPECT_EQ(call("set_param", {str("model/Queue"), str("Name"), str("Q2")}),
            "ERROR: Cannot set the read-only parameter 'Name'.");
  EXPECT_EQ(queue->params.count("Colour"), 0u);
}

TEST_F(HostFunctions, BdrootGivesTheRootPath) {
  host::HostObject* deep = host::addObject("top/a/b/c");
  EXPECT_EQ(call("bdroot", {num(deep->handle)}), "top");
  EXPECT_EQ(call("bdroot", {str("model/Queue")}), "model");
  EXPECT_EQ(call("bdroot", {str("model")}), "model");
  EXPECT_EQ(call("bdroot", {num(-1)}), "ERROR: Invalid object handle.");
}

// ---------------------------------------------------------------- mat2str

hvArray* row(std::initializer_list<double> values) {
  hvArray* a = hvCreateDoubleMatrix(1, values.size(), hvREAL);
  std::size_t i = 0;
  for (double v : values) hvGetPr(a)[i++] = v;
  return a;
}

TEST_F(HostFunctions, Mat2strOfScalarsHasNoBrackets) {
  EXPECT_EQ(call("mat2str", {num(3)}), "3");
  EXPECT_EQ(call("mat2str", {num(-0.5)}), "-0.5");
  EXPECT_EQ(call("mat2str", {num(0.1)}), "0.1");
  EXPECT_EQ(call("mat2str", {num(1.0 / 3.0)}), "0.333333333333333");
  EXPECT_EQ(call("mat2str", {num(1e20)}), "1e+20");
  EXPECT_EQ(call("mat2str", {num(-0.0)}), "0");
  EXPECT_EQ(call("mat2str", {num(std::numeric_limits<double>::infinity())}), "Inf");
  EXPECT_EQ(call("mat2str", {num(-std::numeric_limits<double>::infinity())}), "-Inf");
  EXPECT_EQ(call("mat2str", {num(std::nan(""))}), "NaN");
}

TEST_F(HostFunctions, Mat2strOfVectorsAndMatricesIsRowMajorText) {
  EXPECT_EQ(call("mat2str", {row({1, 2, 3})}), "[1 2 3]");
  hvArray* m = hvCreateDoubleMatrix(2, 3, hvREAL);
  for (int i = 0; i < 6; ++i) hvGetPr(m)[i] = i + 1;  // columns [1;2] [3;4] [5;6]
  EXPECT_EQ(call("mat2str", {m}), "[1 3 5;2 4 6]");
  hvArray* col = hvCreateDoubleMatrix(2, 1, hvREAL);
  hvGetPr(col)[1] = 7;
  EXPECT_EQ(call("mat2str", {col}), "[0;7]");
  EXPECT_EQ(call("mat2str", {hvCreateDoubleMatrix(0, 0, hvREAL)}), "[]");
}

TEST_F(HostFunctions, Mat2strOfComplexLogicalAndText) {
  hvArray* c = hvCreateDoubleMatrix(1, 2, hvCOMPLEX);
  hvGetPr(c)[0] = 1;
  hvGetPi(c)[0] = 2;
  hvGetPr(c)[1] = 3;
  hvGetPi(c)[1] = -4.5;
  EXPECT_EQ(call("mat2str", {c}), "[1+2i 3-4.5i]");
  hvArray* z = hvCreateDoubleMatrix(1, 1, hvCOMPLEX);
  EXPECT_EQ(call("mat2str", {z}), "0+0i");
  EXPECT_EQ(call("mat2str", {hvCreateLogicalScalar(true)}), "true");
  EXPECT_EQ(call("mat2str", {str("it's")}), "'it''s'");
  EXPECT_EQ(call("mat2str", {str("")}), "''");
}

TEST_F(HostFunctions, Mat2strPrecisionArgument) {
  EXPECT_EQ(call("mat2str", {num(3.14159), num(3)}), "3.14");
  EXPECT_EQ(call("mat2str", {num(3.14159), num(0)}),
            "ERROR: Precision must be a whole number from 1 to 17.");
}

TEST_F(HostFunctions, Mat2strRejectsContainersAndNDimensionalArrays) {
  EXPECT_EQ(call("mat2str", {hvCreateCellMatrix(1, 1)}),
            "ERROR: Input matrix must be a numeric, logical or character array.");
  const char* names[] = {"a"};
  EXPECT_EQ(call("mat2str", {hvCreateStructMatrix(1, 1, 1, names)}),
            "ERROR: Input matrix must be a numeric, logical or character array.");
  const uint64_t dims[] = {1, 2, 2};
  EXPECT_EQ(call("mat2str", {hvCreateNumericArray(3, dims, hvDOUBLE_CLASS, hvREAL)}),
            "ERROR: Input matrix must be 2-D.");
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
