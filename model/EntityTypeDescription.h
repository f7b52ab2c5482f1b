// An entity type as the modeller describes it in the host: a name and a
// list of attributes with their types and initial values. A description builds
// the host structure the engine reads entity types from, and registers the
// type with an engine's registry (once per type name).
#pragma once

#include <string>
#include <vector>

#include "support/HostInterface.h"

class EntityList;

class EntityTypeDescription {
 public:
  struct Attribute {
    std::string name;
    std::string type;  // "int", "double" or "DesData"
    double value;
  };

  explicit EntityTypeDescription(std::string typeName) : name(std::move(typeName)) {}
  EntityTypeDescription& With(const std::string& attribute, const std::string& type, double value) {
    attributes.push_back(Attribute{attribute, type, value});
    return *this;
  }

  const std::string& Name() const { return name; }
  const std::vector<Attribute>& Attributes() const { return attributes; }

  // The entity structure {Name, Type "Entity", Value: the attribute list};
  // the caller owns it. Null when the host has no memory for it.
  hvArray* ToHostStructure() const;
  // Registers the type (immutable, so its entities are recycled) unless the
  // registry already has a template of that name.
  void Define(EntityList* registry) const;

 private:
  std::string name;
  std::vector<Attribute> attributes;
};
