#include "model/ModelFile.h"

#include <yaml-cpp/yaml.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <stdexcept>

#include "model/ModelDriver.h"
#include "model/YamlSupport.h"

using yaml_support::ErrorAt;

struct ModelFile::Impl {
  YAML::Node root;
  BlockParameters::EntityTypes entityTypes;
  BlockParameters::NamedDistributions distributions;
  std::vector<std::string> entityOrder;  // type names as the file lists them
  std::vector<std::pair<std::string, ModelBlock*>> blocks;
};

namespace {

std::string Join(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  return list.empty() ? "none" : list;
}

// Looks a key up without adding it (the const overload).
YAML::Node Get(const YAML::Node& map, const std::string& key) { return map[key]; }

void ExpectMap(const YAML::Node& node, const std::string& file, const std::string& what) {
  if (!node.IsMap()) throw ErrorAt(node, file, ModelMessage::FileExpected, {what});
}

void OnlyKeys(const YAML::Node& map, const std::vector<std::string>& keys, const std::string& where,
              const std::string& file) {
  for (const auto& entry : map) {
    const std::string key = yaml_support::Scalar(entry.first, file, "a key in " + where);
    bool known = false;
    for (const std::string& k : keys) known = known || k == key;
    if (!known) throw ErrorAt(entry.first, file, ModelMessage::FileUnknownKey, {key, where, Join(keys)});
  }
}

YAML::Node Required(const YAML::Node& map, const std::string& key, const std::string& file,
                    const std::string& what) {
  const YAML::Node value = Get(map, key);
  if (!value) throw ErrorAt(map, file, ModelMessage::FileExpected, {"'" + key + "' (" + what + ")"});
  return value;
}

// One of `choices` (the first is 0, the second 1...).
int Choice(const YAML::Node& node, const std::string& file, const std::string& name,
           const std::vector<std::string>& choices) {
  const std::string text = yaml_support::Scalar(node, file, "one of " + Join(choices) + " for '" + name + "'");
  for (std::size_t i = 0; i < choices.size(); ++i)
    if (choices[i] == text) return static_cast<int>(i);
  throw ErrorAt(node, file, ModelMessage::FileBadValue,
                {name, "expected one of " + Join(choices) + ", found '" + text + "'"});
}

ModelFile::RunSettings ReadRunSettings(const YAML::Node& run, const std::string& file) {
  ModelFile::RunSettings s;
  if (!run) return s;
  ExpectMap(run, file, "a map of run settings under 'run'");
  OnlyKeys(run, {"end-time", "seed", "handling", "calendars", "max-events-per-step", "csv"}, "'run'", file);
  if (const YAML::Node v = Get(run, "end-time")) {
    const double t = yaml_support::Number(v, file, "end-time");
    if (!(t > 0.0)) throw ErrorAt(v, file, ModelMessage::FileBadValue, {"end-time", "expected a positive time"});
    s.endTime = t;
  }
  if (const YAML::Node v = Get(run, "seed")) {
    const uint64_t seed = yaml_support::Whole(v, file, "seed", 0);
    if (seed > 2147483647u)
      throw ErrorAt(v, file, ModelMessage::FileBadValue, {"seed", "expected at most 2147483647"});
    s.seed = static_cast<int>(seed);
  }
  if (const YAML::Node v = Get(run, "handling"))
    s.handling = Choice(v, file, "handling", {"deterministic", "randomised"});
  if (const YAML::Node v = Get(run, "calendars"))
    s.combinedCalendars = Choice(v, file, "calendars", {"separate", "combined"}) == 1;
  if (const YAML::Node v = Get(run, "max-events-per-step"))
    s.maxEventsAtTimeStep = yaml_support::Whole(v, file, "max-events-per-step", 1);
  if (const YAML::Node v = Get(run, "csv")) s.csvPath = yaml_support::Scalar(v, file, "a file name for 'csv'");
  return s;
}

// `Name: {Attribute: int | double | {type: double, value: 2}}`
void ReadEntityTypes(const YAML::Node& entities, const std::string& file, BlockParameters::EntityTypes& types,
                     std::vector<std::string>& order) {
  if (!entities) return;
  ExpectMap(entities, file, "a map of entity types under 'entities'");
  for (const auto& type : entities) {
    const std::string typeName = yaml_support::Scalar(type.first, file, "an entity type name");
    if (!type.second.IsMap() && !type.second.IsNull())
      throw ErrorAt(type.second, file, ModelMessage::FileExpected,
                    {"a map of attributes for the entity type '" + typeName + "'"});
    EntityTypeDescription description(typeName);
    for (const auto& attribute : type.second) {
      const std::string attributeName = yaml_support::Scalar(attribute.first, file, "an attribute name");
      // Either the type alone or {type, value}.
      const bool full = attribute.second.IsMap();
      if (full) OnlyKeys(attribute.second, {"type", "value"}, "the attribute '" + attributeName + "'", file);
      const YAML::Node kind = full ? Required(attribute.second, "type", file, "int or double") : attribute.second;
      double value = 0.0;
      if (full)
        if (const YAML::Node initial = Get(attribute.second, "value"))
          value = yaml_support::Number(initial, file, attributeName + ".value");
      const int k = Choice(kind, file, attributeName, {"int", "double"});
      description.With(attributeName, k == 0 ? "int" : "double", value);
    }
    if (!types.emplace(typeName, description).second)
      throw ErrorAt(type.first, file, ModelMessage::FileBadValue, {typeName, "an entity type of this name exists"});
    order.push_back(typeName);
  }
}

// `name: "exponential(mean=2)"`; each is read once here so that its own
// mistakes are shown where it is defined.
void ReadDistributions(const YAML::Node& distributions, const std::string& file,
                       BlockParameters::NamedDistributions& named) {
  if (!distributions) return;
  ExpectMap(distributions, file, "a map of names to distributions under 'distributions'");
  for (const auto& entry : distributions) {
    const std::string distributionName = yaml_support::Scalar(entry.first, file, "a distribution name");
    const std::string text = yaml_support::Scalar(entry.second, file, "a distribution for '" + distributionName + "'");
    try {
      Distribution::Parse(text, false);
    } catch (const std::invalid_argument& e) {
      throw ErrorAt(entry.second, file, ModelMessage::FileBadValue, {distributionName, e.what()});
    }
    named[distributionName] = text;
  }
}

}  // namespace

ModelFile::ModelFile(const std::string& filePath) : impl(new Impl), path(filePath) {
  std::ifstream in(path);
  if (!in) throw new ModelError(ModelMessage::FileUnreadable, {"'" + path + "': " + std::strerror(errno)});
  try {
    impl->root = YAML::Load(in);
    Read();
  } catch (const YAML::ParserException& e) {
    throw ErrorAt(e.mark, path, ModelMessage::FileSyntax, {e.msg});
  } catch (const YAML::Exception& e) {
    throw ErrorAt(e.mark, path, ModelMessage::FileYaml, {e.msg});
  }
}

void ModelFile::Read() {
  const YAML::Node& root = impl->root;
  ExpectMap(root, path, "a map with the model's name, blocks and connections");
  OnlyKeys(root, {"name", "description", "run", "entities", "distributions", "blocks", "connections", "report"},
           "the model", path);
  name = yaml_support::Scalar(Required(root, "name", path, "the model's name"), path, "a text for 'name'");
  settings = ReadRunSettings(Get(root, "run"), path);
  ReadEntityTypes(Get(root, "entities"), path, impl->entityTypes, impl->entityOrder);
  ReadDistributions(Get(root, "distributions"), path, impl->distributions);
  const YAML::Node blocks = Required(root, "blocks", path, "the list of blocks");
  if (!blocks.IsSequence())
    throw ErrorAt(blocks, path, ModelMessage::FileExpected, {"a list of blocks under 'blocks'"});
  for (const YAML::Node& block : blocks) {
    ExpectMap(block, path, "a block: a map with its name, type and parameters");
    yaml_support::Scalar(Required(block, "name", path, "the block's name"), path, "a text for 'name'");
    yaml_support::Scalar(Required(block, "type", path, "the block's type"), path, "a text for 'type'");
  }
  if (const YAML::Node connections = Get(root, "connections")) {
    if (!connections.IsSequence())
      throw ErrorAt(connections, path, ModelMessage::FileExpected, {"a list of connections under 'connections'"});
    for (const YAML::Node& c : connections) {
      ExpectMap(c, path, "a connection: {from: BLOCK, to: BLOCK} with out and in ports when not 0");
      OnlyKeys(c, {"from", "out", "to", "in"}, "a connection", path);
      Required(c, "from", path, "the sending block");
      Required(c, "to", path, "the receiving block");
    }
  }
  if (const YAML::Node sections = Get(root, "report")) {
    ExpectMap(sections, path, "a map of report sections under 'report'");
    for (const auto& section : sections)
      ExpectMap(section.second, path, "a map of labels to statistics, e.g. {served: Sink.count}");
  }
}

ModelFile::~ModelFile() = default;

std::vector<std::string> ModelFile::AttributeNames() const {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const std::string& type : impl->entityOrder)
    for (const auto& a : impl->entityTypes.at(type).Attributes())
      if (seen.insert(a.name).second) names.push_back(a.name);
  return names;
}

ModelBlock* ModelFile::Block(const std::string& blockName) const {
  for (const auto& b : impl->blocks)
    if (b.first == blockName) return b.second;
  return nullptr;
}

void ModelFile::Build(ModelDriver& driver, const BlockRegistry& registry) {
  try {
    BuildBlocks(driver, registry);
    Connect();
    ResolveReport();
  } catch (const YAML::Exception& e) {
    throw ErrorAt(e.mark, path, ModelMessage::FileYaml, {e.msg});
  }
}

void ModelFile::BuildBlocks(ModelDriver& driver, const BlockRegistry& registry) {
  for (const YAML::Node& node : Get(impl->root, "blocks")) {
    const YAML::Node nameNode = Get(node, "name"), typeNode = Get(node, "type");
    const std::string blockName = nameNode.Scalar(), type = typeNode.Scalar();
    const BlockFactory* factory = registry.Find(type);
    if (factory == nullptr)
      throw ErrorAt(typeNode, path, ModelMessage::FileUnknownBlockType, {type, registry.Types()});
    if (Block(blockName) != nullptr)
      throw ErrorAt(nameNode, path, ModelMessage::DuplicateBlockName, {name + "/" + blockName});
    BlockParameters parameters(node, path, type, impl->entityTypes, impl->distributions);
    std::unique_ptr<ModelBlock> block;
    try {
      block = (*factory)(parameters);
    } catch (const std::exception& e) {
      throw ErrorAt(node, path, ModelMessage::FileBlockRefused, {blockName, type, e.what()});
    }
    if (!block) throw ErrorAt(node, path, ModelMessage::FileBlockRefused, {blockName, type, "its factory made none"});
    parameters.CheckAllAsked({"name", "type"});
    impl->blocks.emplace_back(blockName, driver.Add(blockName, std::move(block)));
  }
}

std::string ModelFile::BlockNames() const {
  std::vector<std::string> names;
  for (const auto& b : impl->blocks) names.push_back(b.first);
  return Join(names);
}

void ModelFile::Connect() {
  auto find = [&](const YAML::Node& node) {
    const std::string blockName = yaml_support::Scalar(node, path, "a block name");
    ModelBlock* block = Block(blockName);
    if (block == nullptr) throw ErrorAt(node, path, ModelMessage::FileUnknownBlock, {blockName, BlockNames()});
    return block;
  };
  for (const YAML::Node& c : Get(impl->root, "connections")) {
    ModelBlock* from = find(Get(c, "from"));
    ModelBlock* to = find(Get(c, "to"));
    const YAML::Node outNode = Get(c, "out"), inNode = Get(c, "in");
    const uint64_t out = outNode ? yaml_support::Whole(outNode, path, "out", 0) : 0;
    const uint64_t in = inNode ? yaml_support::Whole(inNode, path, "in", 0) : 0;
    if (out >= static_cast<uint64_t>(from->OutputPorts()))
      throw ErrorAt(outNode ? outNode : c, path, ModelMessage::NoSuchOutput,
                    {from->Path(), std::to_string(out), DescribePorts(from->OutputPorts())});
    if (in >= static_cast<uint64_t>(to->InputPorts()))
      throw ErrorAt(inNode ? inNode : c, path, ModelMessage::NoSuchInput,
                    {from->Path(), std::to_string(out), std::to_string(in), to->Path(), DescribePorts(to->InputPorts())});
    from->Connect(static_cast<int>(out), to, static_cast<int>(in));
  }
}

void ModelFile::ResolveReport() {
  for (const auto& section : Get(impl->root, "report")) {
    ReportSection s{section.first.Scalar(), {}};
    for (const auto& line : section.second) {
      const std::string label = yaml_support::Scalar(line.first, path, "a label");
      const std::string source = yaml_support::Scalar(line.second, path, "BLOCK.STATISTIC for '" + label + "'");
      const auto dot = source.rfind('.');
      if (dot == std::string::npos)
        throw ErrorAt(line.second, path, ModelMessage::FileExpected, {"BLOCK.STATISTIC, e.g. Served.count"});
      const std::string blockName = source.substr(0, dot), statistic = source.substr(dot + 1);
      const ModelBlock* block = Block(blockName);
      std::vector<std::string> statistics;
      if (block != nullptr)
        block->Statistics([&statistics](const std::string& n, double, bool) { statistics.push_back(n); });
      else if (blockName == "model")
        statistics = {"entities", "parts", "events", "time-steps"};
      else
        throw ErrorAt(line.second, path, ModelMessage::FileUnknownBlock, {blockName, BlockNames()});
      bool known = false;
      for (const std::string& n : statistics) known = known || n == statistic;
      if (!known)
        throw ErrorAt(line.second, path, ModelMessage::FileUnknownStatistic, {blockName, statistic, Join(statistics)});
      s.lines.push_back(ReportLine{label, block, statistic});
    }
    report.push_back(s);
  }
}
