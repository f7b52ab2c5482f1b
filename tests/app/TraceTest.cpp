// `tarnwell --trace`: the text and JSON Lines traces of a tiny run against
// files in the repository, and what tracing must not change. Set
// TARNWELL_UPDATE_GOLDEN=1 to rewrite the files after a deliberate change of
// layout (and read the diff before committing it).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/Runner.h"

namespace {

// A few entities, a fixed seed, every random draw shaping the trace.
const std::vector<std::string> kTinyRun = {"--end-time", "4", "--seed", "3", "--limit", "2",
                                           "--progress", "never"};

std::string TempPath(const char* tag) {
  return "/tmp/tarnwell_trace_" + std::to_string(getpid()) + "_" + tag;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Traced {
  int status;
  std::string out, err, trace;
};

Traced Tarnwell(std::vector<std::string> args, const char* tag) {
  const std::string path = TempPath(tag);
  args.push_back("--trace-file");
  args.push_back(path);
  std::vector<const char*> argv = {"tarnwell"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  Traced run;
  run.status = RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false);
  run.out = out.str();
  run.err = err.str();
  run.trace = Slurp(path);
  std::remove(path.c_str());
  return run;
}

void ExpectGolden(const std::string& actual, const std::string& name) {
  const std::string path = std::string(TARNWELL_GOLDEN_DIR) + "/" + name;
  if (std::getenv("TARNWELL_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(actual, Slurp(path)) << "differs from " << path;
}

// The summary's lines without the wall-clock ones.
std::string Summary(const std::string& out) {
  std::istringstream in(out);
  std::string line, kept;
  while (std::getline(in, line))
    if (line.find("wall time") == std::string::npos && line.find("per second") == std::string::npos)
      kept += line + "\n";
  return kept;
}

TEST(TraceTest, TextTraceOfATinyRunMatchesTheRepository) {
  std::vector<std::string> args = kTinyRun;
  args.push_back("--trace");
  const Traced run = Tarnwell(args, "text");
  ASSERT_EQ(run.status, 0) << run.err;
  ExpectGolden(run.trace, "tiny_trace.txt");
}

// Every line is one JSON object; the golden file pins the fields and types.
TEST(TraceTest, JsonLinesTraceParsesLineByLineAndMatchesTheRepository) {
  std::vector<std::string> args = kTinyRun;
  args.insert(args.end(), {"--trace", "--trace-format", "jsonl"});
  const Traced run = Tarnwell(args, "jsonl");
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.trace);
  std::string line;
  int executed = 0, records = 0;
  while (std::getline(lines, line)) {
    const nlohmann::json record = nlohmann::json::parse(line);
    ASSERT_TRUE(record.is_object()) << line;
    ASSERT_TRUE(record["action"].is_string()) << line;
    if (record["action"].get<std::string>().compare(0, 7, "evtExec") == 0) {
      ++executed;
      EXPECT_EQ(record["time"], record["Time"]) << line;
    }
    ++records;
  }
  EXPECT_GT(records, 20);
  // One executed-event record for each event the summary counts.
  const std::size_t at = run.out.find("events executed");
  ASSERT_NE(at, std::string::npos) << run.out;
  EXPECT_EQ(std::atoi(run.out.c_str() + at + 15), executed) << run.out;
  ExpectGolden(run.trace, "tiny_trace.jsonl");
}

// Families select records: events alone carry no entity operations and no
// calendar; tracing leaves the run itself as it was.
TEST(TraceTest, FamiliesSelectRecordsAndTracingLeavesTheRunAlone) {
  std::vector<std::string> events = kTinyRun;
  events.insert(events.end(), {"--trace", "events"});
  const Traced run = Tarnwell(events, "events");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.trace.find("Executing"), std::string::npos);
  EXPECT_EQ(run.trace.find("EventTime  EventType"), std::string::npos);

  std::vector<const char*> argv = {"tarnwell"};
  for (const std::string& a : kTinyRun) argv.push_back(a.c_str());
  std::ostringstream out, err;
  ASSERT_EQ(RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false), 0);
  EXPECT_EQ(Summary(run.out), Summary(out.str()));
}

TEST(TraceTest, BadTraceOptionsAreOneLineAndRunNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--trace", "events,bogus"}, {"--trace-format", "xml"},
        {"--trace", "events", "--trace-file", "/nonexistent-dir/trace.txt"}}) {
    std::vector<const char*> argv = {"tarnwell"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    EXPECT_EQ(RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false), 2) << args[1];
    const std::string message = err.str();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_EQ(out.str(), "");
  }
}

// The records of a JSON Lines trace of the tiny run with `filter`.
std::vector<nlohmann::json> FilteredRecords(const std::vector<std::string>& filter, const char* tag) {
  std::vector<std::string> args = kTinyRun;
  args.insert(args.end(), {"--trace-format", "jsonl"});
  args.insert(args.end(), filter.begin(), filter.end());
  const Traced run = Tarnwell(args, tag);
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<nlohmann::json> records;
  std::istringstream lines(run.trace);
  for (std::string line; std::getline(lines, line);) records.push_back(nlohmann::json::parse(line));
  return records;
}

bool IsRoot(const nlohmann::json& r) {
  const std::string action = r["action"];
  return action.compare(0, 7, "evtExec") == 0 || action == "desInit" || action == "tbegInit" ||
         action == "endOfSim" || action == "cal";
}

// Filters by block (name, path or id), by entity and by time keep only
// the records that involve them, each with the event it happens in.
TEST(TraceTest, FiltersKeepWhatInvolvesTheirBlocksEntitiesAndTimes) {
  const std::vector<nlohmann::json> server = FilteredRecords({"--trace-block", "Server"}, "f_server");
  std::size_t nested = 0;
  for (const nlohmann::json& r : server) {
    if (IsRoot(r)) continue;
    ++nested;
    EXPECT_TRUE(r.value("Block", "") == "queue/Server" || r.value("To", "") == "queue/Server") << r.dump();
  }
  EXPECT_GT(nested, 3u);
  EXPECT_EQ(FilteredRecords({"--trace-block", "queue/Server"}, "f_path"), server);
  EXPECT_EQ(FilteredRecords({"--trace-block", "blk4"}, "f_id"), server);
  const std::vector<nlohmann::json> all = FilteredRecords({}, "f_all");
  EXPECT_LT(server.size(), all.size());

  nested = 0;
  for (const nlohmann::json& r : FilteredRecords({"--trace-entity", "2"}, "f_entity")) {
    if (IsRoot(r) || !r.contains("EntityId")) continue;
    ++nested;
    EXPECT_EQ(r["EntityId"], "en2") << r.dump();
  }
  EXPECT_GT(nested, 3u);

  const std::vector<nlohmann::json> window =
      FilteredRecords({"--trace-from", "1.5", "--trace-to", "2.01"}, "f_window");
  ASSERT_FALSE(window.empty());
  for (const nlohmann::json& r : window) {
    ASSERT_TRUE(r["time"].is_number()) << r.dump();
    EXPECT_GE(r["time"].get<double>(), 1.5) << r.dump();
    EXPECT_LE(r["time"].get<double>(), 2.01) << r.dump();
  }
}

TEST(TraceTest, BadFiltersAreOneLineAndRunNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--trace-block", "Sevrer"}, {"--trace-entity", "x7"},
        {"--trace-from", "3", "--trace-to", "2"}, {"--trace-from", "-1"}}) {
    std::vector<const char*> argv = {"tarnwell", "--end-time", "4", "--progress", "never"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    EXPECT_EQ(RunTarnwell(static_cast<int>(argv.size()), argv.data(), out, err, false), 2) << args[1];
    const std::string message = err.str();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_NE(message.find("--trace-"), std::string::npos) << message;
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
