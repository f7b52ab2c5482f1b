// An engine with a debugger, the calendar's loggers, named blocks, and the
// host side the debugger talks to: a recording "des_dbg_log", the banner
// and command-window functions, and a small "twdb" command package.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/HostControl.h"
#include "tarnwell.h"
#include "tests/entity/EntityTestSupport.h"

namespace trace_test {

// A block known to the host by `name` (also its "Parent" field). It runs
// `onEvent` for every event that reaches it without a functor.
class NamedBlock : public NodeInterface {
 public:
  NamedBlock(Des* engine, const std::string& name) : name(name) {
    SetDesInstance(engine);
    SetEventType("Arrive");
  }
  const char* GetBlkParentName() const override { return name.c_str(); }
  std::string getFieldAsString(const char*) const override { return name; }
  MSGRespEvent DoProcessEvent(DesEvent* e) override {
    if (onEvent) onEvent(e);
    return MSGRespEvent();
  }
  BlockStateResult* GetBlockState() override {
    BlockStateResult* state = new BlockStateResult();
    state->PushBlockData("Name: " + name);
    return state;
  }

  std::string name;
  std::function<void(DesEvent*)> onEvent;
};

// A value as the recording renderer writes it down.
inline std::string Text(const hvArray* a) {
  if (a == nullptr) return "<null>";
  switch (hvGetClassID(a)) {
    case hvCHAR_CLASS:
      return HvArrayText(a);
    case hvDOUBLE_CLASS: {
      if (hvGetNumberOfElements(a) != 1) return "<double>";
      char text[64];
      std::snprintf(text, sizeof text, "%.15g", hvGetPr(a)[0]);
      return text;
    }
    case hvCELL_CLASS:
      return "<cell " + std::to_string(hvGetM(a)) + "x" + std::to_string(hvGetN(a)) + ">";
    default:
      return "<?>";
  }
}

typedef std::vector<std::pair<std::string, std::string>> Pairs;

// One call of "des_dbg_log": the pairs, values as Text.
struct Rendered {
  Pairs pairs;
  std::string Value(const std::string& name) const {
    for (const auto& p : pairs)
      if (p.first == name) return p.second;
    return "<absent>";
  }
  std::string Action() const { return Value("Action"); }
};

class DebugFixture : public entity_test::EngineFixture {
 protected:
  void SetUp() override {
    EngineFixture::SetUp();
    host::captureConsole(true);
    engine->StartDebugger("model");
    debugger = engine->GetDebugger();
    ASSERT_NE(debugger, nullptr);
    engine->GetEventCalendar()->InitCalendarLoggers();
    state = debugger->GetSimState();
    breaks = debugger->GetBreakPointManager();
    control = debugger->GetLogController();
    host::registerFunction("des_dbg_log", [this](int, hvArray* out[], int nIn, hvArray* in[]) {
      Rendered r;
      const hvArray* cell = nIn > 0 ? in[0] : nullptr;
      for (std::size_t k = 0; cell != nullptr && k < hvGetN(cell); ++k)
        r.pairs.emplace_back(Text(hvGetCell(cell, 2 * k)), Text(hvGetCell(cell, 2 * k + 1)));
      rendered.push_back(r);
      out[0] = hvCreateDoubleScalar(answer);
    });
    host::registerFunction("des_printDebugBanner", [this](int, hvArray*[], int, hvArray*[]) {
      ++banners;
    });
    host::registerFunction("des_activateCmdWin", [this](int, hvArray*[], int, hvArray*[]) {
      ++activations;
    });
    Command("cont", [this](const std::vector<std::string>&) {
      breaks->SetSingleSteppingEnabled(false);
      debugger->GetShell()->SetContinueSim(true);
    });
    // "step": the next printed record of any level; "next": the next root.
    Command("step", [this](const std::vector<std::string>&) {
      breaks->SetSingleSteppingEnabled(true);
      breaks->SetNextSingleStepExecLevel(1);
      debugger->GetShell()->SetContinueSim(true);
    });
    Command("next", [this](const std::vector<std::string>&) {
      breaks->SetSingleSteppingEnabled(true);
      breaks->SetNextSingleStepExecLevel(-1);
      debugger->GetShell()->SetContinueSim(true);
    });
    Command("help", [this](const std::vector<std::string>& args) {
      commands.push_back("help" + (args.empty() ? std::string() : " " + args[0]));
    });
  }
  void TearDown() override {
    // Events of the test go, waiting or not: off the calendar first.
    for (DesEvent* e : events) {
      engine->DeleteEvtWithoutLogging(e);
      delete e;
    }
    for (NamedBlock* b : blocks) delete b;
    EngineFixture::TearDown();
  }

  // Registers "twdb.<name>"; every call is noted in `commands`.
  void Command(const std::string& name,
               std::function<void(const std::vector<std::string>&)> body) {
    host::registerFunction("twdb." + name, [this, name, body](int, hvArray*[], int nIn, hvArray* in[]) {
      std::vector<std::string> args;
      for (int i = 0; i < nIn; ++i) {
        args.emplace_back();
        pmArrayToString(in[i], args.back());
      }
      if (name != "help") commands.push_back(name);
      body(args);
    });
  }

  NamedBlock* Block(const std::string& name) {
    blocks.push_back(new NamedBlock(engine, name));
    return blocks.back();
  }

  // Everything off: no printing, no stepping.
  void Quiet() {
    control->DisableAllLogging();
    breaks->SetSingleSteppingEnabled(false);
  }

  std::vector<std::string> Actions() const {
    std::vector<std::string> actions;
    for (const Rendered& r : rendered) actions.push_back(r.Action());
    return actions;
  }

  TWDebugger* debugger = nullptr;
  DesSimState* state = nullptr;
  BreakPointManager* breaks = nullptr;
  LogControl* control = nullptr;
  std::vector<Rendered> rendered;
  std::vector<std::string> commands;
  double answer = 0.0;
  int banners = 0;
  int activations = 0;
  std::vector<NamedBlock*> blocks;
  std::vector<DesEvent*> events;  // destroyed after the test
};

}  // namespace trace_test
