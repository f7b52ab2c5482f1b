// A hash of the sequence of events a run executes: for each event its time
// (every bit of it), its type (the handler's name), the path of its block
// and the id of the entity it carries. Two runs that execute the same
// events in the same order at the same times agree; any difference in
// order, timing, routing or entity numbering changes it. It is 64-bit
// FNV-1a: cheap per event, and order-sensitive.
#pragma once

#include <cstdint>
#include <string>

class DesEntity;

class EventFingerprint {
 public:
  EventFingerprint();

  void Add(double time, const char* eventType, const std::string& block, const DesEntity* entity);

  uint64_t Value() const { return hash; }
  uint64_t Events() const { return events; }
  // The value as 16 lower-case hexadecimal digits.
  std::string Text() const;

 private:
  void Fold(const void* bytes, std::size_t size);

  uint64_t hash;
  uint64_t events;
};
