#include "model/EntityTypeDescription.h"

#include <cstring>

#include "entity/DesEntity.h"
#include "entity/EntityDef.h"
#include "entity/EntityList.h"
#include "entity/RCPtr.h"
#include "support/HvCleaner.h"
#include "support/PMMallocError.h"

hvArray* EntityTypeDescription::ToHostStructure() const {
  const char* fields[] = {"Name", "Type", "Value"};
  hvArray* list = attributes.empty()
                      ? hvCreateDoubleMatrix(0, 0, hvREAL)
                      : hvCreateStructMatrix(attributes.size(), 1, 3, fields);
  hvArray* entity = hvCreateStructMatrix(1, 1, 3, fields);
  if (list == nullptr || entity == nullptr) {
    hvDestroyArray(list);
    hvDestroyArray(entity);
    return nullptr;
  }
  for (std::size_t i = 0; i < attributes.size(); ++i) {
    hvSetField(list, i, "Name", hvCreateString(attributes[i].name.c_str()));
    hvSetField(list, i, "Type", hvCreateString(attributes[i].type.c_str()));
    hvSetField(list, i, "Value", hvCreateDoubleScalar(attributes[i].value));
  }
  hvSetField(entity, 0, "Name", hvCreateString(name.c_str()));
  hvSetField(entity, 0, "Type", hvCreateString("Entity"));
  hvSetField(entity, 0, "Value", list);
  return entity;
}

void EntityTypeDescription::Define(EntityList* registry) const {
  for (const DesEntity* t : registry->GetTemplateSet())
    if (t->GetName() == name) return;
  hvArray* structure = ToHostStructure();
  if (structure == nullptr) pmThrowMemoryException();
  HvCleaner cleaner(structure);
  RCPtr<EntityDef> type(new EntityDef(registry, name.c_str(), nullptr, false, false, 1));
  DesEntity* entityTemplate = new DesEntity(registry, type, structure, false, 0, true);
  if (!registry->AddToList(entityTemplate)) delete entityTemplate;
}
