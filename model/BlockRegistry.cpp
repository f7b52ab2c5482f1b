#include "model/BlockRegistry.h"

BlockRegistry& BlockRegistry::Global() {
  static BlockRegistry registry;
  return registry;
}

void BlockRegistry::Register(const std::string& type, BlockFactory factory) {
  factories[type] = std::move(factory);
}

const BlockFactory* BlockRegistry::Find(const std::string& type) const {
  const auto it = factories.find(type);
  return it == factories.end() ? nullptr : &it->second;
}

std::string BlockRegistry::Types() const {
  std::string list;
  for (const auto& entry : factories) list += (list.empty() ? "" : ", ") + entry.first;
  return list.empty() ? "none registered" : list;
}
