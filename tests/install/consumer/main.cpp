#include <cstdio>

#include "tarnwell.h"

int main() {
  std::printf("%s\n", GetProductName());
  return 0;
}
