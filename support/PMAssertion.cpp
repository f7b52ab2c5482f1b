#include "support/PMAssertion.h"

#include <string>

#include "support/DesExcept.h"
#include "support/HostInterface.h"

namespace {
const char kRule[] =
    "-------------------------------------------------------------------------\n";
}

PMAssertion::PMAssertion(const char* file, int line, const char* condition,
                         const char* message) {
  hostPrintf("\n");
  hostPrintf("%s", kRule);
  hostPrintf("                    Discrete Event Simulation Assertion                  \n");
  hostPrintf("%s", kRule);
  if (condition != nullptr)
    hostPrintf("\tAssertion Failed %s ", condition);
  else
    hostPrintf("\tForced Assertion ");
  hostPrintf("at line %i of file \"%s\".\n", line, file ? file : "");
  if (message != nullptr) hostPrintf("\t%s\n", message);
  hostPrintf("\n\n");
  if (hostIsSignalThread()) hostDumpStackTrace(-1, 0, nullptr);
}

void pmForceAssertion(const char* file, const char* condition, int line, const char* message) {
  if (hostIsSignalThread()) hostAssert(file, condition, line, message);
}

void pmEnsureFailed(const char* file, int line, const char* condition) {
  std::string text = std::string("check '") + condition + "' failed at " + file + ":" +
                     std::to_string(line);
  throw new DesExcept(DES_GenericInternalErr, text.c_str());
}
