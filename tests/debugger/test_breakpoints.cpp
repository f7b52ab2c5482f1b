// Breakpoints: ids, displays, where each kind stops, one-shot retirement,
// the built-in end of simulation, the listing, single-step levels.
#include "tests/trace/TraceTestSupport.h"

#include <boost/lexical_cast.hpp>

namespace trace_test {
namespace {

class BreakPointTest : public DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    Quiet();
    q = Block("model/Q");
    s = Block("model/S");
    state->RegisterDebuggableBlock(q, "");
    state->RegisterDebuggableBlock(s, "Server\nOne");
    host::clearConsole();
  }
  DesEvent* Add(double t) {
    events.push_back(new DesEvent(t, 0, q, nullptr));
    engine->AddEvt(events.back());
    return events.back();
  }
  // Columns of the listing as "id type target enabled" lines.
  std::vector<std::string> Listing() {
    hvArray* cell = breaks->GetAllBreakPointsAsCell();
    std::vector<std::string> lines;
    EXPECT_EQ(hvGetM(cell), 4u);
    for (std::size_t k = 0; k < hvGetN(cell); ++k)
      lines.push_back(Text(hvGetCell(cell, 4 * k)) + " " + Text(hvGetCell(cell, 4 * k + 1)) + " " +
                      Text(hvGetCell(cell, 4 * k + 2)) + " " + Text(hvGetCell(cell, 4 * k + 3)));
    hvDestroyArray(cell);
    return lines;
  }
  // Runs `log` with a "cont" waiting at the prompt; true when it stopped.
  bool Stops(const std::function<void()>& log) {
    commands.clear();
    host::setInputLines({"cont"});
    log();
    host::setInputLines({});
    return commands == std::vector<std::string>({"cont"});
  }

  NamedBlock* q = nullptr;
  NamedBlock* s = nullptr;
};

TEST_F(BreakPointTest, IdsDisplaysAndTheListing) {
  engine->ExecuteEvents(2.0, 2.0, true);
  bool exists = true;
  EXPECT_EQ(breaks->SetBlockBreakPoint("blk2"), "b1");
  EXPECT_EQ(breaks->SetTimedBreakPoint(1.5), "b2");
  EXPECT_EQ(breaks->SetTimedBreakPoint(7.25), "b3");
  EXPECT_EQ(breaks->SetEventBreakPoint("ev99", exists), "b4");
  EXPECT_FALSE(exists);
  EXPECT_EQ(host::consoleText(),
            "Set b1 : Breakpoint for block (blk2) Server One\n"
            "Set b2 : Breakpoint for first operation at or after time 1.500000\n"
            "Set b3 : Breakpoint for first operation at or after time 7.250000\n"
            "Set b4 : Breakpoint for execution or cancelation of event ev99\n");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"b1 Block blk2 1", "b3 Timed 7.25 1",
                                                 "b4 Event ev99 1", "b2 Timed 1.5 1"}))
      << "active first, then the retired past one; the built-in one is hidden";
  EXPECT_EQ(boost::lexical_cast<double>(Listing()[1].substr(9, 4)), 7.25);

  host::clearConsole();
  EXPECT_TRUE(breaks->DisableBreakPoint("b3") && breaks->EnableBreakPoint("b2") &&
              breaks->DeleteBreakPoint("b1"));
  EXPECT_FALSE(breaks->DeleteBreakPoint("b1") || breaks->EnableBreakPoint("b9") ||
               breaks->DisableBreakPoint(""));
  EXPECT_EQ(host::consoleText(),
            "Disabled b3 : Breakpoint for first operation at or after time 7.250000\n"
            "Enabled b2 : Breakpoint for first operation at or after time 1.500000\n"
            "Deleted b1 : Breakpoint for block (blk2) Server One\n");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"b3 Timed 7.25 0", "b4 Event ev99 1", "b2 Timed 1.5 1"}));
  EXPECT_EQ(breaks->SetTimedBreakPoint(9), "b5") << "ids are not reused";
}

// The listing has one column per breakpoint it lists, also once the
// built-in breakpoint has been deleted through its key.
TEST_F(BreakPointTest, TheListingIsSizedByWhatItLists) {
  breaks->SetTimedBreakPoint(5.0);
  EXPECT_EQ(Listing().size(), 1u);
  EXPECT_TRUE(breaks->DeleteBreakPoint(BreakPointManager::endOfSimKey));
  EXPECT_EQ(Listing(), std::vector<std::string>({"b1 Timed 5 1"}));
}

// An id that names no registered block is refused: nothing is made.
TEST_F(BreakPointTest, BlockBreakPointsNeedARegisteredBlock) {
  EXPECT_EQ(breaks->SetBlockBreakPoint("blk9"), "");
  EXPECT_EQ(host::consoleText(), "");
  EXPECT_TRUE(Listing().empty());
  EXPECT_EQ(breaks->SetBlockBreakPoint("blk1"), "b1");
}

TEST_F(BreakPointTest, BlockBreakPointsStopAtTheirBlockTheDestinationAndChildren) {
  NamedBlock* inner = Block("model/S/Inner");
  NamedBlock* other = Block("model/Other");
  state->RegisterInternalDebuggableBlock(inner, "Server\nOne");
  state->RegisterDebuggableBlock(other, "Dest");
  breaks->SetBlockBreakPoint("blk2");
  breaks->SetBlockBreakPoint("blk3");
  DesEvent* ev = new DesEvent(1.0, 0, q, nullptr);
  events.push_back(ev);
  EXPECT_FALSE(Stops([&] { _Logger<10>{engine}(ev, "T"); })) << "block Q";
  EXPECT_TRUE(Stops([&] { _Logger<4>{engine}(ev, s, q); })) << "from S";
  EXPECT_TRUE(Stops([&] { _Logger<4>{engine}(ev, s, q); })) << "every time";
  EXPECT_TRUE(Stops([&] { _Logger<4>{engine}(ev, inner, q); })) << "a child of S";
  EXPECT_TRUE(Stops([&] { _Logger<4>{engine}(ev, q, other); })) << "to the destination block";
  EXPECT_NE(host::consoleText().find("\nHit b1 : Breakpoint for block (blk2) Server One\n\n"),
            std::string::npos);
  breaks->SetBreakEnabled(false);
  EXPECT_FALSE(Stops([&] { _Logger<4>{engine}(ev, s, q); })) << "breaking off";
}

TEST_F(BreakPointTest, TimedBreakPointsStopOnce) {
  DesEvent* a = Add(1.0);
  DesEvent* b = Add(2.0);
  Add(3.0);
  breaks->SetTimedBreakPoint(1.5);
  EXPECT_FALSE(Stops([&] { engine->ExecuteEvents(1.0, 1.0, true); }));
  breaks->SetTimedBreakPoint(0.5);  // already past: listed, never stops
  EXPECT_TRUE(Stops([&] { engine->ExecuteEvents(2.0, 2.0, true); }));
  EXPECT_EQ(state->GetCurrentEventId(), b->GetId());
  EXPECT_FALSE(Stops([&] { engine->ExecuteEvents(3.0, 3.0, true); })) << "retired";
  EXPECT_EQ(Listing().size(), 2u);
  static_cast<void>(a);
}

// An event breakpoint stops at the execution or at the cancellation of its
// event, with or without an entity, and once only.
TEST_F(BreakPointTest, EventBreakPointsStopAtExecutionOrCancellation) {
  Define("Part", entity_test::List({{"Colour", "int", entity_test::Scalar(2)}}), true);
  DesEntity* part = Clone("Part");
  Forget(part);
  DesEvent* carried = new DesEvent(4.0, 0, q, part);
  events.push_back(carried);
  DesEvent* bare = Add(4.0);
  DesEvent* run = Add(1.0);
  engine->AddEvt(carried);
  bool exists = false;
  for (DesEvent* e : {carried, bare, run}) {
    breaks->SetEventBreakPoint(e->GetId(), exists);
    EXPECT_TRUE(exists);
  }
  EXPECT_TRUE(Stops([&] { engine->DeleteEvt(carried); })) << "evtCancel";
  EXPECT_TRUE(Stops([&] { engine->DeleteEvt(bare); })) << "evtCancelNoEnt";
  EXPECT_TRUE(Stops([&] { engine->ExecuteEvents(1.0, 1.0, true); })) << "execution";
  engine->AddEvt(bare);
  EXPECT_FALSE(Stops([&] { engine->DeleteEvt(bare); })) << "retired";
  EXPECT_EQ(Listing().size(), 3u) << "still listed";
}

// A disabled one-shot breakpoint whose condition holds retires silently.
TEST_F(BreakPointTest, DisabledOneShotsRetireWithoutStopping) {
  Add(1.0);
  breaks->SetTimedBreakPoint(0.5);
  breaks->DisableBreakPoint("b1");
  EXPECT_FALSE(Stops([&] { engine->ExecuteEvents(1.0, 1.0, true); }));
  breaks->EnableBreakPoint("b1");
  Add(2.0);
  EXPECT_FALSE(Stops([&] { engine->ExecuteEvents(2.0, 2.0, true); }));
}

// The end of the simulation stops once, even with all printing off, and
// shows its fixed message between blank lines.
TEST_F(BreakPointTest, TheBuiltInBreakPointStopsAtTheEnd) {
  EXPECT_FALSE(Stops([&] { _Logger<17>{engine}("model"); }));
  engine->DisableOutputForEndOfSim();
  host::clearConsole();
  EXPECT_TRUE(Stops([&] { _Logger<17>{engine}("model"); }));
  EXPECT_EQ(host::consoleText(),
            "\nHit built-in breakpoint for the end of simulation.\nUse 'cont' to end the simulation or "
            "any other function to inspect final states of the system.\n\n");
  EXPECT_EQ(Actions(), std::vector<std::string>({"endOfSim"})) << "sent although nothing prints";
  EXPECT_FALSE(Stops([&] { _Logger<17>{engine}("model"); }));
}

TEST_F(BreakPointTest, SingleStepLevels) {
  struct Row {
    int level, delta, expected;
  } rows[] = {{0, 1, 1}, {1, 1, 1}, {0, -1, 0}, {1, -1, 0}, {1, 0, 1}, {0, 5, 1}};
  for (const Row& row : rows) {
    state->SetCurrentState(LoggerData(), row.level);
    breaks->SetNextSingleStepExecLevel(row.delta);
    EXPECT_EQ(breaks->GetNextSingleStepExecLevel(), row.expected) << row.level << " " << row.delta;
  }
  breaks->SetSingleSteppingEnabled(true);
  state->SetCurrentState(LoggerData(), 1);
  EXPECT_TRUE(breaks->GetSingleStepNow());
  breaks->SetBreakEnabled(false);
  EXPECT_FALSE(breaks->GetSingleStepNow()) << "breaking off stops stepping too";
}

}  // namespace
}  // namespace trace_test
