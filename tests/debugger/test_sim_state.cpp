// The state view: registries of entities and blocks, current block ids,
// block records and block states, the start-up queue, the abort.
#include "tests/trace/TraceTestSupport.h"

namespace trace_test {
namespace {

class SimStateTest : public DebugFixture {
 protected:
  void SetUp() override {
    DebugFixture::SetUp();
    Quiet();
    Define("Part", entity_test::List({{"Colour", "int", entity_test::Scalar(2)}}), true);
    Define("Box", entity_test::Empty(), true);
  }
  std::string LiveEntities() {
    hvArray* ids = state->TestFcn_DumpEntityCollectionIDContents();
    std::string text;
    for (std::size_t i = 0; i < hvGetM(ids); ++i) text += Text(hvGetCell(ids, i)) + " ";
    hvDestroyArray(ids);
    return text;
  }
};

// Generated and combined entities enter; destroying a composite removes
// its members (and theirs) with it.
TEST_F(SimStateTest, EntitiesFollowGenerationCombinationAndDestruction) {
  NamedBlock* q = Block("model/Q");
  DesEntity* box = Clone("Box");
  DesEntity* inner = Clone("Box");
  DesEntity* a = Clone("Part");
  DesEntity* b = Clone("Part");
  b->SetSequence(1);
  for (DesEntity* e : {box, inner, a, b}) Forget(e);
  // Every entity is generated and logged on an event of its own.
  std::vector<DesEvent*> carriers;
  for (DesEntity* e : {inner, a, b}) {
    carriers.push_back(new DesEvent(1.0, 0, q, e));
    _Logger<0>{engine}(carriers.back());
  }
  std::vector<DesEntity*> sorted = {inner, a, b};
  std::sort(sorted.begin(), sorted.end());
  std::string inAddressOrder;
  for (DesEntity* e : sorted) inAddressOrder += e->GetId() + " ";
  EXPECT_EQ(LiveEntities(), inAddressOrder);
  // a joins inner, inner and b join box; box enters as the combination.
  for (DesEvent* c : carriers) c->ReleaseEntity();
  DesEntity* moved = a;
  ASSERT_TRUE(inner->InsertSeqEntities(q, moved, false, false));
  moved = inner;
  ASSERT_TRUE(box->InsertSeqEntities(q, moved, false, false));
  moved = b;
  ASSERT_TRUE(box->InsertSeqEntities(q, moved, false, false));
  DesEvent* carrier = new DesEvent(1.0, 0, q, box);
  _Logger<12>{engine}("Box = Box + Part", "model/Q", carrier);
  EXPECT_EQ(state->GetEntityById(box->GetId()), box);
  _Logger<1>{engine}(carrier);
  EXPECT_EQ(LiveEntities(), "") << "members and members of members leave with the composite";
  delete carrier;
  for (DesEvent* c : carriers) delete c;
}

TEST_F(SimStateTest, BlocksGetIdsNamesAndChildren) {
  NamedBlock* q = Block("model/Q");
  NamedBlock* s = Block("model/S");
  NamedBlock* inner = Block("model/S/Inner");
  NamedBlock* lone = Block("model/Lone/Part");
  DesEntity* part = Clone("Part");
  Forget(part);
  DesEvent* ev = new DesEvent(1.0, 0, q, part);

  _Logger<4>{engine}(ev, q, s);
  EXPECT_EQ(state->GetCurrentBlockId() + "|" + state->GetCurrentEntDestBlockId(), "|")
      << "blocks not registered have no id";
  state->RegisterDebuggableBlock(q, "");
  state->RegisterDebuggableBlock(s, "Server\nOne");
  state->RegisterInternalDebuggableBlock(inner, "Server\nOne");
  state->RegisterInternalDebuggableBlock(lone, "Lone");
  _Logger<4>{engine}(ev, q, s);
  EXPECT_EQ(state->GetCurrentBlockId() + "|" + state->GetCurrentEntDestBlockId(), "blk1|blk2")
      << "the destination found under its display name";
  EXPECT_TRUE(state->IsCurrentBlock("blk1") && state->IsCurrentBlock("blk2") &&
              !state->IsCurrentBlock("blk3"));
  _Logger<4>{engine}(ev, s, q);
  EXPECT_EQ(state->GetCurrentBlock(), "Server\nOne");
  _Logger<4>{engine}(ev, inner, q);
  EXPECT_EQ(state->GetCurrentBlockId(), "blk2") << "an internal block stands for its parent";

  DebugBlock* server = state->GetBlockById("blk2");
  ASSERT_NE(server, nullptr);
  EXPECT_TRUE(server->HasChildren() && server->IsChildBlock("model/S/Inner") &&
              !server->IsChildBlock("model/S"));
  EXPECT_FALSE(state->GetBlockById("blk1")->HasChildren());
  EXPECT_EQ(state->GetBlockByName("Lone"), state->GetBlockById("blk3"))
      << "no parent of that name: a block of its own under the parent's name";

  hvArray* list = state->GetBlockListAsHvArray();
  ASSERT_EQ(hvGetM(list) * 10 + hvGetN(list), 23u);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < 6; ++i) texts.push_back(Text(hvGetCell(list, i)));
  hvDestroyArray(list);
  std::sort(texts.begin(), texts.end());
  EXPECT_EQ(texts, (std::vector<std::string>{"Lone", "Server\nOne", "blk1", "blk2", "blk3", "model/Q"}));

  server->SetName("Srv");
  hvArray* id = server->GetBlockIDAsHvArray();
  EXPECT_EQ(Text(hvGetCell(id, 0)) + " " + Text(hvGetCell(id, 1)), "blk2 Srv");
  hvDestroyArray(id);
  delete ev;
}

TEST_F(SimStateTest, BlockStatesAsHostCells) {
  auto shape = [](hvArray* a) {
    std::string text = std::to_string(hvGetM(a)) + "x" + std::to_string(hvGetN(a)) + ":";
    for (std::size_t i = 0; i < hvGetNumberOfElements(a); ++i) text += " " + Text(hvGetCell(a, i));
    hvDestroyArray(a);
    return text;
  };
  BlockStateResult empty;
  EXPECT_EQ(shape(empty.GetEntityTableAsHvArray()), "0x0:");
  EXPECT_EQ(shape(empty.GetBlockDataAsHvArray()), "0x1:");

  BlockStateResult state;
  state.PushBlockData("Queue");
  state.PushBlockData("Length: 3");
  state.PushEntityData("en1", "A");
  state.PushEntityData("en2", "B");
  state.PushEntityData("en3");  // narrower than the first row: padded
  state.PushEntityData("en4", "D", "extra");
  EXPECT_EQ(shape(state.GetBlockDataAsHvArray()), "2x1: Queue Length: 3");
  EXPECT_EQ(shape(state.GetEntityTableAsHvArray()), "2x4: en1 A en2 B en3  en4 D");
  BlockStateResult copy(state);
  BlockStateResult assigned;
  assigned = copy;
  EXPECT_EQ(shape(assigned.GetEntityTableAsHvArray()), "2x4: en1 A en2 B en3  en4 D");
}

TEST_F(SimStateTest, StartUpCommandsComeInOrder) {
  hvArray* cell = hvCreateCellMatrix(2, 2);
  const char* texts[] = {"a", "b", "c", "d"};
  for (std::size_t i = 0; i < 4; ++i) hvSetCell(cell, i, hvCreateString(texts[i]));
  TWDebugger::SetStartFcn(cell);
  hvDestroyArray(cell);
  std::string order;
  for (int i = 0; i < 5; ++i) order += TWDebugger::GetNextFromStartFcn() + ".";
  EXPECT_EQ(order, "a.b.c.d..");
}

TEST_F(SimStateTest, AbortAndEndOfSimulationSwitchOff) {
  control->SetDefaultLogging();
  control->SetCalendarLoggingEnabled(true);
  engine->DisableOutputForEndOfSim();
  EXPECT_FALSE(control->IsAnyLoggingEnabled());
  EXPECT_TRUE(engine->IsEndOfSim() && !engine->IsStopRequestedByDebugger());

  control->SetDefaultLogging();
  host::clearConsole();
  debugger->Abort();
  EXPECT_EQ(host::consoleText(), "Tarnwell Debugger: Abort\n");
  EXPECT_FALSE(control->IsAnyLoggingEnabled() || breaks->GetBreakEnabled() ||
               breaks->GetSingleSteppingEnabled());
  EXPECT_TRUE(engine->IsStopRequestedByDebugger() && debugger->GetShell()->GetContinueSim());
}

TEST_F(SimStateTest, ADebuggerStartsOncePerEngine) {
  engine->StartDebugger("other");
  EXPECT_EQ(engine->GetDebugger(), debugger);
  EXPECT_EQ(debugger->GetModelName(), "model");
}

}  // namespace
}  // namespace trace_test
