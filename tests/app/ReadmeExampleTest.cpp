// The README quotes its examples word for word, and they build and run.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Slurp(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

std::string Output(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  std::array<char, 256> buffer{};
  std::string out;
  while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) out += buffer.data();
  EXPECT_EQ(pclose(pipe), 0) << command;
  return out;
}

TEST(ReadmeExample, TheReadmeQuotesTheExamplesThatAreBuiltAndRun) {
  const std::string readme = Slurp(TARNWELL_README_PATH);
  for (const std::string file : {"DelayBlock.cpp", "RouteByAttribute.cpp", "route.yaml"}) {
    const std::string example = Slurp(TARNWELL_EXAMPLES_DIR "/" + file);
    ASSERT_FALSE(example.empty()) << file;
    const std::string fence = file.find(".yaml") != std::string::npos ? "```yaml\n" : "```cpp\n";
    EXPECT_NE(readme.find(fence + example + "```"), std::string::npos) << "README.md must quote examples/" << file;
  }
  // One job a time unit from t = 1 to 100; each stays 2.5.
  EXPECT_EQ(Output(TARNWELL_EXAMPLE_PATH), "generated 100, done 97, still delayed 3\n");
  EXPECT_EQ(Output(std::string(TARNWELL_ROUTER_PATH) + " " TARNWELL_EXAMPLES_DIR "/route.yaml"),
            "Small 573\nMedium 304\nLarge 182\n");
}

}  // namespace
