// The standard host functions the engine calls by name: "get_param",
// "set_param", "bdroot" and "mat2str". Installed when the library loads and
// again by host::reset().
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace {

using host::HostError;
using host::HostObject;

void requireArgs(int nIn, int least, int most) {
  if (nIn < least) throw HostError("Not enough input arguments.");
  if (nIn > most) throw HostError("Too many input arguments.");
}

// Hands a new array to the caller's first output, or fails when the host had
// no memory for it.
void give(hvArray* out[], hvArray* a) {
  if (!a) throw HostError("Out of memory.");
  out[0] = a;
}

std::string textArg(const hvArray* a, const char* what) {
  if (hvGetClassID(a) != hvCHAR_CLASS) throw HostError(std::string(what) + " must be text.");
  return host::detail::arrayText(a);
}

// An object is named by its numeric handle (a real double scalar) or by its
// path text.
HostObject* objectArg(const hvArray* a) {
  if (hvGetClassID(a) == hvCHAR_CLASS) {
    std::string path = host::detail::arrayText(a);
    HostObject* o = host::findObject(path);
    if (!o) throw HostError("Invalid object name '" + path + "'.");
    return o;
  }
  if (hvGetClassID(a) == hvDOUBLE_CLASS && !hvIsComplex(a) && hvGetNumberOfElements(a) == 1) {
    HostObject* o = host::findObject(hvGetPr(a)[0]);
    if (o) return o;
  }
  throw HostError("Invalid object handle.");
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Parameter names are matched ignoring case, an exact match first.
std::string* findParam(HostObject* o, const std::string& name) {
  auto exact = o->params.find(name);
  if (exact != o->params.end()) return &exact->second;
  for (auto& entry : o->params)
    if (sameIgnoringCase(entry.first, name)) return &entry.second;
  return nullptr;
}

[[noreturn]] void noSuchParam(const std::string& name) {
  throw HostError("block does not have a parameter named '" + name + "'.");
}

std::string lastComponent(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string parentPath(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void getParam(int, hvArray* out[], int nIn, hvArray* in[]) {
  requireArgs(nIn, 2, 2);
  HostObject* o = objectArg(in[0]);
  std::string name = textArg(in[1], "Parameter name");
  if (sameIgnoringCase(name, "Handle")) return give(out, hvCreateDoubleScalar(o->handle));
  if (sameIgnoringCase(name, "Name")) return give(out, hvCreateString(lastComponent(o->path).c_str()));
  if (sameIgnoringCase(name, "Parent")) return give(out, hvCreateString(parentPath(o->path).c_str()));
  std::string* value = findParam(o, name);
  if (!value) noSuchParam(name);
  give(out, hvCreateString(value->c_str()));
}

// Only parameters the object has can be set; the handle, name and parent are
// read-only.
void setParam(int, hvArray*[], int nIn, hvArray* in[]) {
  requireArgs(nIn, 3, 3);
  HostObject* o = objectArg(in[0]);
  std::string name = textArg(in[1], "Parameter name");
  std::string value = textArg(in[2], "Parameter value");
  if (sameIgnoringCase(name, "Handle") || sameIgnoringCase(name, "Name") ||
      sameIgnoringCase(name, "Parent"))
    throw HostError("Cannot set the read-only parameter '" + name + "'.");
  std::string* slot = findParam(o, name);
  if (!slot) noSuchParam(name);
  *slot = value;
}

void bdroot(int, hvArray* out[], int nIn, hvArray* in[]) {
  requireArgs(nIn, 1, 1);
  HostObject* o = objectArg(in[0]);
  give(out, hvCreateString(o->path.substr(0, o->path.find('/')).c_str()));
}

std::string number(double v, int precision) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  if (v == 0) return "0";  // no "-0"
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", precision, v);
  return text;
}

std::string element(const hvArray* a, std::size_t i, int precision) {
  switch (hvGetClassID(a)) {
    case hvLOGICAL_CLASS:
      return hvGetLogicals(a)[i] ? "true" : "false";
    case hvDOUBLE_CLASS: {
      std::string re = number(hvGetPr(a)[i], precision);
      if (!hvIsComplex(a)) return re;
      std::string im = number(hvGetPi(a)[i], precision);
      return re + (im[0] == '-' ? "" : "+") + im + "i";
    }
    default:
      return std::string();
  }
}

std::string quoted(const std::string& text) {
  std::string q = "'";
  for (char c : text) {
    q += c;
    if (c == '\'') q += '\'';
  }
  return q + "'";
}

// Text form of a two-dimensional double, logical or character array: a single
// element without brackets, anything else as "[a b;c d]" (rows separated by
// ';'); characters quoted, one quoted text per row. Empty arrays give "[]"
// (empty text gives '').
std::string matToText(const hvArray* a, int precision) {
  hvClassID id = hvGetClassID(a);
  if (id != hvDOUBLE_CLASS && id != hvLOGICAL_CLASS && id != hvCHAR_CLASS)
    throw HostError("Input matrix must be a numeric, logical or character array.");
  if (hvGetNumberOfDimensions(a) != 2) throw HostError("Input matrix must be 2-D.");
  std::size_t m = hvGetM(a), n = hvGetN(a);
  if (id == hvCHAR_CLASS) {
    std::string chars = host::detail::arrayText(a);
    auto row = [&](std::size_t r) {
      std::string s;
      for (std::size_t c = 0; c < n; ++c) s += chars[c * m + r];
      return quoted(s);
    };
    if (m <= 1) return m == 0 ? "''" : row(0);
    std::string text = "[";
    for (std::size_t r = 0; r < m; ++r) text += (r ? ";" : "") + row(r);
    return text + "]";
  }
  if (m * n == 0) return "[]";
  if (m * n == 1) return element(a, 0, precision);
  std::string text = "[";
  for (std::size_t r = 0; r < m; ++r) {
    if (r) text += ';';
    for (std::size_t c = 0; c < n; ++c) {
      if (c) text += ' ';
      text += element(a, c * m + r, precision);  // column-major storage
    }
  }
  return text + "]";
}

// mat2str(a) or mat2str(a, precision): precision is the number of significant
// digits, 15 by default.
void mat2str(int, hvArray* out[], int nIn, hvArray* in[]) {
  requireArgs(nIn, 1, 2);
  int precision = 15;
  if (nIn == 2) {
    const hvArray* p = in[1];
    double digits = hvGetClassID(p) == hvDOUBLE_CLASS && hvGetNumberOfElements(p) == 1
                        ? hvGetPr(p)[0]
                        : 0.0;
    if (!(digits >= 1 && digits <= 17) || digits != std::floor(digits))
      throw HostError("Precision must be a whole number from 1 to 17.");
    precision = static_cast<int>(digits);
  }
  give(out, hvCreateString(matToText(in[0], precision).c_str()));
}

// The standard functions exist from the moment the library is loaded.
struct InstallAtLoad {
  InstallAtLoad() { host::installStandardFunctions(); }
} installAtLoad;

}  // namespace

namespace host {

void installStandardFunctions() {
  registerFunction("get_param", getParam);
  registerFunction("set_param", setParam);
  registerFunction("bdroot", bdroot);
  registerFunction("mat2str", mat2str);
}

}  // namespace host
