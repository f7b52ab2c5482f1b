// What the model-file reader and the block parameters share about YAML
// nodes: errors placed at a node (lines and columns counted from 1, as an
// editor shows them) and reading a scalar as a number or a whole number.
// Private to the model library: not installed, so that a block author's
// build needs no YAML.
#pragma once

#include <yaml-cpp/yaml.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "model/ModelError.h"

namespace yaml_support {

inline ModelError* ErrorAt(const YAML::Mark& mark, const std::string& file, ModelMessage id,
                           std::initializer_list<std::string> args) {
  ModelError* error = new ModelError(id, args);
  error->SetLocation(file, mark.line + 1, mark.column + 1);
  return error;
}

inline ModelError* ErrorAt(const YAML::Node& node, const std::string& file, ModelMessage id,
                           std::initializer_list<std::string> args) {
  return ErrorAt(node.Mark(), file, id, args);
}

// The scalar's text; `what` says what was expected instead of a list or a map.
std::string Scalar(const YAML::Node& node, const std::string& file, const std::string& what);
double Number(const YAML::Node& node, const std::string& file, const std::string& name);
uint64_t Whole(const YAML::Node& node, const std::string& file, const std::string& name, uint64_t least);

}  // namespace yaml_support
