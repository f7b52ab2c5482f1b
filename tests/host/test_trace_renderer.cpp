// The host's record renderer: the text layout a person reads and the JSON
// Lines form tools read, from records shaped as the engine's loggers send
// them (a 2-row cell of names and values).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/HostControl.h"
#include "host/TraceRenderer.h"

namespace {

using host::TraceRenderer;

// Owns the record cell it builds; values are taken over by the cell.
class Record {
 public:
  Record& Add(const std::string& name, hvArray* value) {
    pairs.emplace_back(name, value);
    return *this;
  }
  Record& Add(const std::string& name, const char* text) { return Add(name, hvCreateString(text)); }
  Record& Add(const std::string& name, double number) {
    return Add(name, hvCreateDoubleScalar(number));
  }
  const hvArray* Cell() {
    if (cell == nullptr) {
      cell = hvCreateCellMatrix(2, pairs.size());
      for (std::size_t k = 0; k < pairs.size(); ++k) {
        hvSetCell(cell, 2 * k, hvCreateString(pairs[k].first.c_str()));
        hvSetCell(cell, 2 * k + 1, pairs[k].second);
      }
    }
    return cell;
  }
  ~Record() { hvDestroyArray(cell); }

 private:
  std::vector<std::pair<std::string, hvArray*>> pairs;
  hvArray* cell = nullptr;
};

Record Executing(double time) {
  Record r;
  r.Add("Action", "evtExec")
      .Add("FormatStr",
           "\\D\\nExecuting %s Event (%s)|RTime = %.15f\\n: Entity = %s|RPriority = %s\\n: Block  = %s\\n")
      .Add("EventType", "Arrive")
      .Add("EventId", "ev12")
      .Add("Time", time)
      .Add("EntityId", "en3")
      .Add("Priority", "300")
      .Add("Block", "Queue");
  return r;
}

Record Scheduling() {
  Record r;
  r.Add("Action", "evtSched")
      .Add("FormatStr",
           "\\L\\n\\IScheduling %s Event (%s)\\n\\I: EventTime = %.15f%s\\n\\I: Priority  = %s\\n"
           "\\I: Entity    = %s\\n\\I: Block     = %s\\n")
      .Add("EventType", "Depart")
      .Add("EventId", "ev13")
      .Add("Time", 2.75)
      .Add("Now", "")
      .Add("Priority", "200")
      .Add("EntityId", "en3")
      .Add("Block", "Server");
  return r;
}

hvArray* Row(const std::vector<const char*>& texts) {
  hvArray* row = hvCreateCellMatrix(1, texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) hvSetCell(row, i, hvCreateString(texts[i]));
  return row;
}

Record Calendar() {
  hvArray* table = hvCreateCellMatrix(3, 1);
  hvSetCell(table, 0, Row({" ", "ID", "EventTime", "EventType", "Priority", "Entity", "Block"}));
  hvSetCell(table, 1, Row({"=>", "ev12", "1.250000000000000", "Arrive", "300", "en3", "Queue"}));
  hvSetCell(table, 2, Row({"", "ev7", "10.000000000000000", "Generate", "100", "<none>", "Gen"}));
  Record r;
  r.Add("Action", "cal").Add("Data", table).Add("FormatStr", "%s%s%s%s%s%s%s%s%s%s%s%s%s%s\n");
  return r;
}

class TraceRendererTest : public ::testing::Test {
 protected:
  void SetUp() override { host::reset(); }
  void TearDown() override { host::reset(); }
};

TEST_F(TraceRendererTest, NumbersPrintInTheirShortestExactForm) {
  EXPECT_EQ(TraceRenderer::ShortestNumber(0), "0");
  EXPECT_EQ(TraceRenderer::ShortestNumber(2.5), "2.5");
  EXPECT_EQ(TraceRenderer::ShortestNumber(0.1), "0.1");
  EXPECT_EQ(TraceRenderer::ShortestNumber(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(TraceRenderer::ShortestNumber(1e21), "1e+21");
  EXPECT_EQ(TraceRenderer::ShortestNumber(1.2714030871476725), "1.2714030871476725");
  EXPECT_EQ(TraceRenderer::ShortestNumber(-7), "-7");
  EXPECT_EQ(TraceRenderer::ShortestNumber(10), "10");
  EXPECT_EQ(TraceRenderer::ShortestNumber(150000), "150000");
  EXPECT_EQ(TraceRenderer::ShortestNumber(1e-5), "1e-05");
}

// A root record opens a block with the time on the right; nested records of
// the same event are indented under it; a root without a time of its own
// shows the last one.
TEST_F(TraceRendererTest, TextLaysOutRootsNestedRecordsAndRightColumn) {
  TraceRenderer renderer;
  Record model;
  model.Add("Action", "modelInit").Add("FormatStr", "\\D\\nInitializing Model %s\\n").Add("Model", "shop");
  Record exec = Executing(1.25), sched = Scheduling();
  Record attr;
  attr.Add("Action", "setAttr")
      .Add("FormatStr",
           "\\L\\n\\ISetting Attribute on Entity (%s)\\n\\I: %s = %s\\n\\I: %s = %s\\n\\I: Block = %s\\n")
      .Add("EntityId", "en3")
      .Add("Name", "Weight")
      .Add("Value", 0.1)
      .Add("Name", "Size");
  hvArray* matrix = hvCreateDoubleMatrix(2, 2, hvREAL);
  double* d = hvGetPr(matrix);
  d[0] = 1, d[1] = 3, d[2] = 2, d[3] = 4.5;
  attr.Add("Value", matrix).Add("Block", "Set");
  Record end;
  end.Add("Action", "modelTerm").Add("FormatStr", "\\D\\nTerminating Model %s\\n").Add("Model", "shop");

  std::string text;
  for (Record* r : {&model, &exec, &sched, &attr, &end}) text += renderer.Render(r->Cell());
  EXPECT_EQ(text, R"(
Initializing Model shop

Executing Arrive Event (ev12)                   Time = 1.25
: Entity = en3                                  Priority = 300
: Block  = Queue
    Scheduling Depart Event (ev13)
    : EventTime = 2.75
    : Priority  = 200
    : Entity    = en3
    : Block     = Server
    Setting Attribute on Entity (en3)
    : Weight = 0.1
    : Size = [1 2; 3 4.5]
    : Block = Set

Terminating Model shop                          Time = 1.25
)");
}

TEST_F(TraceRendererTest, CalendarIsAnAlignedTableWithTheExecutingEventMarked) {
  TraceRenderer renderer;
  Record cal = Calendar();
  EXPECT_EQ(renderer.Render(cal.Cell()),
            "        ID    EventTime  EventType  Priority  Entity  Block\n"
            "    =>  ev12  1.25       Arrive     300       en3     Queue\n"
            "        ev7   10         Generate   100       <none>  Gen\n");
}

// A format that runs out of values, or a record without one, still renders.
TEST_F(TraceRendererTest, TextSurvivesShortAndEmptyRecords) {
  TraceRenderer renderer;
  Record shortOne;
  shortOne.Add("Action", "gen").Add("FormatStr", "\\L\\n\\IGenerating Entity (%s)\\n\\I: Block = %s\\n").Add("EntityId", "en1");
  EXPECT_EQ(renderer.Render(shortOne.Cell()), "    Generating Entity (en1)\n    : Block = []\n");
  Record empty;
  EXPECT_EQ(renderer.Render(empty.Cell()), "");
}

// One object a line: action and time first, then the pairs in order with
// their natural types; nested records carry the time of their root.
TEST_F(TraceRendererTest, JsonLinesCarryActionTimeAndTypedPairs) {
  TraceRenderer renderer(TraceRenderer::Format::JsonLines);
  Record exec = Executing(1.25), sched = Scheduling(), cal = Calendar();
  Record quoted;
  quoted.Add("Action", "gen").Add("FormatStr", "\\L\\n%s\\n").Add("Block", "a \"b\"\\\n");
  std::string lines;
  for (Record* r : {&exec, &sched, &cal, &quoted}) lines += renderer.Render(r->Cell());
  EXPECT_EQ(lines,
            R"({"action":"evtExec","time":1.25,"EventType":"Arrive","EventId":"ev12","Time":1.25,"EntityId":"en3","Priority":"300","Block":"Queue"}
{"action":"evtSched","time":1.25,"EventType":"Depart","EventId":"ev13","Time":2.75,"Now":"","Priority":"200","EntityId":"en3","Block":"Server"}
{"action":"cal","time":1.25,"Events":[{"Executing":true,"ID":"ev12","EventTime":1.25,"EventType":"Arrive","Priority":"300","Entity":"en3","Block":"Queue"},{"Executing":false,"ID":"ev7","EventTime":10.0,"EventType":"Generate","Priority":"100","Entity":"<none>","Block":"Gen"}]}
{"action":"gen","time":1.25,"Block":"a \"b\"\\\n"}
)");
  std::istringstream in(lines);
  std::string line;
  int parsed = 0;
  while (std::getline(in, line)) {
    nlohmann::json object = nlohmann::json::parse(line);
    EXPECT_TRUE(object.contains("action"));
    ++parsed;
  }
  EXPECT_EQ(parsed, 4);
  TraceRenderer fresh(TraceRenderer::Format::JsonLines);
  EXPECT_TRUE(nlohmann::json::parse(fresh.Render(sched.Cell()))["time"].is_null());
}

// Installed, the renderer answers the engine's calls by name: 0 to go on,
// the banner and the flush before the prompt.
TEST_F(TraceRendererTest, InstalledFunctionsWriteToTheConsoleAndAnswerZero) {
  host::captureConsole(true);
  TraceRenderer::Install(std::make_shared<TraceRenderer>());
  Record exec = Executing(3);
  hvArray* in[] = {const_cast<hvArray*>(exec.Cell())};
  hvArray* out[] = {nullptr};
  ASSERT_EQ(hostCallFunctionWithTrap(1, out, 1, in, "des_dbg_log", true), 0);
  ASSERT_NE(out[0], nullptr);
  EXPECT_EQ(hvGetPr(out[0])[0], 0);
  EXPECT_EQ(host::consoleText().substr(0, 31), "\nExecuting Arrive Event (ev12) ");
  host::clearConsole();
  ASSERT_EQ(hostCallFunctionWithTrap(0, out, 0, nullptr, "des_printDebugBanner", true), 0);
  EXPECT_NE(host::consoleText().find("help"), std::string::npos);
  EXPECT_EQ(hostCallFunctionWithTrap(0, out, 0, nullptr, "des_activateCmdWin", true), 0);
}

// An attribute-setting record carries its attributes as one cell, names
// in row 1 and values in row 2: each fills a "name = value" line of text,
// and in JSON they become an object keyed by name.
TEST_F(TraceRendererTest, AttributesFillOneLineEachAndAreAnObjectInJson) {
  hvArray* attributes = hvCreateCellMatrix(2, 2);
  hvSetCell(attributes, 0, hvCreateString("Serial"));
  hvSetCell(attributes, 1, hvCreateDoubleScalar(1));
  hvSetCell(attributes, 2, hvCreateString("Priority"));
  hvSetCell(attributes, 3, hvCreateDoubleScalar(0.25));
  Record r;
  r.Add("Action", "entSetAtt")
      .Add("FormatStr", "\\L\\n\\ISetting Attribute on Entity (%s)\\n\\I: %s = %s\\n\\I: %s = %s\\n\\I: Block = %s\\n")
      .Add("EntityId", "en3")
      .Add("AttCell", attributes)
      .Add("Block", "m/Gen");
  EXPECT_EQ(TraceRenderer().Render(r.Cell()),
            "    Setting Attribute on Entity (en3)\n    : Serial = 1\n    : Priority = 0.25\n    : Block = m/Gen\n");
  const nlohmann::json object = nlohmann::json::parse(TraceRenderer(TraceRenderer::Format::JsonLines).Render(r.Cell()));
  EXPECT_EQ(object["AttCell"], nlohmann::json::parse(R"({"Serial": 1, "Priority": 0.25})"));
}

Record Nested(const char* entity, const char* block) {
  Record r;
  r.Add("Action", "entQueue")
      .Add("FormatStr", "\\L\\n\\IQueuing Entity (%s)\\n\\I: Block = %s\\n")
      .Add("EntityId", entity)
      .Add("Block", block);
  return r;
}

// A filter keeps the records that name its blocks and entities within its
// times; a root record it drops comes back before the first record kept
// under it, and the model's own records pass whatever they name.
TEST_F(TraceRendererTest, FiltersKeepRecordsInTheirContext) {
  struct Case {
    const char* what;
    TraceRenderer::Filter filter;
    std::string expected;  // the records kept, by their first words
  };
  TraceRenderer::Filter server, entity, window;
  server.blocks = {"Server"};
  entity.entities = {"en4"};
  window.from = 2.5;
  window.to = 3.5;
  const std::vector<Case> cases = {
      {"none", TraceRenderer::Filter(), "E1 en3@Queue en4@Server E3 en4@Queue M"},
      {"block", server, "E1 en4@Server M"},
      {"entity", entity, "E1 en4@Server E3 en4@Queue M"},
      {"window", window, "E3 en4@Queue M"},
  };
  for (const Case& c : cases) {
    host::captureConsole(true);
    host::clearConsole();
    TraceRenderer renderer;
    renderer.SetFilter(c.filter);
    Record model;
    model.Add("Action", "desInit").Add("FormatStr", "\\D\\nInitializing Model %s\\n").Add("Model", "M");
    Record e1 = Executing(1), e3 = Executing(3);
    Record a = Nested("en3", "Queue"), b = Nested("en4", "Server"), d = Nested("en4", "Queue");
    for (Record* r : {&e1, &a, &b, &e3, &d, &model}) renderer.Log(r->Cell());
    std::string kept;
    std::istringstream lines(host::consoleText());
    for (std::string line; std::getline(lines, line);) {
      std::string word;
      if (line.compare(0, 9, "Executing") == 0) word = line.find("Time = 1") != std::string::npos ? "E1" : "E3";
      if (line.compare(0, 11, "Initializin") == 0) word = "M";
      if (line.compare(0, 18, "    Queuing Entity") == 0) word = line.substr(20, 3);
      if (line.compare(0, 13, "    : Block =") == 0) kept += "@" + line.substr(14);
      if (!word.empty()) kept += (kept.empty() ? "" : " ") + word;
    }
    EXPECT_EQ(kept, c.expected) << c.what;
  }
  host::captureConsole(false);
}

}  // namespace
