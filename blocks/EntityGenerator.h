// Makes entities of one type at intervals drawn from a distribution and
// sends them out of its single output. Each entity gets a serial number
// and attributes drawn from the block's rules. When the next block cannot
// take the entity, the generator holds it and makes no new one until room
// appears: the arrival process is blocked, not lost.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "entity/NameHandle.h"
#include "model/Distribution.h"
#include "model/EntityTypeDescription.h"
#include "model/ModelBlock.h"
#include "model/RandomStream.h"

class EntityGenerator : public ModelBlock {
 public:
  EntityGenerator(EntityTypeDescription type, Distribution interval);
  ~EntityGenerator() override;

  // The serial number (1, 2, ...) goes into this attribute.
  void SetSerialAttribute(const std::string& attribute) { serialAttribute = attribute; }
  // Every entity gets a value drawn from `values` in this attribute.
  void AddAttributeRule(const std::string& attribute, Distribution values);
  // Stop after this many entities (0: no limit).
  void SetLimit(uint64_t count) { limit = count; }

  uint64_t Generated() const { return generated; }
  // Besides registering, readies the record that announces the start of
  // the generators: it is printed once, by the first generator to start,
  // as every generator readies it before any starts.
  void RegisterWithDebugger() override;
  void Statistics(const StatisticVisitor& visit) const override;
  void ForEachHeld(const std::function<void(const DesEntity*)>& visit) const override;

 protected:
  void* Init() override;
  void* Start() override;
  bool CanAccept(int) const override { return false; }
  DesEventFunctor* ArrivalHandler(int) override { return nullptr; }
  void OnRoomDownstream(int outPort) override;
  void ReleaseHeld() override;
  void DescribeState(BlockStateResult& state) const override;

 private:
  struct Rule {
    NameHandle attribute;
    Distribution values;
  };

  MSGRespEvent Generate(DesEvent* e);
  // Sends the held entity if it can; schedules the next one once it went.
  void Dispatch();

  EntityTypeDescription type;
  Distribution interval;
  RandomStream random;
  NameHandle serialAttribute;
  std::vector<Rule> rules;
  uint64_t limit;
  uint64_t generated;
  DesEventFunctor generateHandler;
  DesEvent* timerEvent;  // the generation event; ours, waiting or idle
  DesEvent* waiting;     // a made entity that could not leave yet
  // The type's template, found once at Start: the registry only ever adds
  // templates, and keeps them until the engine terminates.
  const DesEntity* entityTemplate = nullptr;
  std::unique_ptr<_Logger<6>> announce;  // while registered with a debugger
};
