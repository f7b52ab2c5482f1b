#include "tests/trace/TraceTestSupport.h"
