// Every logger's record: its pairs in order, the format string exactly as
// stored (a backslash and a letter are two characters).
#include "tests/trace/TraceTestSupport.h"

namespace trace_test {
namespace {

class LoggerFormatTest : public DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    control->SetDefaultLogging();
    breaks->SetSingleSteppingEnabled(false);
    Define("Part", entity_test::List({{"Colour", "int", entity_test::Scalar(2)}}), true);
    q = Block("model/Q");
    s = Block("model/S");
  }
  // An event at t to q carrying a new Part, or nothing.
  DesEvent* Event(double t, int priority, bool withEntity) {
    DesEntity* part = nullptr;
    if (withEntity) {
      part = Clone("Part");
      Forget(part);
    }
    events.push_back(new DesEvent(t, priority, q, part));
    return events.back();
  }

  NamedBlock* q = nullptr;
  NamedBlock* s = nullptr;
};

TEST_F(LoggerFormatTest, OperationAndSignalRecords) {
  DesEvent* ev = Event(3.0, 0, true);
  DesEvent* old = Event(3.0, 0, true);
  const std::string en = ev->GetEntityId(), en2 = old->GetEntityId();
  hvArray* attributes = hvCreateCellMatrix(2, 2);
  struct Row {
    std::function<void()> log;
    Pairs expected;
  } rows[] = {
      {[&] { _Logger<0>{engine}(ev); },
       {{"Action", "entGenerate"}, {"FormatStr", R"(\L\n\IGenerating Entity (%s)\n\I: Block = %s\n)"},
        {"EntityId", en}, {"Block", "model/Q"}}},
      {[&] { _Logger<1>{engine}(ev); },
       {{"Action", "entDestroy"}, {"FormatStr", R"(\L\n\IDestroying Entity (%s)\n\I: Block = %s\n)"},
        {"EntityId", en}, {"Block", "model/Q"}}},
      {[&] { _Logger<4>{engine}(ev, q, s); },
       {{"Action", "entAdvance"},
        {"FormatStr", R"(\L\n\IEntity Advancing (%s)\n\I: From = %s\n\I: To   = %s\n)"},
        {"EntityId", en}, {"Block", "model/Q"}, {"To", "model/S"}}},
      {[&] { _Logger<5>{engine}("model"); },
       {{"Action", "desInit"}, {"FormatStr", R"(\D\nInitializing Model %s\n)"}, {"Model", "model"}}},
      {[&] { _Logger<6>{engine}(); },
       {{"Action", "tbegInit"}, {"FormatStr", R"(\D\nInitializing Time-Based Entity Generators\n)"}}},
      {[&] { _Logger<7>{engine}(ev, 4.0, old, 1.0, "Prio", "model/S"); },
       {{"Action", "entPreempt"},
        {"FormatStr",
         R"(\L\n\IPreempting Entity (%s)\n\I: NewEntity = %s (%s = %s)\n\I: OldEntity = %s (%s = %s)\n\I: Block = %s\n)"},
        {"OldEntity", en2}, {"NewEntity", en}, {"AttName", "Prio"}, {"NewVal", "4"},
        {"OldEntity1", en2}, {"AttName1", "Prio"}, {"OldVal", "1"}, {"Block", "model/S"}}},
      {[&] { _Logger<8>{engine}(ev, "FIFO", 2, 3, 10); },
       {{"Action", "entQueue"},
        {"FormatStr",
         R"(\L\n\IQueuing Entity (%s)\n\I: %s Pos = %s of %s\n\I: Capacity = %s\n\I: Block = %s\n)"},
        {"EntityId", en}, {"QPolicy", "FIFO"}, {"Pos", "2"}, {"Size", "3"}, {"Capacity", "10"},
        {"Block", "model/Q"}}},
      {[&] { _Logger<9>{engine}(ev, "T", true, 1.25); },
       {{"Action", "timerRead"},
        {"FormatStr",
         R"(\L\n\IReading Timer on Entity (%s)\n\I: Tag = %s\n\I: ElapsedTime = %s\n\I: Block = %s\n)"},
        {"EntityId", en}, {"Tag", "T"}, {"ElapsedTime", "1.25"}, {"Block", "model/Q"}}},
      {[&] { _Logger<9>{engine}(ev, "U", false, 1.25); },
       {{"Action", "timerRead"},
        {"FormatStr",
         R"(\L\n\IReading Timer on Entity (%s)\n\I: Tag = %s\n\I: ElapsedTime = %s\n\I: Block = %s\n)"},
        {"EntityId", en}, {"Tag", "U"}, {"ElapsedTime", "<timer not found>"}, {"Block", "model/Q"}}},
      {[&] { _Logger<10>{engine}(ev, "T"); },
       {{"Action", "timerStart"},
        {"FormatStr", R"(\L\n\IStarting Timer on Entity (%s)\n\I: Tag   = %s\n\I: Block = %s\n)"},
        {"EntityId", en}, {"Tag", "T"}, {"Block", "model/Q"}}},
      {[&] { _Logger<11>{engine}(ev, "copy", 1, 2); },
       {{"Action", "entReplicate"},
        {"FormatStr", R"(\L\n\IReplicating Entity (%s)\n\I: Replica %s of %s = %s\n\I: Block = %s\n)"},
        {"EntityId", en}, {"CurrPort", "1"}, {"TotalPorts", "2"}, {"Replica", "copy"},
        {"Block", "model/Q"}}},
      {[&] { _Logger<12>{engine}("A+B", "model/C", ev); },
       {{"Action", "entCombine"}, {"FormatStr", R"(\L\n\ICombining Entities\n\I: %s\n\I: Block = %s\n)"},
        {"Equation", "A+B"}, {"Block", "model/C"}}},
      {[&] { _Logger<13>{engine}(ev, "A+B"); },
       {{"Action", "entSplit"}, {"FormatStr", R"(\L\n\ISplitting Entity (%s)\n\I: %s\n\I: Block = %s\n)"},
        {"EntityId", en}, {"Equation", "A+B"}, {"Block", "model/Q"}}},
      {[&] { _Logger<16>{engine}(ev, attributes); },
       {{"Action", "entSetAtt"},
        {"FormatStr",
         R"(\L\n\ISetting Attribute on Entity (%s)\n\I: %s = %s\n\I: %s = %s\n\I: Block = %s\n)"},
        {"EntityId", en}, {"AttCell", "<cell 2x2>"}, {"Block", "model/Q"}}},
      {[&] { _Logger<17>{engine}("model"); },
       {{"Action", "endOfSim"}, {"FormatStr", R"(\D\nTerminating Model %s\n)"}, {"Model", "model"}}},
      {[&] { _Logger<14>(engine, false, "Sample-Time Hit", "model/G")(1.0, 2.0, 3.0); },
       {{"Action", "sigHitRoot"}, {"FormatStr", R"(\D\nDetected %s|RTime = %.15f\n: Block = %s\n)"},
        {"Policy", "Sample-Time Hit"}, {"Time", "1"}, {"Block", "model/G"}}},
      {[&] { _Logger<14>(engine, true, "Function Call", "model/G")(1.0, 2.0, 3.0); },
       {{"Action", "sigHit"}, {"FormatStr", R"(\L\n\IDetected %s\n\I: Block = %s\n)"},
        {"Policy", "Function Call"}, {"Block", "model/G"}}},
      {[&] { _Logger<14>(engine, false, "Signal", "model/G")(1.0, 2.0, 3.0); },
       {{"Action", "sigRoot"},
        {"FormatStr",
         R"(\D\nDetected %s|RTime = %.15f\n: NewValue  = %s\n: PrevValue = %s\n: Block      = %s\n)"},
        {"Policy", "Signal"}, {"Time", "1"}, {"NewValue", "2"}, {"PrevValue", "3"}, {"Block", "model/G"}}},
      {[&] { _Logger<14>(engine, true, "Signal", "model/G")(1.0, DesData(5.0), DesData(6.0)); },
       {{"Action", "sig"},
        {"FormatStr",
         R"(\L\n\IDetected %s\n\I: NewValue  = %s\n\I: PrevValue = %s\n\I: Block      = %s\n)"},
        {"Policy", "Signal"}, {"NewValue", "5"}, {"PrevValue", "6"}, {"Block", "model/G"}}},
      {[&] { _Logger<15>(engine, false, "Update", "model/G")(); },
       {{"Action", "directUpdate"}, {"FormatStr", R"(\D\nExecuting %s|RTime = %.15f\n: Block = %s\n)"},
        {"EventType", "Update"}, {"Time", "-1"}, {"Block", "model/G"}}},
      {[&] { _Logger<15>(engine, true, "Update", "model/G")(); },
       {{"Action", "directUpdate"}, {"FormatStr", R"(\L\n\IExecuting %s\n\I: Block = %s\n)"},
        {"EventType", "Update"}, {"Block", "model/G"}}},
  };
  for (const Row& row : rows) {
    rendered.clear();
    row.log();
    ASSERT_EQ(rendered.size(), 1u) << row.expected[0].second;
    EXPECT_EQ(rendered[0].pairs, row.expected);
  }
}

// The generator-initialisation record shows once after the latest
// construction of any of its loggers.
TEST_F(LoggerFormatTest, GeneratorInitialisationShowsOnce) {
  _Logger<6> first(engine);
  first();
  first();
  _Logger<6> copy(first);
  copy();
  EXPECT_EQ(Actions(), std::vector<std::string>({"tbegInit"}));
  _Logger<6> again(engine);
  first();
  EXPECT_EQ(Actions(), std::vector<std::string>({"tbegInit", "tbegInit"}));
}

// The calendar's event records: scheduling, execution and cancellation,
// with and without an entity; an event's functor names type and block.
TEST_F(LoggerFormatTest, EventRecordsThroughTheCalendar) {
  const std::string schedWith =
      R"(\L\n\IScheduling %s Event (%s)\n\I: EventTime = %.15f%s\n\I: Priority  = %s\n\I: Entity    = %s\n\I: Block     = %s\n)";
  const std::string schedWithout =
      R"(\L\n\IScheduling %s Event (%s)\n\I: EventTime = %.15f%s\n\I: Priority  = %s\n\I: Block     = %s\n)";
  const std::string exec =
      R"(\D\nExecuting %s Event (%s)|RTime = %.15f\n: Entity = %s|RPriority = %s\n: Block  = %s\n)";
  const std::string cancelWith =
      R"(\L\n\ICanceling %s Event (%s)\n\I: EventTime = %.15f\n\I: Priority  = %s\n\I: Entity    = %s\n\I: Block     = %s\n)";
  const std::string cancelWithout =
      R"(\L\n\ICanceling %s Event (%s)\n\I: EventTime = %.15f\n\I: Priority  = %s\n\I: Block     = %s\n)";

  engine->SetTimeNow(1.0);
  DesEventFunctor depart;
  depart.BindTo(s, &NamedBlock::DoProcessEvent, "Depart");
  DesEvent* now = Event(1.0, DesEvent::kSys1Priority, false);
  now->SetFunctor(&depart);
  DesEvent* later = Event(2.5, 3, true);
  DesEvent* gone = Event(4.0, 0, true);
  DesEvent* goneBare = Event(4.0, 0, false);
  DesEvent* temp = DesEvent::NewTemporaryEvent(1.0, 0, q, nullptr);
  events.push_back(temp);
  for (DesEvent* e : {now, later, gone, goneBare, temp}) engine->AddEvt(e);
  engine->DeleteEvt(gone);
  engine->DeleteEvt(goneBare);
  engine->ExecuteEvents(1.0, 1.0, true);
  engine->ExecuteEvents(2.5, 2.5, true);

  const std::string en = later->GetEntityId(), en2 = gone->GetEntityId();
  const std::vector<Pairs> expected = {
      {{"Action", "evtSchedNoEnt"}, {"FormatStr", schedWithout}, {"EventType", "Depart"},
       {"EventId", now->GetId()}, {"Time", "1"}, {"Now", " (Now)"}, {"Priority", "SYS1"},
       {"Block", "model/S"}},
      {{"Action", "evtSched"}, {"FormatStr", schedWith}, {"EventType", "Arrive"},
       {"EventId", later->GetId()}, {"Time", "2.5"}, {"Now", ""}, {"Priority", "3"},
       {"EntityId", en}, {"Block", "model/Q"}},
      {{"Action", "evtSched"}, {"FormatStr", schedWith}, {"EventType", "Arrive"},
       {"EventId", gone->GetId()}, {"Time", "4"}, {"Now", ""}, {"Priority", "0"},
       {"EntityId", en2}, {"Block", "model/Q"}},
      {{"Action", "evtSchedNoEnt"}, {"FormatStr", schedWithout}, {"EventType", "Arrive"},
       {"EventId", goneBare->GetId()}, {"Time", "4"}, {"Now", ""}, {"Priority", "0"},
       {"Block", "model/Q"}},
      {{"Action", "evtCancel"}, {"FormatStr", cancelWith}, {"EventType", "Arrive"},
       {"EventId", gone->GetId()}, {"Time", "4"}, {"Priority", "0"}, {"EntityId", en2},
       {"Block", "model/Q"}},
      {{"Action", "evtCancelNoEnt"}, {"FormatStr", cancelWithout}, {"EventType", "Arrive"},
       {"EventId", goneBare->GetId()}, {"Time", "4"}, {"Priority", "0"}, {"Block", "model/Q"}},
      {{"Action", "evtExecNoEnt"}, {"FormatStr", exec}, {"EventType", "Depart"},
       {"EventId", now->GetId()}, {"Time", "1"}, {"EntityId", "<none>"}, {"Priority", "SYS1"},
       {"Block", "model/S"}},
      {{"Action", "evtExec"}, {"FormatStr", exec}, {"EventType", "Arrive"},
       {"EventId", later->GetId()}, {"Time", "2.5"}, {"EntityId", en}, {"Priority", "3"},
       {"Block", "model/Q"}},
  };
  ASSERT_EQ(rendered.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(rendered[i].pairs, expected[i]) << i;
}

}  // namespace
}  // namespace trace_test
