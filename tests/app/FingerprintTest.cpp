// `tarnwell --fingerprint`: the hash of the executed events in the summary.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/Runner.h"

namespace {

// The fingerprint line's value; empty when the summary has none.
std::string Fingerprint(std::vector<std::string> args) {
  args.insert(args.end(), {"--end-time", "500", "--progress", "never"});
  std::vector<const char*> argv = {"tarnwell"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  EXPECT_EQ(RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false), 0) << err.str();
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("event fingerprint") == std::string::npos) continue;
    std::istringstream words(line);
    std::string word, last;
    while (words >> word) last = word;
    return last;
  }
  return std::string();
}

TEST(Fingerprint, AgreesForTheSameRunAndDiffersForAnother) {
  for (const char* model : {"queue", "assembly"}) {
    const std::string first = Fingerprint({"--model", model, "--fingerprint"});
    ASSERT_EQ(first.size(), 16u) << model;
    EXPECT_EQ(Fingerprint({"--model", model, "--fingerprint"}), first) << model;
    // The storage of the calendars does not change the events executed.
    EXPECT_EQ(Fingerprint({"--model", model, "--fingerprint", "--calendars", "combined"}), first) << model;
    // Nor does tracing them.
    EXPECT_EQ(Fingerprint({"--model", model, "--fingerprint", "--trace", "events", "--trace-file", "/dev/null"}),
              first)
        << model;
    EXPECT_NE(Fingerprint({"--model", model, "--fingerprint", "--seed", "2"}), first) << model;
    EXPECT_NE(Fingerprint({"--model", model, "--fingerprint", "--servers", "2"}), first) << model;
  }
  EXPECT_EQ(Fingerprint({}), "");
}

}  // namespace
