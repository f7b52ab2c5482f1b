#include "model/EntityTypeDescription.h"

#include <cstring>

#include "entity/DesEntity.h"
#include "entity/EntityDef.h"
#include "entity/EntityList.h"
#include "entity/RCPtr.h"
#include "support/HvCleaner.h"
#include "support/PMMallocError.h"

namespace {

// Destroys a host array unless it is released.
class HostArrayOwner {
 public:
  explicit HostArrayOwner(hvArray* a) : a(a) {}
  ~HostArrayOwner() { hvDestroyArray(a); }
  HostArrayOwner(const HostArrayOwner&) = delete;
  HostArrayOwner& operator=(const HostArrayOwner&) = delete;
  hvArray* get() const { return a; }
  hvArray* release() {
    hvArray* kept = a;
    a = nullptr;
    return kept;
  }

 private:
  hvArray* a;
};

}  // namespace

hvArray* EntityTypeDescription::ToHostStructure() const {
  // Every part is checked as it is made: a part the host has no memory for
  // gives null for the whole, never a structure with a hole in it.
  const char* fields[] = {"Name", "Type", "Value"};
  HostArrayOwner list(attributes.empty() ? hvCreateDoubleMatrix(0, 0, hvREAL)
                                         : hvCreateStructMatrix(attributes.size(), 1, 3, fields));
  HostArrayOwner entity(hvCreateStructMatrix(1, 1, 3, fields));
  if (list.get() == nullptr || entity.get() == nullptr) return nullptr;
  auto set = [](hvArray* target, std::size_t i, const char* field, hvArray* value) {
    if (value == nullptr) return false;
    hvSetField(target, i, field, value);
    return true;
  };
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    if (!set(list.get(), i, "Name", hvCreateString(attributes[i].name.c_str())) ||
        !set(list.get(), i, "Type", hvCreateString(attributes[i].type.c_str())) ||
        !set(list.get(), i, "Value", hvCreateDoubleScalar(attributes[i].value)))
      return nullptr;
  }
  if (!set(entity.get(), 0, "Name", hvCreateString(name.c_str())) ||
      !set(entity.get(), 0, "Type", hvCreateString("Entity")))
    return nullptr;
  hvSetField(entity.get(), 0, "Value", list.release());
  return entity.release();
}

void EntityTypeDescription::Define(EntityList* registry) const {
  for (const DesEntity* t : registry->GetTemplateSet())
    if (t->GetName() == name) return;
  hvArray* structure = ToHostStructure();
  if (structure == nullptr) pmThrowMemoryException();
  HvCleaner cleaner(structure);
  RCPtr<EntityDef> type(new EntityDef(registry, name.c_str(), nullptr, false, false, 1));
  DesEntity* entityTemplate = new DesEntity(registry, type, structure, false, 0, true);
  registry->AdoptTemplate(entityTemplate);
}
