#include "app/Runner.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "app/BuiltinModel.h"
#include "app/CsvWriter.h"
#include "app/FileModel.h"
#include "app/Interruption.h"
#include "app/Plotter.h"
#include "app/ProgressBar.h"
#include "app/Replication.h"
#include "app/ResultsReport.h"
#include "app/RunOptions.h"
#include "app/SeriesWriter.h"
#include "app/SummaryJson.h"
#include "app/TraceSetup.h"
#include "blocks/StandardBlocks.h"
#include "model/ModelDriver.h"
#include "model/ModelError.h"
#include "model/ModelFile.h"
#include "support/HostBridge.h"
#include "support/PMException.h"

namespace {

std::string DescribeRun(const RunOptions& o) {
  char text[256];
  std::snprintf(text, sizeof text,
                "end time %g, seed %d, %s handling, %s calendars, at most %llu events per step",
                o.endTime, o.seed, o.handling == 0 ? "deterministic" : "randomised",
                o.combinedCalendars ? "combined" : "separate",
                static_cast<unsigned long long>(o.maxEventsAtTimeStep));
  return o.warmUp > 0.0 ? text + summary::Format(", warm-up %g", o.warmUp) : text;
}

void PrintStall(std::ostream& out, const RunReport& report, double endTime) {
  char text[256];
  std::snprintf(text, sizeof text,
                "\nThe model stalled at t = %g: no event was left before the end time (%g), but "
                "entities still wait in these blocks:\n",
                report.timeReached, endTime);
  out << text;
  for (const BlockHolding& h : report.holdings) {
    std::snprintf(text, sizeof text, "  %-40s %zu entit%s\n", h.path.c_str(), h.entities,
                  h.entities == 1 ? "y" : "ies");
    out << text;
    if (!h.reason.empty()) out << "    " << h.reason << "\n";
  }
}

int Invalid(std::ostream& err, const std::string& text) {
  err << "tarnwell: " << text << " (tarnwell --help lists the options)\n";
  return 2;
}

// How the command gets a run's options and its model: from option tokens
// (those after `run MODEL.yaml` for a model file), so that every point of a
// sweep, and every emitted job, reads its own the same way.
using ModelMaker = std::function<std::unique_ptr<RunnableModel>(const RunOptions&, ModelDriver&)>;
struct Plan {
  std::vector<std::string> prefix;  // "run" and the file's absolute path, for a model file
  std::function<ParseOutcome(const std::vector<std::string>& tokens, RunOptions& options)> parse;
  std::string modelName;  // a model file's name; empty: the built-in model's
  ModelMaker make;

  DriverConfig ConfigFor(const RunOptions& options) const {
    DriverConfig config = DriverConfigFor(options);
    if (!modelName.empty()) config.modelName = modelName;
    return config;
  }
};

// The outputs only a single run has: its CSV, its trace, its progress bar;
// and the whole report, for the stall.
struct SingleRunOutputs {
  CsvWriter* csv = nullptr;
  TraceSetup* trace = nullptr;
  Plotter* plotter = nullptr;
  bool progress = false;
  RunReport report;
};

// Where a run's series goes: the file named, or with several runs one file
// each, "series-p2-r3.csv" for point 2 (of a sweep), replication 3.
std::string SeriesPath(const RunOptions& options, int pointIndex, int replication) {
  if (options.replications == 1 && pointIndex == 0) return options.seriesPath;
  const std::string& path = options.seriesPath;
  const std::size_t slash = path.rfind('/');
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
  const std::string suffix =
      (pointIndex > 0 ? "-p" + std::to_string(pointIndex) : std::string()) + "-r" + std::to_string(replication);
  return path.substr(0, dot) + suffix + path.substr(dot);
}

// Builds the model into a driver and runs replication `replication` (its
// seed derived from the options'), stopping early when interrupted.
ReplicationResult RunOnce(const RunOptions& options, const Plan& plan, int pointIndex, const SweepPoint& point,
                          int replication, SingleRunOutputs* outputs) {
  ReplicationResult result;
  result.pointIndex = pointIndex;
  result.point = point;
  result.replication = replication;
  result.replications = options.replications;
  result.baseSeed = options.seed;
  result.settings = DescribeRun(options);
  DriverConfig config = plan.ConfigFor(options);
  result.seed = config.seed = ReplicationSeed(options.seed, replication);
  RunReport report;
  SeriesWriter series;
  Plotter* plotter = outputs != nullptr ? outputs->plotter : nullptr;
  if (!options.seriesPath.empty()) {
    std::string problem;
    if (!series.Open(SeriesPath(options, pointIndex, replication), problem)) {
      result.status = 2;
      result.error = "tarnwell: --series: " + problem + "\n";
      return result;
    }
  }
  std::string trouble;  // an output that failed after a good run
  // Building the model and composing its summary may run out of memory as
  // much as the run itself; that ends the command as a failed run too.
  try {
    ModelDriver driver(config);
    driver.StopWhen(Interruption::Flag());
    TraceSetup* trace = outputs != nullptr ? outputs->trace : nullptr;
    if (trace != nullptr && trace->Wanted()) driver.OnEngineStarted([trace](ModelDriver& d) { trace->Attach(d); });
    std::unique_ptr<RunnableModel> model;
    try {
      model = plan.make(options, driver);
    } catch (ModelError* e) {
      result.status = 2;
      result.error = "tarnwell: " + e->Message() + "\n";
      delete e;
      return result;
    }
    if (trace != nullptr) {
      std::string problem;
      if (!trace->SelectBlocks(driver, problem)) {
        result.status = 2;
        result.error = "tarnwell: " + problem + "\n";
        return result;
      }
    }
    if (options.exactQuantiles) model->ReserveObservations(0);
    CsvWriter* csv = outputs != nullptr ? outputs->csv : nullptr;
    if (csv != nullptr) {
      csv->Header(model->AttributeNames());
      model->ObserveDepartures(
          [csv](const Sink& sink, DesEntity& entity, double time) { csv->Row(sink, entity, time); });
    }
    if (!options.seriesPath.empty() || plotter != nullptr) {
      series.Attach(driver, *model, replication,
                    options.seriesInterval > 0.0 ? options.seriesInterval : options.endTime / 1000.0,
                    plotter != nullptr);
    }
    if (plotter != nullptr) model->KeepTimesInSystem();
    ProgressBar bar(options.endTime, outputs != nullptr && outputs->progress);
    report = driver.Run([&bar](double now) { bar.Update(now); });
    bar.Finish();
    if (!report.failed) {
      result.description = model->Describe();
      result.statistics = model->Statistics(report);
      if (plotter != nullptr &&
          (!plotter->TimeInSystem(model->TimesInSystem(), model->TimeInSystemRate(), trouble) ||
           !plotter->OverTime(series.Columns(), series.Samples(), trouble)))
        trouble = "tarnwell: " + trouble + "\n";
    }
  } catch (PMException* e) {
    report = FailedRunReport(e);
  } catch (const std::bad_alloc&) {
    report = MemoryErrorRunReport();
  }
  result.interrupted = report.interrupted;
  result.stalled = report.stalled;
  result.timeReached = report.timeReached;
  if (!report.mistakes.empty()) {
    result.status = 2;
    result.error = "tarnwell: the model was not run, it has " + std::to_string(report.mistakes.size()) +
                   " mistake" + (report.mistakes.size() == 1 ? "" : "s") + ":\n";
    for (const std::string& m : report.mistakes) result.error += "  " + m + "\n";
  } else if (report.failed) {
    char when[96];
    std::snprintf(when, sizeof when, "tarnwell: the simulation failed at t = %g:\n", report.timeReached);
    result.status = 1;
    result.error = when + report.diagnostic;
  } else if (!series.Close()) {
    result.status = 1;
    result.error = "tarnwell: --series: writing '" + SeriesPath(options, pointIndex, replication) + "' failed\n";
  } else if (!trouble.empty()) {
    result.status = 1;
    result.error = trouble;
  }
  if (outputs != nullptr) outputs->report = std::move(report);
  return result;
}

// What the command writes besides the summary, opened before anything runs
// so that a file that cannot be written is refused first.
struct ResultFiles {
  SummaryJson json;
  Plotter plotter;
  std::vector<std::string> arguments;

  bool Open(const RunOptions& options, std::ostream& err) {
    std::string problem;
    if ((!options.summaryJson.empty() && !json.Open(options.summaryJson, problem)) ||
        (!options.plotDir.empty() && !plotter.Open(options.plotDir, problem))) {
      err << "tarnwell: " << problem << "\n";
      return false;
    }
    return true;
  }
  // The summary's JSON; false (with the message) when writing it failed.
  // `fingerprint`: the event fingerprint of a single run, when one was taken.
  bool Write(const RunOptions& options, const std::vector<ReplicationResult>& runs, bool interrupted,
             std::ostream& err, const std::string& fingerprint = std::string()) {
    std::vector<SummaryJson::PointFigures> points;
    std::map<int, std::vector<summary::Statistics>> byPoint;
    std::map<int, SweepPoint> values;
    for (const ReplicationResult& r : runs) {
      byPoint[r.pointIndex].push_back(r.statistics);
      values[r.pointIndex] = r.point;
    }
    for (const auto& p : byPoint) points.push_back({values[p.first], summary::Combine(p.second)});
    if (json.Write(options, arguments, runs, points, interrupted, fingerprint)) return true;
    err << "tarnwell: --summary-json: writing '" << options.summaryJson << "' failed\n";
    return false;
  }
};

// One run, with every output a run can have; or one replication of a plan,
// its result to a file for `tarnwell merge`.
int ExecuteSingle(const RunOptions& options, const Plan& plan, int pointIndex, const SweepPoint& point,
                  ResultFiles& files, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  CsvWriter csv;
  if (!options.csvPath.empty()) {
    std::string problem;
    if (!csv.Open(options.csvPath, problem)) {
      err << "tarnwell: --csv: " << problem << "\n";
      return 2;
    }
  }
  std::ofstream resultFile;
  if (!options.resultPath.empty()) {
    resultFile.open(options.resultPath);
    if (!resultFile) {
      err << "tarnwell: --result: cannot write '" << options.resultPath << "': " << std::strerror(errno) << "\n";
      return 2;
    }
  }
  TraceSetup trace(options);
  {
    std::string problem;
    if (!trace.Open(problem)) {
      err << "tarnwell: " << problem << "\n";
      return 2;
    }
  }
  SingleRunOutputs outputs;
  outputs.csv = options.csvPath.empty() ? nullptr : &csv;
  outputs.trace = &trace;
  outputs.plotter = options.plotDir.empty() ? nullptr : &files.plotter;
  outputs.progress = options.progress == RunOptions::ProgressAlways ||
                     (options.progress == RunOptions::ProgressAuto && errIsTerminal);
  const ReplicationResult result =
      RunOnce(options, plan, pointIndex, point, options.replication > 0 ? options.replication : 1, &outputs);
  const RunReport& report = outputs.report;
  bool written = true;
  if (resultFile.is_open()) {
    // The result says how the run ended, failed or not: merge reports it.
    resultFile << result.ToJson() << "\n";
    resultFile.close();
    written = !resultFile.fail();
  } else if (result.status == 0) {
    out << GetProductName() << " " << GetLibraryVersion() << "\n"
        << result.description << "\n" << result.settings << "\n\n";
    if (result.interrupted) {
      char text[160];
      std::snprintf(text, sizeof text, "interrupted at t = %g: the figures cover the run up to then\n\n",
                    result.timeReached);
      out << text;
    }
    summary::Print(out, result.statistics);
    if (!report.fingerprint.empty()) summary::Line(out, "event fingerprint", report.fingerprint);
    if (report.stalled) PrintStall(out, report, options.endTime);
  }
  const bool jsonWritten = result.status != 0 || files.Write(options, {result}, result.interrupted, err, report.fingerprint);
  // Every file is complete and closed whatever ended the run.
  const bool csvWritten = csv.Close();
  const bool traceWritten = trace.Close();
  if (result.status != 0) {
    err << result.error;
    return result.status;
  }
  if (!jsonWritten) return 1;
  if (!written) {
    err << "tarnwell: --result: writing '" << options.resultPath << "' failed\n";
    return 1;
  }
  if (!traceWritten) {
    err << "tarnwell: --trace-file: writing '" << options.traceFile << "' failed\n";
    return 1;
  }
  if (!csvWritten) {
    err << "tarnwell: --csv: writing '" << options.csvPath << "' failed\n";
    return 1;
  }
  return result.interrupted ? kInterruptedStatus : 0;
}

// Every replication of every point, side by side; the summary shows each
// figure's mean and confidence interval, for a sweep a row per point.
// `firstPoint`: the sweep's number of the first of `points`, less one.
int ExecuteMany(const RunOptions& options, const std::vector<RunOptions>& pointOptions,
                const std::vector<SweepPoint>& points, int firstPoint, const Plan& plan, ResultFiles& files,
                std::ostream& out, std::ostream& err) {
  const int replications = options.replications;
  const int runs = replications * static_cast<int>(points.size());
  const bool sweep = !options.sweeps.empty();
  const int jobs = options.jobs > 0 ? options.jobs : CoreCount();
  const std::vector<ReplicationResult> results = RunReplications(
      runs, jobs,
      [&](int run) {
        const int p = (run - 1) / replications;
        return RunOnce(pointOptions[p], plan, sweep ? firstPoint + p + 1 : 0, points[p], (run - 1) % replications + 1,
                       nullptr);
      },
      Interruption::Flag());
  for (const ReplicationResult& r : results)
    if (r.status != 0) {
      err << "tarnwell: " << (sweep ? DescribePoint(r.point) + ", " : std::string()) << "replication "
          << r.replication << " (seed " << r.seed << "):\n"
          << r.error;
      return r.status;
    }
  std::vector<ReplicationResult> used;
  for (const ReplicationResult& r : results)
    if (!r.interrupted) used.push_back(r);
  const bool interrupted = Interruption::Requested() || used.size() < results.size();
  std::string remark;
  if (interrupted) {
    char text[200];
    if (used.empty()) {
      // Not one finished: what the interrupted ones reached is all there is.
      used = results;
      std::snprintf(text, sizeof text,
                    "interrupted: none of %d replications complete; the figures are those of %zu stopped part-way",
                    runs, used.size());
    } else {
      std::snprintf(text, sizeof text, "interrupted: %zu of %d replications complete; the figures are theirs",
                    used.size(), runs);
    }
    remark = text;
  }
  if (used.empty()) {
    out << "interrupted before any replication ran\n";
    files.Write(options, used, true, err);
    return kInterruptedStatus;
  }
  PrintResults(out, used, remark);
  if (!files.Write(options, used, interrupted, err)) return 1;
  std::string problem;
  if (!options.plotDir.empty() && !files.plotter.Sweep(used, problem)) {
    err << "tarnwell: " << problem << "\n";
    return 1;
  }
  return interrupted ? kInterruptedStatus : 0;
}

// A word for the shell: as it is when it is plain, else in single quotes.
std::string Quote(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                                              "_./=:,+-@%") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[PATH_MAX];
  return getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + path : path;
}

// --emit-jobs FILE: one command line per run, each writing its result into
// FILE.results/, for GNU parallel or a job array to run; nothing runs here.
int EmitJobs(const RunOptions& options, const std::vector<std::string>& base,
             const std::vector<std::string>& sweepTokens, std::size_t points, const Plan& plan, std::ostream& out,
             std::ostream& err) {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string exe = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string("tarnwell");
  const std::string results = AbsolutePath(options.emitJobs + ".results");
  if (mkdir(results.c_str(), 0777) != 0 && errno != EEXIST) {
    err << "tarnwell: --emit-jobs: cannot make '" << results << "': " << std::strerror(errno) << "\n";
    return 2;
  }
  std::ofstream file(options.emitJobs);
  if (!file) {
    err << "tarnwell: --emit-jobs: cannot write '" << options.emitJobs << "': " << std::strerror(errno) << "\n";
    return 2;
  }
  std::string common = Quote(exe);
  for (const std::string& word : plan.prefix) common += " " + Quote(word);
  for (const std::string& word : base) common += " " + Quote(word);
  for (const std::string& word : sweepTokens) common += " " + Quote(word);
  int lines = 0;
  for (std::size_t p = 1; p <= points; ++p)
    for (int k = 1; k <= options.replications; ++k) {
      char name[64];
      std::snprintf(name, sizeof name, "/p%04zu-r%05d.json", p, k);
      file << common << (options.sweeps.empty() ? std::string() : " --sweep-point " + std::to_string(p))
           << " --replications " << options.replications << " --replication " << k << " --result "
           << Quote(results + name) << "\n";
      ++lines;
    }
  file.close();
  if (file.fail()) {
    err << "tarnwell: --emit-jobs: writing '" << options.emitJobs << "' failed\n";
    return 1;
  }
  out << "wrote " << lines << " command line" << (lines == 1 ? "" : "s") << " to " << options.emitJobs
      << "; each writes its result into " << results << "/\n"
      << "run them, e.g.:  parallel < " << Quote(options.emitJobs) << "\n"
      << "then:            " << Quote(exe) << " merge " << Quote(results) << "/*.json\n";
  return 0;
}

// Runs what the options ask for: one run, replications, a sweep, or the
// command lines of all their runs.
int ExecutePlan(const Plan& plan, const ParseOutcome& parsed, const RunOptions& options, int argc,
                const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  // The options every run of the plan shares; what the plan itself sets
  // (the sweep, which run, where results go) is added per run.
  std::vector<std::string> base, sweepTokens;
  for (const auto& option : parsed.tokens) {
    const std::string& name = option.first;
    if (name == "sweep") sweepTokens.insert(sweepTokens.end(), option.second.begin(), option.second.end());
    if (name == "sweep" || name == "sweep-point" || name == "emit-jobs" || name == "jobs" || name == "summary-json" ||
        name == "progress" || name == "replications" || name == "replication" || name == "result" ||
        name == "plot")
      continue;
    base.insert(base.end(), option.second.begin(), option.second.end());
  }
  const std::vector<SweepPoint> points = SweepPoints(options.sweeps);
  if (options.sweepPoint > static_cast<int>(points.size()))
    return Invalid(err, "--sweep-point: the sweep has " + std::to_string(points.size()) + " points");
  // Every point's options are checked before anything runs.
  std::vector<RunOptions> pointOptions;
  for (const SweepPoint& point : points) {
    if (options.sweeps.empty()) {
      pointOptions.push_back(options);
      break;
    }
    std::vector<std::string> tokens = base;
    for (const auto& pv : point) tokens.insert(tokens.end(), {"--" + pv.first, pv.second});
    RunOptions o;
    const ParseOutcome outcome = plan.parse(tokens, o);
    if (outcome.kind == ParseOutcome::Invalid) return Invalid(err, "--sweep " + DescribePoint(point) + ": " + outcome.text);
    o.replications = options.replications;
    o.replication = options.replication;
    o.resultPath = options.resultPath;
    o.progress = options.progress;
    o.summaryJson = options.summaryJson;
    o.seriesPath = options.seriesPath;
    o.seriesInterval = options.seriesInterval;
    o.plotDir = options.plotDir;
    pointOptions.push_back(o);
  }
  if (!options.emitJobs.empty()) return EmitJobs(options, base, sweepTokens, points.size(), plan, out, err);

  ResultFiles files;
  files.arguments.assign(argv, argv + argc);
  if (!files.Open(options, err)) return 2;
  // From here on Ctrl-C stops the run at an event boundary.
  Interruption interruption;
  if (options.sweepPoint > 0 || (options.sweeps.empty() && (options.replications == 1 || options.replication > 0))) {
    const int p = options.sweepPoint > 0 ? options.sweepPoint - 1 : 0;
    if (options.replication > 0 || options.replications == 1)
      return ExecuteSingle(pointOptions[p], plan, options.sweepPoint, points[p], files, out, err, errIsTerminal);
    return ExecuteMany(pointOptions[p], {pointOptions[p]}, {points[p]}, p, plan, files, out, err);
  }
  return ExecuteMany(options, pointOptions, points, 0, plan, files, out, err);
}

// Parses the command's options with the plan's parser: help and version
// print, a mistake is refused, anything else runs.
int ParseAndExecute(const Plan& plan, const std::vector<std::string>& tokens, int argc, const char* const* argv,
                    std::ostream& out, std::ostream& err, bool errIsTerminal) {
  RunOptions options;
  const ParseOutcome parsed = plan.parse(tokens, options);
  if (parsed.kind == ParseOutcome::Help || parsed.kind == ParseOutcome::Version) {
    out << parsed.text;
    return 0;
  }
  if (parsed.kind == ParseOutcome::Invalid) return Invalid(err, parsed.text);
  return ExecutePlan(plan, parsed, options, argc, argv, out, err, errIsTerminal);
}

// tarnwell run MODEL.yaml [options]: the file's run settings first, then
// the options given.
int RunFile(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  if (argc < 3 || argv[2][0] == '-') return Invalid(err, "run: needs a model file: tarnwell run MODEL.yaml");
  RegisterStandardBlocks();
  std::unique_ptr<ModelFile> file;
  try {
    file = std::make_unique<ModelFile>(argv[2]);
  } catch (ModelError* e) {
    err << "tarnwell: " << e->Message() << "\n";
    delete e;
    return 2;
  }
  const ModelFile::RunSettings settings = file->Settings();
  Plan plan;
  plan.prefix = {"run", AbsolutePath(argv[2])};
  plan.modelName = file->Name();
  plan.parse = [settings, argv0 = std::string(argv[0])](const std::vector<std::string>& tokens, RunOptions& options) {
    options.model = RunOptions::kFileModel;
    options.endTime = settings.endTime.value_or(options.endTime);
    options.seed = settings.seed.value_or(options.seed);
    options.handling = settings.handling.value_or(options.handling);
    options.combinedCalendars = settings.combinedCalendars.value_or(options.combinedCalendars);
    options.maxEventsAtTimeStep = settings.maxEventsAtTimeStep.value_or(options.maxEventsAtTimeStep);
    options.csvPath = settings.csvPath.value_or(options.csvPath);
    std::vector<const char*> rest = {argv0.c_str()};
    for (const std::string& t : tokens) rest.push_back(t.c_str());
    ParseOutcome parsed = ParseRunOptions(static_cast<int>(rest.size()), rest.data(), options);
    if (parsed.kind != ParseOutcome::Run) return parsed;
    for (const std::string& option : parsed.given)
      if (SetsBuiltinModel(option)) {
        parsed.kind = ParseOutcome::Invalid;
        parsed.text = "--" + option + ": applies to the built-in models only; the model file sets its blocks";
      }
    for (const SweepParameter& p : options.sweeps)
      if (SetsBuiltinModel(p.option)) {
        parsed.kind = ParseOutcome::Invalid;
        parsed.text = "--sweep: --" + p.option + " applies to the built-in models only; the model file sets its blocks";
      }
    return parsed;
  };
  // A file builds its blocks once: every run reads it afresh.
  plan.make = [path = std::string(argv[2])](const RunOptions& o, ModelDriver& driver) {
    return std::make_unique<FileModel>(std::make_unique<ModelFile>(path), driver, o.warmUp);
  };
  file.reset();
  const std::vector<std::string> tokens(argv + 3, argv + argc);
  return ParseAndExecute(plan, tokens, argc, argv, out, err, errIsTerminal);
}

// Parses the options and runs the built-in model or a model file, or
// merges results.
int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               bool errIsTerminal) {
  if (argc >= 2 && std::string(argv[1]) == "run") return RunFile(argc, argv, out, err, errIsTerminal);
  if (argc >= 2 && std::string(argv[1]) == "merge")
    return MergeResults(std::vector<std::string>(argv + 2, argv + argc), out, err);
  Plan plan;
  plan.parse = [argv0 = std::string(argv[0])](const std::vector<std::string>& tokens, RunOptions& options) {
    std::vector<const char*> all = {argv0.c_str()};
    for (const std::string& t : tokens) all.push_back(t.c_str());
    return ParseRunOptions(static_cast<int>(all.size()), all.data(), options);
  };
  plan.make = [](const RunOptions& options, ModelDriver& driver) {
    return std::make_unique<BuiltinModel>(options, driver);
  };
  const std::vector<std::string> tokens(argv + 1, argv + argc);
  return ParseAndExecute(plan, tokens, argc, argv, out, err, errIsTerminal);
}

}  // namespace

int RunTarnwell(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                bool errIsTerminal) {
  // The command itself (its options, its messages) may run out of memory
  // too: that ends it like a run the memory error stopped.
  try {
    return RunCommand(argc, argv, out, err, errIsTerminal);
  } catch (const std::bad_alloc&) {
    const RunReport report = MemoryErrorRunReport();
    err << "tarnwell: " << report.diagnostic;
    return 1;
  }
}
