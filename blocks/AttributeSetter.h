// Writes attributes of each passing entity: values drawn from a
// distribution, or the current simulation time. On a composite the
// attributes of its members are written through it.
#pragma once

#include <string>
#include <vector>

#include "blocks/PassThroughBlock.h"
#include "entity/NameHandle.h"
#include "model/Distribution.h"
#include "model/RandomStream.h"

class AttributeSetter : public PassThroughBlock {
 public:
  AttributeSetter();
  ~AttributeSetter() override;

  void Set(const std::string& attribute, Distribution values);
  void SetToClock(const std::string& attribute);

 protected:
  void* Init() override;
  void Process(DesEntity* entity) override;

 private:
  struct Rule {
    NameHandle attribute;
    bool clock;
    Distribution values;
  };

  std::vector<Rule> rules;
  RandomStream random;
};
