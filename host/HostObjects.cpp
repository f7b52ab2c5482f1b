// Registry of host objects (blocks and diagrams), found by handle or path.
//
// Handles are k + 0.0001 for the k-th object registered since start-up or the
// last clearObjects (1.0001, 2.0001, ...): never 0 and never a whole number,
// so they cannot be mistaken for counts or indices.
#include <map>
#include <memory>

#include "host/HostControl.h"

namespace {

struct ObjectRegistry {
  std::map<std::string, std::unique_ptr<host::HostObject>> byPath;  // owns the objects
  std::map<double, host::HostObject*> byHandle;
  std::size_t registered = 0;
};

ObjectRegistry& registry() {
  static ObjectRegistry r;
  return r;
}

// A path is one or more non-empty components separated by single '/'.
bool validPath(const std::string& path) {
  if (path.empty() || path.front() == '/' || path.back() == '/') return false;
  return path.find("//") == std::string::npos;
}

host::HostObject* addOne(const std::string& path) {
  ObjectRegistry& r = registry();
  auto it = r.byPath.find(path);
  if (it != r.byPath.end()) return it->second.get();
  auto object = std::make_unique<host::HostObject>();
  object->handle = static_cast<double>(++r.registered) + 0.0001;
  object->path = path;
  host::HostObject* raw = object.get();
  r.byHandle[raw->handle] = raw;
  r.byPath[path] = std::move(object);
  return raw;
}

}  // namespace

namespace host {

// Returns null for a malformed path (empty, or with an empty component).
HostObject* addObject(const std::string& path) {
  if (!validPath(path)) return nullptr;
  addOne(path.substr(0, path.find('/')));
  return addOne(path);
}

HostObject* findObject(double handle) {
  auto it = registry().byHandle.find(handle);
  return it == registry().byHandle.end() ? nullptr : it->second;
}

HostObject* findObject(const std::string& path) {
  auto it = registry().byPath.find(path);
  return it == registry().byPath.end() ? nullptr : it->second.get();
}

void clearObjects() {
  ObjectRegistry& r = registry();
  r.byHandle.clear();
  r.byPath.clear();
  r.registered = 0;
}

}  // namespace host
