#include "blocks/AttributeSetter.h"

#include "tarnwell.h"

AttributeSetter::AttributeSetter() { SetEventType("SetAttribute"); }

AttributeSetter::~AttributeSetter() = default;

void AttributeSetter::Set(const std::string& attribute, Distribution values) {
  rules.push_back(Rule{attribute, false, values});
}

void AttributeSetter::SetToClock(const std::string& attribute) {
  rules.push_back(Rule{attribute, true, Distribution::Fixed(0.0)});
}

void* AttributeSetter::Init() {
  random.Seed(Seed());
  return nullptr;
}

void AttributeSetter::Process(DesEntity* entity) {
  WrittenAttributes written;
  for (const Rule& rule : rules) {
    const double value = rule.clock ? Now() : rule.values.Draw(random);
    entity->WriteNumberToAttribute(this, rule.attribute, value);
    if (Traced()) written.emplace_back(rule.attribute.Name(), value);
  }
  LogAttributes(entity->GetCarrierEvent(), written);
}
