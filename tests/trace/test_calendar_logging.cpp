// The calendar's loggers: the registry of live events follows scheduling,
// execution and cancellation; the calendar dump, printed and queried.
#include "tests/trace/TraceTestSupport.h"

namespace trace_test {
namespace {

class CalendarLoggingTest : public DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    q = Block("model/Q");
  }
  DesEvent* Add(double t, int priority, bool temporary = false) {
    events.push_back(temporary ? DesEvent::NewTemporaryEvent(t, priority, q, nullptr)
                               : new DesEvent(t, priority, q, nullptr));
    engine->AddEvt(events.back());
    return events.back();
  }
  // The debugger's calendar query: rows of texts, header first.
  std::vector<std::vector<std::string>> QueryCalendar() {
    engine->GetEventCalendar()->LogCalendar(false);
    hvArray* table = state->ReleaseEventCalendarHvArray();
    std::vector<std::vector<std::string>> rows;
    for (std::size_t r = 0; table != nullptr && r < hvGetM(table); ++r) {
      std::vector<std::string> row;
      const hvArray* cells = hvGetCell(table, r);
      for (std::size_t c = 0; cells != nullptr && c < hvGetN(cells); ++c)
        row.push_back(Text(hvGetCell(cells, c)));
      rows.push_back(row);
    }
    hvDestroyArray(table);
    return rows;
  }

  NamedBlock* q = nullptr;
};

TEST_F(CalendarLoggingTest, LiveEventsFollowTheCalendar) {
  Quiet();
  DesEvent* a = Add(1.0, 0);
  DesEvent* b = Add(2.0, 0);
  DesEvent* c = Add(3.0, 0);
  DesEvent* temp = Add(1.0, 1, true);
  auto live = [&] {
    std::string ids;
    for (DesEvent* e : {a, b, c, temp}) ids += state->GetEventById(e->GetId()) == e ? "1" : "0";
    return ids;
  };
  EXPECT_EQ(live(), "1110") << "a temporary event is not logged";
  engine->DeleteEvt(b);
  engine->ExecuteEvents(1.0, 1.0, true);
  EXPECT_EQ(live(), "0010");
  EXPECT_EQ(state->GetCurrentEventId(), a->GetId()) << "the temporary event leaves no trace";
  hvArray* ids = state->TestFcn_DumpEventCollectionIDContents();
  EXPECT_EQ(hvGetM(ids) * 10 + hvGetN(ids), 11u);
  EXPECT_EQ(Text(hvGetCell(ids, 0)), c->GetId());
  hvDestroyArray(ids);
  EXPECT_TRUE(rendered.empty());
}

TEST_F(CalendarLoggingTest, TheQueryListsTheCalendarInExecutionOrder) {
  Quiet();
  EXPECT_EQ(QueryCalendar(), (std::vector<std::vector<std::string>>{
                                 {" ", "ID", "EventTime", "EventType", "Priority", "Entity", "Block"}}))
      << "an empty calendar completes at its header";
  DesEvent* late = Add(3.0, 0);
  DesEvent* early = Add(1.0, 2);
  DesEvent* first = Add(1.0, 1);
  Add(2.0, 0, true);
  std::vector<std::vector<std::string>> inside;
  q->onEvent = [&](DesEvent* e) {
    if (e == first) inside = QueryCalendar();
  };
  engine->ExecuteEvents(1.0, 1.0, true);
  auto row = [&](const char* mark, DesEvent* e, const char* time, const char* priority) {
    return std::vector<std::string>{mark, e->GetId(), time, "Arrive", priority, "<none>", "model/Q"};
  };
  ASSERT_EQ(inside.size(), 4u) << "header, the executing copy, two waiting; no temporary event";
  EXPECT_EQ(inside[1], row("=>", first, "1.000000000000000", "1"));
  EXPECT_EQ(inside[2], row("", early, "1.000000000000000", "2"));
  EXPECT_EQ(inside[3], row("", late, "3.000000000000000", "0"));
  const auto after = QueryCalendar();
  ASSERT_EQ(after.size(), 2u) << "the dump changed nothing: the late event still waits";
  EXPECT_EQ(after[1], row("", late, "3.000000000000000", "0"));
}

// With the calendar switch on, every step prints the calendar first.
TEST_F(CalendarLoggingTest, PrintedDumpBeforeEachExecution) {
  Quiet();
  control->SetCalendarLoggingEnabled(true);
  Add(1.0, 0);
  Add(2.0, 0);
  engine->ExecuteEvents(1.0, 1.0, true);
  EXPECT_EQ(Actions(), std::vector<std::string>({"cal", "evtExecNoEnt"}));
  const Rendered& cal = rendered[0];
  EXPECT_EQ(cal.pairs, (Pairs{{"Action", "cal"}, {"Data", "<cell 3x1>"},
                              {"FormatStr", "%s%s%s%s%s%s%s%s%s%s%s%s%s%s\\n"}}));
  EXPECT_EQ(state->GetCurrentEventId(), events[0]->GetId()) << "the dump is not a current record";
}

// A header that replaces an unfinished table releases it.
TEST_F(CalendarLoggingTest, ANewHeaderReleasesAnUnfinishedTable) {
  const std::size_t before = host::liveArrays();
  {
    _Logger<3> dump(engine);
    dump.AddHeader(5, false);
    dump.AddHeader(0, false);
    hvDestroyArray(state->ReleaseEventCalendarHvArray());
    EXPECT_EQ(host::liveArrays(), before);
    dump.AddHeader(3, true);
  }
  EXPECT_EQ(host::liveArrays(), before) << "an unfinished table goes with its logger";
}

}  // namespace
}  // namespace trace_test
