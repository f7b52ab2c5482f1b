// The twdb commands that read the model's state, typed as at the prompt
// (the package imported, then the line) against an engine with a debugger.
#include <gtest/gtest.h>

#include "model/DebuggerCommands.h"
#include "tests/trace/TraceTestSupport.h"

namespace {

class DebuggerCommandsTest : public trace_test::DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    host::DebuggerCommands::Install(debugger);
    Define("Part", entity_test::List({{"Serial", "int", entity_test::Scalar(0)},
                                      {"Weight", "double", entity_test::Scalar(0)},
                                      {"Size", "DesData", entity_test::Row({1, 2, 3, 4}, 2)}}),
           true);
  }
  void TearDown() override {
    host::DebuggerCommands::Uninstall();
    DebugFixture::TearDown();
  }

  // What the line prints.
  std::string Type(const std::string& line) {
    host::clearConsole();
    EXPECT_EQ(hostEvalCommand("import twdb.*"), 0);
    EXPECT_EQ(hostEvalCommand(line.c_str()), 0) << line;
    return host::consoleText();
  }
};

// An entity with attributes, a started timer and a pending timeout.
TEST_F(DebuggerCommandsTest, EntityShowsAttributesTimersAndTimeouts) {
  DesEntity* part = Clone("Part");
  part->WriteToAttribute(block, "Serial", 7);
  part->WriteToAttribute(block, "Weight", 2.5);
  part->FindOrCreateTimer(block, "inSystem")->SetTimer(engine->GetTimeNow(), block);
  part->FindOrCreateTimer(block, "idle");
  part->CreateTimeout("patience", 12.25, 0, block, nullptr, 1);
  state->RegisterEntity(part);
  const std::string id = part->GetId();

  const std::string shown = Type("entity " + id);
  EXPECT_EQ(shown.rfind(id + "  type Part\n", 0), 0u) << shown;
  for (const char* line : {"  attributes:\n", "    Serial               7\n", "    Weight               2.5\n",
                           "    Size                 [1 3; 2 4]\n", "  timers:\n",
                           "    idle                 not started\n",
                           "    inSystem             started at -1, 0 elapsed\n", "  timeouts:\n",
                           "    patience             at 12.25 (event ev"})
    EXPECT_NE(shown.find(line), std::string::npos) << line << shown;
  // The number alone names the same entity.
  EXPECT_EQ(Type("entity " + id.substr(2)), shown);
  state->UnRegisterEntity(part);
}

TEST_F(DebuggerCommandsTest, EntityWithNothingSaysSo) {
  Define("Token", entity_test::List({}), true);
  DesEntity* token = Clone("Token");
  state->RegisterEntity(token);
  const std::string shown = Type("entity " + token->GetId());
  EXPECT_NE(shown.find("  no attributes\n  no timers\n  no timeouts\n"), std::string::npos) << shown;
  state->UnRegisterEntity(token);
}

// Every mistake is one line naming what was wrong.
TEST_F(DebuggerCommandsTest, EntityMistakesAreOneLine) {
  DesEntity* gone = Clone("Part");  // never registered: not in the model as the debugger sees it
  const struct {
    std::string line;
    std::string answer;
  } cases[] = {
      {"entity", "missing entity id\n"},
      {"entity en999", "no entity 'en999' in the model now\n"},
      {"entity 999", "no entity '999' in the model now\n"},
      {"entity x1", "no entity 'x1' in the model now\n"},
      {"entity " + gone->GetId(), "no entity '" + gone->GetId() + "' in the model now\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Type(c.line), c.answer) << c.line;
}

TEST_F(DebuggerCommandsTest, HelpListsAndExplainsEntity) {
  EXPECT_NE(Type("help").find("  entity ID              show one entity\n"), std::string::npos);
  const std::string details = Type("help entity");
  EXPECT_EQ(details.rfind("entity ID\n", 0), 0u) << details;
  EXPECT_NE(details.find("timeouts"), std::string::npos) << details;
}

}  // namespace
