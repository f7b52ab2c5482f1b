// The parameters of one block in a model file, as its type's factory reads
// them (see BlockRegistry.h). Each accessor names the parameter it reads;
// a missing or malformed value throws a ModelError (created with new) that
// gives the file, line and column of the value and says what was expected.
// The reader notes every name asked for, so that a parameter in the file
// that the factory never asked for is reported as unknown, together with
// the parameters the type does have.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/Distribution.h"
#include "model/EntityTypeDescription.h"

namespace YAML {
class Node;
}

class BlockParameters {
 public:
  using EntityTypes = std::map<std::string, EntityTypeDescription>;
  // The file's named distributions: name to text form.
  using NamedDistributions = std::map<std::string, std::string>;

  // `node` is the block's entry in the file; `entityTypes` and
  // `distributions` are the file's.
  BlockParameters(const YAML::Node& node, std::string file, std::string blockType,
                  const EntityTypes& entityTypes, const NamedDistributions& distributions);
  BlockParameters(const BlockParameters&) = delete;
  BlockParameters& operator=(const BlockParameters&) = delete;
  ~BlockParameters();

  const std::string& Type() const { return type; }
  bool Has(const std::string& name);

  double Number(const std::string& name);
  double Number(const std::string& name, double fallback);
  // A whole number from `least` on.
  uint64_t Count(const std::string& name, uint64_t least = 0);
  uint64_t Count(const std::string& name, uint64_t least, uint64_t fallback);
  std::string Text(const std::string& name);
  std::string Text(const std::string& name, const std::string& fallback);
  // One text or a list of texts.
  std::vector<std::string> Texts(const std::string& name);
  // A distribution of times (a normal is truncated at zero, negative values
  // are refused) or of other values; see Distribution::Parse. The value may
  // also name one of the file's distributions.
  Distribution Time(const std::string& name);
  Distribution Values(const std::string& name);
  // A map from names (attributes, say) to distributions of values.
  std::vector<std::pair<std::string, Distribution>> ValuesByName(const std::string& name);
  // An entity type of the file, by the name the parameter gives.
  EntityTypeDescription EntityType(const std::string& name);

  // Refuses the value of `name` (or the block, when the file lacks it):
  // throws a ModelError at its place in the file.
  [[noreturn]] void Refuse(const std::string& name, const std::string& why);
  // For the reader, once the factory is done: a parameter it never asked
  // for is unknown. `reserved` are the entry's own keys (name, type).
  void CheckAllAsked(const std::set<std::string>& reserved);

 private:
  struct Impl;

  std::unique_ptr<Impl> impl;
  std::string file;
  std::string type;
  const EntityTypes& entityTypes;
  const NamedDistributions& named;
  std::set<std::string> asked;

  Distribution ParseAt(const YAML::Node& value, const std::string& name, bool forTime) const;
};
