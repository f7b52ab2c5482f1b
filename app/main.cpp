// The tarnwell command. Until the model runner exists it identifies the
// library it was built with.
#include <cstdio>

#include "tarnwell.h"

int main() {
  std::printf("%s %s\n", GetProductName(), GetLibraryVersion());
  return 0;
}
