#include "model/BlockParameters.h"

#include <yaml-cpp/yaml.h>

#include <stdexcept>

#include "model/YamlSupport.h"

using yaml_support::ErrorAt;

struct BlockParameters::Impl {
  YAML::Node node;
  // Through the const overload, which looks a key up without adding it.
  YAML::Node Get(const std::string& key) const {
    const YAML::Node& map = node;
    return map[key];
  }
};

BlockParameters::BlockParameters(const YAML::Node& node, std::string fileName, std::string blockType,
                                 const EntityTypes& types, const NamedDistributions& distributions)
    : impl(new Impl{node}),
      file(std::move(fileName)),
      type(std::move(blockType)),
      entityTypes(types),
      named(distributions) {}

BlockParameters::~BlockParameters() = default;

bool BlockParameters::Has(const std::string& name) {
  asked.insert(name);
  return static_cast<bool>(impl->Get(name));
}

void BlockParameters::Refuse(const std::string& name, const std::string& why) {
  const YAML::Node value = impl->Get(name);
  throw ErrorAt(value ? value : impl->node, file, ModelMessage::FileBadValue, {name, why});
}

namespace {

// The value of `name`, which must be there.
YAML::Node Required(const YAML::Node& node, const std::string& name, const std::string& file,
                    const std::string& type, const std::string& what) {
  const YAML::Node value = node[name];
  if (!value)
    throw ErrorAt(node, file, ModelMessage::FileExpected,
                  {"'" + name + "' (" + what + ") for the block of type " + type});
  return value;
}

}  // namespace

double BlockParameters::Number(const std::string& name) {
  asked.insert(name);
  return yaml_support::Number(Required(impl->node, name, file, type, "a number"), file, name);
}

double BlockParameters::Number(const std::string& name, double fallback) {
  return Has(name) ? Number(name) : fallback;
}

uint64_t BlockParameters::Count(const std::string& name, uint64_t least) {
  asked.insert(name);
  return yaml_support::Whole(Required(impl->node, name, file, type, "a whole number"), file, name, least);
}

uint64_t BlockParameters::Count(const std::string& name, uint64_t least, uint64_t fallback) {
  return Has(name) ? Count(name, least) : fallback;
}

std::string BlockParameters::Text(const std::string& name) {
  asked.insert(name);
  return yaml_support::Scalar(Required(impl->node, name, file, type, "a text"), file,
                              "a text for '" + name + "'");
}

std::string BlockParameters::Text(const std::string& name, const std::string& fallback) {
  return Has(name) ? Text(name) : fallback;
}

std::vector<std::string> BlockParameters::Texts(const std::string& name) {
  asked.insert(name);
  const YAML::Node value = Required(impl->node, name, file, type, "a text or a list of texts");
  std::vector<std::string> texts;
  if (value.IsSequence()) {
    for (const YAML::Node& item : value)
      texts.push_back(yaml_support::Scalar(item, file, "a text in the list '" + name + "'"));
  } else {
    texts.push_back(yaml_support::Scalar(value, file, "a text or a list of texts for '" + name + "'"));
  }
  return texts;
}

Distribution BlockParameters::ParseAt(const YAML::Node& value, const std::string& name, bool forTime) const {
  const std::string text = yaml_support::Scalar(value, file, "a number or a distribution for '" + name + "'");
  const auto it = named.find(text);
  try {
    return Distribution::Parse(it == named.end() ? text : it->second, forTime);
  } catch (const std::invalid_argument& e) {
    const std::string why = it == named.end() ? e.what() : "the distribution '" + text + "': " + e.what();
    throw ErrorAt(value, file, ModelMessage::FileBadValue, {name, why});
  }
}

Distribution BlockParameters::Time(const std::string& name) {
  asked.insert(name);
  return ParseAt(Required(impl->node, name, file, type, "a time or a distribution of times"), name, true);
}

Distribution BlockParameters::Values(const std::string& name) {
  asked.insert(name);
  return ParseAt(Required(impl->node, name, file, type, "a number or a distribution"), name, false);
}

std::vector<std::pair<std::string, Distribution>> BlockParameters::ValuesByName(const std::string& name) {
  asked.insert(name);
  const YAML::Node value = Required(impl->node, name, file, type, "a map of names to distributions");
  if (!value.IsMap())
    throw ErrorAt(value, file, ModelMessage::FileExpected, {"a map of names to distributions for '" + name + "'"});
  std::vector<std::pair<std::string, Distribution>> list;
  for (const auto& entry : value) {
    const std::string key = yaml_support::Scalar(entry.first, file, "a name in '" + name + "'");
    list.emplace_back(key, ParseAt(entry.second, name + "." + key, false));
  }
  return list;
}

EntityTypeDescription BlockParameters::EntityType(const std::string& name) {
  const std::string typeName = Text(name);
  const auto it = entityTypes.find(typeName);
  if (it != entityTypes.end()) return it->second;
  std::string known;
  for (const auto& t : entityTypes) known += (known.empty() ? "" : ", ") + t.first;
  throw ErrorAt(impl->Get(name), file, ModelMessage::FileUnknownEntityType,
                {typeName, known.empty() ? "none" : known});
}

void BlockParameters::CheckAllAsked(const std::set<std::string>& reserved) {
  for (const auto& entry : impl->node) {
    const std::string key = entry.first.Scalar();
    if (reserved.count(key) > 0 || asked.count(key) > 0) continue;
    std::string known;
    for (const std::string& a : asked) known += (known.empty() ? "" : ", ") + a;
    throw ErrorAt(entry.first, file, ModelMessage::FileUnknownParameter, {type, key, known.empty() ? "none" : known});
  }
}
