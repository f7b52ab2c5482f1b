#include "model/EventFingerprint.h"

#include <cstdio>
#include <cstring>

#include "entity/DesEntity.h"

namespace {
const uint64_t kOffsetBasis = 14695981039346656037ull;
const uint64_t kPrime = 1099511628211ull;
}  // namespace

EventFingerprint::EventFingerprint() : hash(kOffsetBasis), events(0) {}

void EventFingerprint::Fold(const void* bytes, std::size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= p[i];
    hash *= kPrime;
  }
}

void EventFingerprint::Add(double time, const char* eventType, const std::string& block,
                           const DesEntity* entity) {
  // Texts end with a NUL each, so that ("ab", "c") and ("a", "bc") differ.
  uint64_t bits;
  std::memcpy(&bits, &time, sizeof bits);
  Fold(&bits, sizeof bits);
  Fold(eventType, std::strlen(eventType) + 1);
  Fold(block.c_str(), block.size() + 1);
  const std::string id = entity != nullptr ? entity->GetId() : std::string();
  Fold(id.c_str(), id.size() + 1);
  ++events;
}

std::string EventFingerprint::Text() const {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}
