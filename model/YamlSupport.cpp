#include "model/YamlSupport.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace yaml_support {

std::string Scalar(const YAML::Node& node, const std::string& file, const std::string& what) {
  if (!node.IsScalar()) throw ErrorAt(node, file, ModelMessage::FileExpected, {what});
  return node.Scalar();
}

double Number(const YAML::Node& node, const std::string& file, const std::string& name) {
  const std::string text = Scalar(node, file, "a number for '" + name + "'");
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v))
    throw ErrorAt(node, file, ModelMessage::FileBadValue, {name, "expected a number, found '" + text + "'"});
  return v;
}

uint64_t Whole(const YAML::Node& node, const std::string& file, const std::string& name, uint64_t least) {
  const std::string text = Scalar(node, file, "a whole number for '" + name + "'");
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || errno == ERANGE || v < least)
    throw ErrorAt(node, file, ModelMessage::FileBadValue,
                  {name, "expected a whole number from " + std::to_string(least) + " on, found '" + text + "'"});
  return v;
}

}  // namespace yaml_support
