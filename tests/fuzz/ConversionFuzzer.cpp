// Fuzz target of the reading of entity types from host structures and of the
// bridge's text conversion. Every input must end either in an entity or in a
// library error, and must leave no host array behind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "entity/DesEntity.h"
#include "entity/EntityDef.h"
#include "entity/EntityList.h"
#include "host/HostControl.h"
#include "kernel/Des.h"
#include "support/HostBridge.h"
#include "support/PMException.h"
#include "tests/fuzz/HostStructureDecoder.h"

namespace {

// One engine for the whole run, made before the first input (so that the
// fuzzer's leak check does not take it for a leak): entity types need its
// registry.
Des* gEngine = nullptr;
EntityList* gRegistry = nullptr;

void ReadAsEntityType(EntityList* registry, hvArray* structure) {
  try {
    RCPtr<EntityDef> type(new EntityDef(registry, "Fuzzed", nullptr, false, true, 1));
    DesEntity* entity = new DesEntity(registry, type, structure, false, 0, true);
    hvArray* out = nullptr;
    try {
      out = entity->GetAttributeDataAsHvArray();
    } catch (PMException* e) {
      delete e;
    }
    hvDestroyArray(out);
    delete entity;
  } catch (PMException* e) {
    delete e;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Des::InitMsgContext();
  DesEntity::createTypeMap();
  gEngine = new Des();
  gEngine->Initialize();
  gEngine->Start();
  gEngine->StartCalendar(0, 0, 0, 0, 1000000);
  gRegistry = gEngine->GetEntityList();
  return 0;
}

// Ends the engine, for programs that replay inputs and then exit with a
// leak check (the fuzzer itself checks input by input).
extern "C" void ConversionFuzzerEnd() {
  if (gEngine == nullptr) return;
  gEngine->Terminate();
  delete gEngine;
  gEngine = nullptr;
  gRegistry = nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  EntityList* registry = gRegistry;
  const std::size_t arraysBefore = host::liveArrays();
  hvArray* structure = fuzz::HostStructureDecoder(data, size).Decode();
  char* text = pmHvArrayToString(structure);
  hostFree(text);
  ReadAsEntityType(registry, structure);
  hvDestroyArray(structure);
  if (host::liveArrays() != arraysBefore) std::abort();
  return 0;
}
