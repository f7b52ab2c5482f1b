// Entities written out as host cell arrays: attributes, timers, timeouts.
#include <gtest/gtest.h>

#include <string>

#include "entity/DesData.h"
#include "tests/entity/EntityTestSupport.h"

namespace {

using namespace entity_test;

class EntityOutputTest : public EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    Define("Job", List({{"a", "int", Scalar(3)},
                        {"b", "DesData", Row({1, 2})},
                        {"c", "string", hvCreateString("x")}}),
           true);
    job = Clone("Job");
  }
  static std::string Text(const hvArray* a) {
    char buffer[64] = {0};
    hvGetString(a, buffer, sizeof buffer);
    return buffer;
  }
  DesEntity* job = nullptr;
};

TEST_F(EntityOutputTest, AttributesAreNamesOverValues) {
  job->FindAttrClass(block, "c")->SetExists(false);
  hvArray* out = job->GetAttributeDataAsHvArray();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(hvGetClassID(out), hvCELL_CLASS);
  EXPECT_EQ(hvGetM(out), 2u);
  EXPECT_EQ(hvGetN(out), 3u);
  EXPECT_EQ(Text(hvGetCell(out, 0)), "a");
  EXPECT_EQ(hvGetPr(hvGetCell(out, 1))[0], 3.0);
  EXPECT_EQ(Text(hvGetCell(out, 2)), "b");
  const hvArray* b = hvGetCell(out, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(hvGetNumberOfElements(b), 2u);
  EXPECT_EQ(hvGetPr(b)[1], 2.0);
  // Not existing: the column stays empty.
  EXPECT_EQ(hvGetCell(out, 4), nullptr);
  EXPECT_EQ(hvGetCell(out, 5), nullptr);
  hvDestroyArray(out);

  DesEntity* blank = registry->CreateBlankTempEntity("Job", false);
  owned.push_back(blank);
  hvArray* none = blank->GetAttributeDataAsHvArray();
  EXPECT_EQ(hvGetM(none), 2u);
  EXPECT_EQ(hvGetN(none), 0u);
  hvDestroyArray(none);
}

TEST_F(EntityOutputTest, TimersAreTagsOverElapsedTimes) {
  job->FindOrCreateTimer(block, "t1")->SetTimer(1.0, block);
  job->FindOrCreateTimer(block, "t2")->SetTimer(2.5, block);
  engine->SetTimeNow(4.0);
  hvArray* out = job->GetTimerDataAsHvArray();
  EXPECT_EQ(hvGetM(out), 2u);
  EXPECT_EQ(hvGetN(out), 2u);
  EXPECT_EQ(Text(hvGetCell(out, 0)), "t1");
  EXPECT_EQ(hvGetPr(hvGetCell(out, 1))[0], 3.0);
  EXPECT_EQ(Text(hvGetCell(out, 2)), "t2");
  EXPECT_EQ(hvGetPr(hvGetCell(out, 3))[0], 1.5);
  hvDestroyArray(out);
}

TEST_F(EntityOutputTest, ATimerNeverStartedFailsTheOutputWithoutLeaks) {
  job->FindOrCreateTimer(block, "t1")->SetTimer(1.0, block);
  job->FindOrCreateTimer(block, "t2");
  const std::size_t arrays = host::liveArrays();
  Thrown t = Catch([&] { job->GetTimerDataAsHvArray(); });
  EXPECT_EQ(t.code, DES_GenericInternalErr);
  EXPECT_EQ(host::liveArrays(), arrays);
}

TEST_F(EntityOutputTest, TimeoutsHaveThreeRows) {
  hvArray* out = job->GetTimeoutDataAsHvArray();
  EXPECT_EQ(hvGetM(out), 3u);
  EXPECT_EQ(hvGetN(out), 0u);
  hvDestroyArray(out);
}

TEST_F(EntityOutputTest, AHostWithoutArraysGetsTheMemoryErrorAndKeepsNothing) {
  const std::size_t arrays = host::liveArrays();
  for (std::size_t n = 1; n <= 8; ++n) {
    host::failArrayCreationsFrom(n);
    Thrown t = Catch([&] { hvDestroyArray(job->GetAttributeDataAsHvArray()); });
    host::failArrayCreationsFrom(0);
    if (t.code == 0) break;
    EXPECT_EQ(t.code, DES_MemoryAllocErr) << n;
    EXPECT_EQ(host::liveArrays(), arrays) << n;
  }
}

}  // namespace
