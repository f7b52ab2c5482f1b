#include "app/Runner.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <string>

#include "app/BuiltinModel.h"
#include "app/CsvWriter.h"
#include "app/FileModel.h"
#include "app/ProgressBar.h"
#include "app/RunOptions.h"
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
  return text;
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

using ModelMaker = std::function<std::unique_ptr<RunnableModel>(ModelDriver&)>;

// Builds the model into a driver, runs it and prints its summary; what is
// common to built-in models and model files.
int Execute(const RunOptions& options, const DriverConfig& config, const ModelMaker& make, std::ostream& out,
            std::ostream& err, bool errIsTerminal) {
  CsvWriter csv;
  if (!options.csvPath.empty()) {
    std::string problem;
    if (!csv.Open(options.csvPath, problem)) {
      err << "tarnwell: --csv: " << problem << "\n";
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
  RunReport report;
  // Building the model and printing its summary may run out of memory as
  // much as the run itself; that ends the command as a failed run too.
  try {
    ModelDriver driver(config);
    if (trace.Wanted()) driver.OnEngineStarted([&trace](ModelDriver& d) { trace.Attach(d); });
    std::unique_ptr<RunnableModel> model;
    try {
      model = make(driver);
    } catch (ModelError* e) {
      err << "tarnwell: " << e->Message() << "\n";
      delete e;
      return 2;
    }
    {
      std::string problem;
      if (!trace.SelectBlocks(driver, problem)) {
        err << "tarnwell: " << problem << "\n";
        return 2;
      }
    }
    if (options.exactQuantiles) model->ReserveObservations(0);
    if (!options.csvPath.empty()) {
      csv.Header(model->AttributeNames());
      model->ObserveDepartures(
          [&csv](const Sink& sink, DesEntity& entity, double time) { csv.Row(sink, entity, time); });
    }
    const bool showProgress = options.progress == RunOptions::ProgressAlways ||
                              (options.progress == RunOptions::ProgressAuto && errIsTerminal);
    ProgressBar bar(options.endTime, showProgress);
    report = driver.Run([&bar](double now) { bar.Update(now); });
    bar.Finish();

    if (!report.failed) {
      out << GetProductName() << " " << GetLibraryVersion() << "\n"
          << model->Describe() << "\n" << DescribeRun(options) << "\n\n";
      model->PrintSummary(out, report);
      if (report.stalled) PrintStall(out, report, options.endTime);
    }
  } catch (PMException* e) {
    report = FailedRunReport(e);
  } catch (const std::bad_alloc&) {
    report = MemoryErrorRunReport();
  }
  const bool csvWritten = csv.Close();
  const bool traceWritten = trace.Close();
  if (!report.mistakes.empty()) {
    err << "tarnwell: the model was not run, it has " << report.mistakes.size() << " mistake"
        << (report.mistakes.size() == 1 ? "" : "s") << ":\n";
    for (const std::string& m : report.mistakes) err << "  " << m << "\n";
    return 2;
  }
  if (report.failed) {
    char when[96];
    std::snprintf(when, sizeof when, "tarnwell: the simulation failed at t = %g:\n", report.timeReached);
    err << when << report.diagnostic;
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
  return 0;
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
  RunOptions options;
  const ModelFile::RunSettings& s = file->Settings();
  options.endTime = s.endTime.value_or(options.endTime);
  options.seed = s.seed.value_or(options.seed);
  options.handling = s.handling.value_or(options.handling);
  options.combinedCalendars = s.combinedCalendars.value_or(options.combinedCalendars);
  options.maxEventsAtTimeStep = s.maxEventsAtTimeStep.value_or(options.maxEventsAtTimeStep);
  options.csvPath = s.csvPath.value_or(options.csvPath);

  std::vector<const char*> rest = {argv[0]};
  for (int i = 3; i < argc; ++i) rest.push_back(argv[i]);
  const ParseOutcome parsed = ParseRunOptions(static_cast<int>(rest.size()), rest.data(), options);
  if (parsed.kind == ParseOutcome::Help) {
    out << parsed.text;
    return 0;
  }
  if (parsed.kind == ParseOutcome::Invalid) return Invalid(err, parsed.text);
  for (const std::string& option : parsed.given)
    if (SetsBuiltinModel(option))
      return Invalid(err, "--" + option + ": shapes the built-in models only; the model file sets its blocks");

  DriverConfig config = DriverConfigFor(options);
  config.modelName = file->Name();
  ModelFile& model = *file;
  return Execute(options, config,
                 [&model](ModelDriver& driver) { return std::make_unique<FileModel>(model, driver); }, out, err,
                 errIsTerminal);
}

// Parses the options and runs the built-in model or a model file.
int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
               bool errIsTerminal) {
  if (argc >= 2 && std::string(argv[1]) == "run") return RunFile(argc, argv, out, err, errIsTerminal);
  RunOptions options;
  const ParseOutcome parsed = ParseRunOptions(argc, argv, options);
  if (parsed.kind == ParseOutcome::Help) {
    out << parsed.text;
    return 0;
  }
  if (parsed.kind == ParseOutcome::Invalid) return Invalid(err, parsed.text);
  return Execute(options, DriverConfigFor(options),
                 [&options](ModelDriver& driver) { return std::make_unique<BuiltinModel>(options, driver); }, out,
                 err, errIsTerminal);
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
