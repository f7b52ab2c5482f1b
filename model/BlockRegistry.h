// The block types that model files may use, by type name. Each type has a
// factory that makes a block from its parameters in the file. The blocks
// that come with Tarnwell register with RegisterStandardBlocks
// (blocks/StandardBlocks.h); a block author adds a type of their own with
// one call:
//
//   RegisterBlockType("Delay", [](BlockParameters& p) {
//     return std::make_unique<Delay>(p.Number("delay"));
//   });
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "model/BlockParameters.h"
#include "model/ModelBlock.h"

using BlockFactory = std::function<std::unique_ptr<ModelBlock>(BlockParameters& parameters)>;

class BlockRegistry {
 public:
  // The registry model files read from unless told otherwise.
  static BlockRegistry& Global();

  // Registers (or replaces) a type.
  void Register(const std::string& type, BlockFactory factory);
  // Null for an unknown type.
  const BlockFactory* Find(const std::string& type) const;
  // "A, B, C": the known types, for messages.
  std::string Types() const;

 private:
  std::map<std::string, BlockFactory> factories;
};

inline void RegisterBlockType(const std::string& type, BlockFactory factory) {
  BlockRegistry::Global().Register(type, std::move(factory));
}
