// Message service: catalogue tables registered per context, identifier lookup
// and placeholder formatting.
//
// The host has one message service: hostMemoryContext() and
// hostMessageContext() return the same context, so a table a component
// registers in its memory context is found when its messages are formatted in
// the message context. Other context pointers keep tables of their own; a
// null context stands for the host's one.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace {

constexpr uint32_t kEndOfCodes = 0xFFFFFFFFu;

struct RegisteredTable {
  const hostMessageTable* table;
  // prefix + identifier per row, so that hostMessageIdentifier can hand out
  // pointers that stay valid while the table is registered.
  std::vector<std::string> identifiers;
};

struct MessageState {
  char hostContext = 0;  // its address is the host's context
  std::map<void*, std::vector<RegisteredTable>> tables;
};

// Never destroyed: components remove their tables when they are unloaded,
// which at process exit may come after the host's own statics are gone.
MessageState& state() {
  static MessageState* s = new MessageState;
  return *s;
}

void* normalise(void* context) { return context ? context : &state().hostContext; }

// Finds the row of `code`; earlier registrations win.
bool findRow(void* context, uint32_t code, const RegisteredTable** found, std::size_t* row) {
  auto it = state().tables.find(normalise(context));
  if (it == state().tables.end()) return false;
  for (const RegisteredTable& r : it->second) {
    const hostMessageTable* t = r.table;
    for (std::size_t i = 0; i < t->count && t->codes[i] != kEndOfCodes; ++i) {
      if (t->codes[i] == code) {
        *found = &r;
        *row = i;
        return true;
      }
    }
  }
  return false;
}

// Bounded writer: keeps at most `limit` characters, always room for the NUL.
struct BoundedOut {
  char* buffer;
  std::size_t limit;
  std::size_t used = 0;
  void put(char c) {
    if (used < limit) buffer[used++] = c;
  }
  void put(const char* s) {
    for (; s && *s && used < limit; ++s) buffer[used++] = *s;
  }
  int finish() {
    buffer[used] = '\0';
    return static_cast<int>(used);
  }
};

}  // namespace

void* hostMemoryContext() { return &state().hostContext; }

void* hostMessageContext() { return &state().hostContext; }

int hostAddMessageTable(void* context, const hostMessageTable* table) {
  if (!table || (table->count > 0 && !table->codes)) return 1;
  std::vector<RegisteredTable>& list = state().tables[normalise(context)];
  for (const RegisteredTable& r : list)
    if (r.table == table) return 0;  // already registered: nothing to do
  RegisteredTable r{table, {}};
  const char* prefix = table->prefix ? table->prefix : "";
  for (std::size_t i = 0; i < table->count && table->codes[i] != kEndOfCodes; ++i) {
    const char* id = table->identifiers ? table->identifiers[i] : nullptr;
    r.identifiers.push_back(std::string(prefix) + (id ? id : ""));
  }
  list.push_back(std::move(r));
  return 0;
}

int hostRemoveMessageTable(void* context, const hostMessageTable* table) {
  auto it = state().tables.find(normalise(context));
  if (it == state().tables.end()) return 1;
  std::vector<RegisteredTable>& list = it->second;
  for (auto r = list.begin(); r != list.end(); ++r) {
    if (r->table == table) {
      list.erase(r);
      return 0;
    }
  }
  return 1;
}

int hostFormatMessage(void* context, char* buffer, size_t maxChars, uint32_t code,
                      const char* a1, const char* a2, const char* a3, const char* a4,
                      const char* a5, const char* a6, const char* a7, const char* a8) {
  const char* args[8] = {a1, a2, a3, a4, a5, a6, a7, a8};
  return host::detail::formatMessage(context, buffer, maxChars, code, args, 8);
}

const char* hostMessageIdentifier(void* context, uint32_t code) {
  const RegisteredTable* r = nullptr;
  std::size_t row = 0;
  if (!findRow(context, code, &r, &row)) return nullptr;
  return r->identifiers[row].c_str();
}

namespace host {
namespace detail {

const char* messageText(void* context, uint32_t code) {
  const RegisteredTable* r = nullptr;
  std::size_t row = 0;
  if (!findRow(context, code, &r, &row) || !r->table->texts) return nullptr;
  return r->table->texts[row];
}

std::size_t countPlaceholders(const char* text) {
  std::size_t n = 0;
  for (const char* p = text; p && *p; ++p) {
    if (*p != '%') continue;
    if (p[1] == 's' || p[1] == 'd') ++n;
    if (p[1] != '\0') ++p;  // "%%" and other pairs are consumed together
  }
  return n;
}

int formatMessage(void* context, char* buffer, std::size_t maxChars, uint32_t code,
                  const char* const* args, std::size_t argCount) {
  if (!buffer) return -1;
  BoundedOut out{buffer, maxChars};
  const char* text = messageText(context, code);
  if (!text) {
    char note[64];
    std::snprintf(note, sizeof note, "Unregistered message code 0x%08X",
                  static_cast<unsigned>(code));
    out.put(note);
    out.finish();
    return -1;
  }
  std::size_t next = 0;
  for (const char* p = text; *p; ++p) {
    if (*p != '%') {
      out.put(*p);
    } else if (p[1] == 's' || p[1] == 'd') {
      // Numbers reach the service already written as text, so %d takes a
      // text argument like %s does.
      out.put(next < argCount ? args[next] : nullptr);
      ++next;
      ++p;
    } else if (p[1] == '%') {
      out.put('%');
      ++p;
    } else {
      out.put('%');  // any other '%' is kept as written
    }
  }
  return out.finish();
}

}  // namespace detail
}  // namespace host
