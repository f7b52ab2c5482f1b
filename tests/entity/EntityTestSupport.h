// An engine with its registry and a block, and builders of entity
// structures as the host passes them.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <memory>

#include "entity/DesEntity.h"
#include "entity/EntityDef.h"
#include "entity/EntityList.h"
#include "kernel/Des.h"
#include "kernel/DesEvent.h"
#include "kernel/NodeInterface.h"
#include "support/DesExcept.h"
#include "tests/entity/MemoryChecks.h"

namespace entity_test {

// A block of the model "model/Blk"; its host handle is itself.
class TestBlock : public NodeInterface {
 public:
  explicit TestBlock(Des* engine) { SetDesInstance(engine); }
  const char* GetBlkParentName() const override { return "model/Blk"; }
  void* getObjProxy() override { return this; }
};

// One element of an attribute list (isMutable and RO written if List has the fields).
struct Element {
  std::string name;
  std::string type;
  hvArray* value;  // handed to the list
  std::string isMutable = "false";
  std::string ro = "false";
};

// An n-by-1 attribute list of the given elements with 3, 4 or 5 fields.
inline hvArray* List(std::initializer_list<Element> elements, int fields = 3) {
  const char* names[] = {"Name", "Type", "Value", "isMutable", "RO"};
  hvArray* s = hvCreateStructMatrix(elements.size(), 1, fields, names);
  std::size_t i = 0;
  for (const Element& e : elements) {
    hvSetField(s, i, "Name", hvCreateString(e.name.c_str()));
    hvSetField(s, i, "Type", hvCreateString(e.type.c_str()));
    hvSetField(s, i, "Value", e.value);
    if (fields >= 4) hvSetField(s, i, "isMutable", hvCreateString(e.isMutable.c_str()));
    if (fields >= 5) hvSetField(s, i, "RO", hvCreateString(e.ro.c_str()));
    ++i;
  }
  return s;
}

// A 1-by-1 entity structure {Name, Type "Entity", Value[, RO]}.
inline hvArray* Entity(const char* name, hvArray* value, const char* ro = nullptr) {
  const char* names[] = {"Name", "Type", "Value", "RO"};
  hvArray* s = hvCreateStructMatrix(1, 1, ro != nullptr ? 4 : 3, names);
  hvSetField(s, 0, "Name", hvCreateString(name));
  hvSetField(s, 0, "Type", hvCreateString("Entity"));
  hvSetField(s, 0, "Value", value);
  if (ro != nullptr) hvSetField(s, 0, "RO", hvCreateString(ro));
  return s;
}

inline hvArray* Scalar(double v) { return hvCreateDoubleScalar(v); }
inline hvArray* Empty() { return hvCreateDoubleMatrix(0, 0, hvREAL); }
// The values column by column in an m-row matrix.
inline hvArray* Row(std::initializer_list<double> values, std::size_t m = 1) {
  hvArray* a = hvCreateDoubleMatrix(m, values.size() / m, hvREAL);
  std::size_t i = 0;
  for (double v : values) hvGetPr(a)[i++] = v;
  return a;
}

// An engine after Initialize, Start and StartCalendar, terminated after the test.
class EngineFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    host::reset();
    Des::InitMsgContext();
    DesEntity::createTypeMap();
    engine = new Des();
    engine->Initialize();
    engine->Start();
    engine->StartCalendar(0, 0, 0, 0, 1000000);
    registry = engine->GetEntityList();
    block = new TestBlock(engine);
  }
  void TearDown() override {
    for (DesEntity* e : owned) e->destroy();
    owned.clear();
    delete block;
    engine->Terminate();
    delete engine;
    UnregisterMessageCatalogue();
    host::reset();
  }

  // An entity of a new type `name` read from `structure` (destroyed whatever happens).
  DesEntity* Read(const char* name, hvArray* structure, bool isMutable = true,
                  bool readOnly = false) {
    std::unique_ptr<hvArray, void (*)(hvArray*)> guard(structure, hvDestroyArray);
    RCPtr<EntityDef> type(new EntityDef(registry, name, nullptr, readOnly, isMutable, 1));
    return new DesEntity(registry, type, structure, false, 0, true);
  }
  // A type made from an attribute list, registered as a template (the registry owns it).
  DesEntity* Define(const char* name, hvArray* list, bool isMutable, bool readOnly = false) {
    DesEntity* t = Read(name, Entity(name, list), isMutable, readOnly);
    EXPECT_TRUE(registry->AddToList(t));
    return t;
  }
  // A clone destroyed at the end of the test unless Forget()-ten.
  DesEntity* Clone(const char* type, bool initToDefault = false) {
    DesEntity* e = registry->CloneEntity(type, initToDefault);
    owned.push_back(e);
    return e;
  }
  void Forget(DesEntity* e) {
    owned.erase(std::remove(owned.begin(), owned.end(), e), owned.end());
  }
  // An event that owns `e` from now on.
  DesEvent* Carry(DesEntity* e, double time = 1.0) {
    Forget(e);
    return new DesEvent(time, 0, block, e);
  }
  double Number(DesEntity* e, const char* name) { return e->ReadNumberFromAttribute(block, name); }

  Des* engine = nullptr;
  EntityList* registry = nullptr;
  TestBlock* block = nullptr;
  std::vector<DesEntity*> owned;
};

}  // namespace entity_test
