// Assertion reports and the three levels of internal checks:
//  - TW_ASSERT: debug builds only, for invariants that cost time to test;
//  - TW_ENSURE: always on, where going on would corrupt state; throws a
//    DES_GenericInternalErr naming the condition and place;
//  - PMAssertion: prints the boxed report without stopping (for destructors
//    and other places that must not throw).
#pragma once

class PMAssertion {
 public:
  // Prints the boxed report to the host console; a null condition reads as a
  // forced assertion, a null message prints no message line.
  PMAssertion(const char* file, int line, const char* condition, const char* message);
};

// Hands the report to the host's own assertion service, on the host's main
// thread only.
void pmForceAssertion(const char* file, const char* condition, int line, const char* message);

// Throws DES_GenericInternalErr for a failed always-on check.
[[noreturn]] void pmEnsureFailed(const char* file, int line, const char* condition);

#define TW_ENSURE(cond) \
  ((cond) ? static_cast<void>(0) : pmEnsureFailed(__FILE__, __LINE__, #cond))

#ifdef NDEBUG
#define TW_ASSERT(cond) static_cast<void>(0)
#else
#define TW_ASSERT(cond) TW_ENSURE(cond)
#endif
