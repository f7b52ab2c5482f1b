#include "blocks/StandardBlocks.h"

#include <memory>
#include <string>

#include "blocks/AttributeSetter.h"
#include "blocks/Combiner.h"
#include "blocks/EntityGenerator.h"
#include "blocks/Queue.h"
#include "blocks/ReadTimer.h"
#include "blocks/Server.h"
#include "blocks/Sink.h"
#include "blocks/Splitter.h"
#include "blocks/StartTimer.h"
#include "model/BlockRegistry.h"

namespace {

// A number of servers, inputs or outputs: each costs memory up front.
int Ports(BlockParameters& p, const std::string& name, uint64_t fallback, uint64_t most) {
  const uint64_t n = p.Count(name, 1, fallback);
  if (n > most) p.Refuse(name, "at most " + std::to_string(most));
  return static_cast<int>(n);
}

std::unique_ptr<ModelBlock> MakeGenerator(BlockParameters& p) {
  const EntityTypeDescription type = p.EntityType("entity");
  auto block = std::make_unique<EntityGenerator>(type, p.Time("interval"));
  if (p.Has("serial")) block->SetSerialAttribute(p.Text("serial"));
  if (p.Has("attributes"))
    for (const auto& rule : p.ValuesByName("attributes")) block->AddAttributeRule(rule.first, rule.second);
  block->SetLimit(p.Count("limit", 1, 0));
  return block;
}

std::unique_ptr<ModelBlock> MakeQueue(BlockParameters& p) {
  auto block = std::make_unique<Queue>(p.Has("capacity") ? p.Count("capacity", 1) : Queue::kInfinite);
  if (p.Has("priority")) block->SetPriorityAttribute(p.Text("priority"));
  if (p.Has("patience")) block->SetPatience(p.Time("patience"), p.Text("timeout-tag", "Patience"));
  return block;
}

std::unique_ptr<ModelBlock> MakeServer(BlockParameters& p) {
  const int servers = Ports(p, "servers", 1, 100000);
  if (p.Has("service") == p.Has("service-attribute"))
    p.Refuse("service", "give the service time (service) or the attribute it is read from (service-attribute)");
  if (p.Has("service")) return std::make_unique<Server>(servers, p.Time("service"));
  return std::make_unique<Server>(servers, p.Text("service-attribute"));
}

std::unique_ptr<ModelBlock> MakeReadTimer(BlockParameters& p) {
  auto block = std::make_unique<ReadTimer>(p.Text("tag"));
  if (p.Has("write-to")) block->WriteTo(p.Text("write-to"));
  return block;
}

std::unique_ptr<ModelBlock> MakeSetter(BlockParameters& p) {
  auto block = std::make_unique<AttributeSetter>();
  if (p.Has("clock"))
    for (const std::string& attribute : p.Texts("clock")) block->SetToClock(attribute);
  if (p.Has("values"))
    for (const auto& rule : p.ValuesByName("values")) block->Set(rule.first, rule.second);
  return block;
}

}  // namespace

void RegisterStandardBlocks(BlockRegistry& r) {
  r.Register("EntityGenerator", MakeGenerator);
  r.Register("Queue", MakeQueue);
  r.Register("Server", MakeServer);
  r.Register("Sink", [](BlockParameters&) { return std::make_unique<Sink>(); });
  r.Register("StartTimer", [](BlockParameters& p) { return std::make_unique<StartTimer>(p.Text("tag")); });
  r.Register("ReadTimer", MakeReadTimer);
  r.Register("AttributeSetter", MakeSetter);
  r.Register("Combiner", [](BlockParameters& p) {
    const int inputs = Ports(p, "inputs", 2, 4);
    return std::make_unique<Combiner>(inputs, p.Text("entity"));
  });
  r.Register("Splitter", [](BlockParameters& p) {
    return std::make_unique<Splitter>(Ports(p, "outputs", 2, 1000));
  });
}

void RegisterStandardBlocks() { RegisterStandardBlocks(BlockRegistry::Global()); }
