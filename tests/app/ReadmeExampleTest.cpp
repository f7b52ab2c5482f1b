// The README quotes examples/DelayBlock.cpp word for word, and it builds and runs.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Slurp(const char* path) {
  std::ostringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

TEST(ReadmeExample, TheReadmeQuotesTheExampleThatIsBuiltAndRuns) {
  const std::string example = Slurp(TARNWELL_EXAMPLE_SOURCE);
  ASSERT_FALSE(example.empty());
  EXPECT_NE(Slurp(TARNWELL_README_PATH).find("```cpp\n" + example + "```"), std::string::npos)
      << "README.md must quote examples/DelayBlock.cpp in full";

  FILE* pipe = popen(TARNWELL_EXAMPLE_PATH, "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 256> buffer{};
  std::string out;
  while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) out += buffer.data();
  EXPECT_EQ(pclose(pipe), 0);
  // One job a time unit from t = 1 to 100; each stays 2.5.
  EXPECT_EQ(out, "generated 100, done 97, still delayed 3\n");
}

}  // namespace
