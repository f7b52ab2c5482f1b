#include "app/Runner.h"

#include <cstdio>
#include <string>

#include "app/BuiltinModel.h"
#include "app/CsvWriter.h"
#include "app/ProgressBar.h"
#include "app/RunOptions.h"
#include "model/Distribution.h"
#include "model/ModelDriver.h"
#include "support/HostBridge.h"

namespace {

std::string Number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

std::string Describe(const RunOptions& o) {
  char text[512];
  const std::string service =
      o.serviceTime.empty() ? "at rate " + Number(o.serviceRate)
                            : "serving " + Distribution::Parse(o.serviceTime, true).Describe();
  const std::string capacity = o.capacity == 0 ? "inf" : std::to_string(o.capacity);
  if (o.model == "assembly") {
    std::snprintf(text, sizeof text,
                  "model assembly: frames at rate %g and panels at rate %g paired, %d station server%s "
                  "%s, queue capacity %s",
                  o.arrivalRate, o.partBRate > 0 ? o.partBRate : o.arrivalRate, o.servers,
                  o.servers == 1 ? "" : "s", service.c_str(), capacity.c_str());
  } else {
    const std::string patience =
        o.patience > 0 ? (o.patienceFixed ? "fixed " : "exponential, mean ") + Number(o.patience)
                       : std::string("none");
    std::snprintf(text, sizeof text,
                  "model queue: arrival rate %g, %d server%s %s, capacity %s, patience %s%s%s",
                  o.arrivalRate, o.servers, o.servers == 1 ? "" : "s", service.c_str(), capacity.c_str(),
                  patience.c_str(), o.priorityAttribute.empty() ? "" : ", ordered by ",
                  o.priorityAttribute.c_str());
  }
  std::string line = text;
  std::snprintf(text, sizeof text,
                "end time %g, seed %d, %s handling, %s calendars, at most %llu events per step",
                o.endTime, o.seed, o.handling == 0 ? "deterministic" : "randomised",
                o.combinedCalendars ? "combined" : "separate",
                static_cast<unsigned long long>(o.maxEventsAtTimeStep));
  return line + "\n" + text + "\n";
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

}  // namespace

int RunTarnwell(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                bool errIsTerminal) {
  RunOptions options;
  const ParseOutcome parsed = ParseRunOptions(argc, argv, options);
  if (parsed.kind == ParseOutcome::Help) {
    out << parsed.text;
    return 0;
  }
  if (parsed.kind == ParseOutcome::Invalid) {
    err << "tarnwell: " << parsed.text << " (tarnwell --help lists the options)\n";
    return 2;
  }
  CsvWriter csv;
  if (!options.csvPath.empty()) {
    std::string problem;
    if (!csv.Open(options.csvPath, problem)) {
      err << "tarnwell: --csv: " << problem << "\n";
      return 2;
    }
  }

  const DriverConfig config = DriverConfigFor(options);
  RunReport report;
  {
    ModelDriver driver(config);
    BuiltinModel model(options, driver);
    if (!options.csvPath.empty()) {
      csv.Header(model.AttributeNames());
      model.ObserveDepartures(
          [&csv](const Sink& sink, DesEntity& entity, double time) { csv.Row(sink, entity, time); });
    }
    const bool showProgress = options.progress == RunOptions::ProgressAlways ||
                              (options.progress == RunOptions::ProgressAuto && errIsTerminal);
    ProgressBar bar(options.endTime, showProgress);
    report = driver.Run([&bar](double now) { bar.Update(now); });
    bar.Finish();

    if (!report.failed) {
      out << GetProductName() << " " << GetLibraryVersion() << "\n" << Describe(options) << "\n";
      model.PrintSummary(out, report);
      if (report.stalled) PrintStall(out, report, options.endTime);
    }
  }
  const bool csvWritten = csv.Close();
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
  if (!csvWritten) {
    err << "tarnwell: --csv: writing '" << options.csvPath << "' failed\n";
    return 1;
  }
  return 0;
}
