#include "app/RunOptions.h"

#include "model/Distribution.h"
#include "support/HostBridge.h"

#include <boost/program_options.hpp>
#include <cerrno>
#include <cmath>
#include <cctype>
#include <cfloat>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace po = boost::program_options;

namespace {

// A bad value: the message names the option.
struct BadValue : std::runtime_error {
  BadValue(const std::string& option, const std::string& what)
      : std::runtime_error("--" + option + ": " + what) {}
};

double Number(const std::string& option, const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(begin, &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || std::isnan(v))
    throw BadValue(option, "'" + text + "' is not a number");
  return v;
}

double Positive(const std::string& option, const std::string& text) {
  const double v = Number(option, text);
  if (!(v > 0.0) || std::isinf(v)) throw BadValue(option, "must be a positive number, not '" + text + "'");
  return v;
}

uint64_t Count(const std::string& option, const std::string& text, uint64_t min, uint64_t max) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    throw BadValue(option, "'" + text + "' is not a whole number");
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  if (errno == ERANGE || v < min || v > max) {
    std::ostringstream range;
    range << "must be between " << min << " and " << max << ", not '" << text << "'";
    throw BadValue(option, range.str());
  }
  return v;
}

bool IsNone(const std::string& text) { return text == "none" || text == "inf" || text == "infinite"; }

// "-x" or "--xyz" but not "-1" or "-.5": what the user meant as the next
// option rather than this one's value.
bool LooksLikeOption(const std::string& value) {
  return value.size() > 1 && value[0] == '-' && !std::isdigit(static_cast<unsigned char>(value[1])) &&
         value[1] != '.';
}

// Arrivals at `rate` until `endTime`: refused when the run can never end,
// because the mean interval is below the clock's resolution at the end time
// (time would stop advancing), or because there would be so many arrivals
// that the run would take days.
void CheckArrivals(const std::string& option, double rate, double endTime, uint64_t limit) {
  const double resolution = std::nextafter(endTime, HUGE_VAL) - endTime;
  char text[256];
  if (1.0 / rate < resolution) {
    std::snprintf(text, sizeof text,
                  "the mean interval between arrivals (%g) is below the time resolution at the end time "
                  "(%g): the clock could never reach the end time",
                  1.0 / rate, resolution);
    throw BadValue(option, text);
  }
  const double expected = rate * endTime;
  if (limit == 0 && expected > 1e12) {
    std::snprintf(text, sizeof text,
                  "about %.3g arrivals before the end time %g: the run would take days (lower the rate or "
                  "the end time, or give --limit)",
                  expected, endTime);
    throw BadValue(option, text);
  }
}

// What a sweep may vary: what shapes the model and the run, not where its
// outputs go or how the sweep itself runs.
bool SweepAllowed(const std::string& option) {
  for (const char* name : {"sweep", "sweep-point", "emit-jobs", "replications", "replication", "result", "jobs",
                           "summary-json", "csv", "progress", "trace", "trace-file", "trace-format",
                           "debug-commands", "break-at", "series", "plot"})
    if (option == name) return false;
  return true;
}

// Options that mean nothing for the model or the run asked for are refused
// rather than silently ignored, and so are names the model does not have.
void CheckApplies(const po::variables_map& vm, const RunOptions& o) {
  // One run's outputs, for many runs; or the outputs of a single
  // replication (--replication) when they are all wanted.
  const bool many = (o.replications > 1 && o.replication == 0) || (!o.sweeps.empty() && o.sweepPoint == 0);
  if (many || !o.emitJobs.empty()) {
    const char* which = !o.emitJobs.empty() ? "--emit-jobs" : !o.sweeps.empty() && o.sweepPoint == 0 ? "--sweep"
                                                                                                     : "--replications";
    for (const char* name : {"csv", "trace", "trace-file", "debug", "debug-commands", "break-at", "result"})
      if (vm.count(name)) throw BadValue(name, std::string("follows a single run; not with ") + which);
    if (o.progress == RunOptions::ProgressAlways)
      throw BadValue("progress", std::string("shows a single run's progress; not with ") + which);
  } else if (vm.count("jobs")) {
    throw BadValue("jobs", "runs replications side by side; give --replications N too");
  }
  if (vm.count("plot") && o.sweeps.empty() && o.replications > 1 && o.replication == 0)
    throw BadValue("plot", "draws one run or a sweep; not replications alone");
  // A model file's own blocks are checked when the file is read.
  if (o.model == RunOptions::kFileModel) return;
  const bool assembly = o.model == "assembly";
  for (const char* name : {"panel-rate", "panel-limit"})
    if (vm.count(name) && !assembly) throw BadValue(name, "applies to the assembly model only (--model assembly)");
  for (const char* name : {"patience", "patience-fixed", "priority-attribute"})
    if (vm.count(name) && assembly) throw BadValue(name, "applies to the queue model only, not to the assembly");
  if (vm.count("patience-fixed") && o.patience == 0.0)
    throw BadValue("patience-fixed", "customers never give up here (--patience none)");
  if (!o.priorityAttribute.empty() && o.priorityAttribute != "Serial" && o.priorityAttribute != "Priority" &&
      o.priorityAttribute != "TimeInSystem")
    throw BadValue("priority-attribute", "customers have no attribute '" + o.priorityAttribute +
                                             "' (they carry Serial, Priority and TimeInSystem)");
  CheckArrivals("arrival-rate", o.arrivalRate, o.endTime, o.limit);
  if (assembly && o.partBRate > 0.0) CheckArrivals("panel-rate", o.partBRate, o.endTime, o.limitB ? o.limitB : o.limit);
}

}  // namespace

std::string VersionText() { return std::string(GetProductName()) + " " + GetLibraryVersion(); }

bool SetsBuiltinModel(const std::string& option) {
  for (const char* name : {"model", "arrival-rate", "service-rate", "service-time", "panel-rate", "servers",
                           "capacity", "patience", "patience-fixed", "priority-attribute", "limit",
                           "panel-limit"})
    if (option == name) return true;
  return false;
}

ParseOutcome ParseRunOptions(int argc, const char* const* argv, RunOptions& o) {
  po::options_description desc(
      "Usage: tarnwell [options]               run a built-in model\n"
      "       tarnwell run MODEL.yaml [options] run the model a file describes\n"
      "       tarnwell merge RESULT.json...     the summary of results of --emit-jobs runs\n\n"
      "Runs a discrete-event model on the Tarnwell engine and prints a summary.\n"
      "Without options: a single-server queue whose customers arrive and are\n"
      "served at exponential intervals and give up after an exponential patience.\n"
      "With a model file, the options below override the file's run settings;\n"
      "the options that shape the built-in models (--model, and --arrival-rate to\n"
      "--panel-limit) do not apply.\n\n"
      "Options",
      100, 50);
  // Values are read as text and checked below, so every message names the
  // option and says what was wrong with the value.
  desc.add_options()
      ("help,h", "show this help and exit")
      ("version", "show the version and exit")
      ("model", po::value<std::string>()->value_name("NAME"),
       "queue (default): generator, queue with patience, k servers, sinks for served "
       "and timed-out customers;\n"
       "assembly: frames and panels are paired by a combiner, served as one "
       "assembly, inspected, and split into their parts again")
      ("end-time", po::value<std::string>()->value_name("T"), "simulated time to run (default 100000)")
      ("seed", po::value<std::string>()->value_name("N"),
       "seed of every random stream and of the randomised event order (default 1)")
      ("arrival-rate", po::value<std::string>()->value_name("L"),
       "arrivals per time unit, exponential intervals (default 0.9)")
      ("service-rate", po::value<std::string>()->value_name("M"),
       "services per time unit per server, exponential (default 1)")
      ("service-time", po::value<std::string>()->value_name("DIST"),
       "service time per server instead of --service-rate, e.g. lognormal(mean=1, sd=0.5), "
       "erlang(k=3, mean=1), exponential(rate=2) or a number (see README.md)")
      ("panel-rate", po::value<std::string>()->value_name("L"),
       "assembly: panels per time unit (default: the arrival rate)")
      ("servers", po::value<std::string>()->value_name("K"), "number of servers (default 1)")
      ("capacity", po::value<std::string>()->value_name("N|inf"),
       "places in the queue; a full queue holds up the arrivals (default inf)")
      ("patience", po::value<std::string>()->value_name("MEAN|none"),
       "queue model: mean time a customer waits before giving up, exponential "
       "(default 10); none: customers never give up")
      ("patience-fixed", "patience is exactly MEAN instead of exponential")
      ("priority-attribute", po::value<std::string>()->value_name("NAME"),
       "serve the queue by this attribute, smallest first, instead of first in "
       "first out (customers carry Serial, Priority and TimeInSystem)")
      ("limit", po::value<std::string>()->value_name("N"),
       "stop each generator after N entities (default: no limit)")
      ("panel-limit", po::value<std::string>()->value_name("N"),
       "assembly: stop the panel generator after N panels (default: --limit)")
      ("handling", po::value<std::string>()->value_name("MODE"),
       "order of simultaneous events: deterministic (default) or randomised")
      ("calendars", po::value<std::string>()->value_name("MODE"),
       "separate (default): timeouts in a calendar of their own; combined: the "
       "event calendar holds the timeouts too")
      ("max-events-per-step", po::value<std::string>()->value_name("N"),
       "most events at one simulation time before the run fails (default 1000000)")
      ("replications", po::value<std::string>()->value_name("N"),
       "run N independent replications (each with a seed derived from --seed) and show every figure "
       "as a mean with its 95 % confidence half-width (default 1)")
      ("jobs", po::value<std::string>()->value_name("J"),
       "replications run by J processes at a time (default: one per core)")
      ("warm-up", po::value<std::string>()->value_name("T"),
       "leave out what happened before time T (default 0)")
      ("summary-json", po::value<std::string>()->value_name("FILE"),
       "write the summary, every figure with its interval, the options, seeds and versions, as JSON")
      ("sweep", po::value<std::vector<std::string>>()->value_name("PARAM=LIST")->composing(),
       "run every point of the cross product of the swept options (repeatable), each with its "
       "replications, and print one row per point; LIST: values and ranges from:to[:step], e.g. "
       "arrival-rate=0.5:0.9:0.1 or servers=1,2,4")
      ("emit-jobs", po::value<std::string>()->value_name("FILE"),
       "do not run: write one command line per run (point and replication) to FILE, each writing "
       "its result to FILE.results/, for GNU parallel or a Slurm job array; then tarnwell merge")
      ("sweep-point", po::value<std::string>()->value_name("K"), "run point K of the sweep only (as --emit-jobs writes)")
      ("replication", po::value<std::string>()->value_name("K"),
       "run replication K of --replications only (as --emit-jobs writes)")
      ("result", po::value<std::string>()->value_name("FILE"),
       "write this run's result as JSON to FILE for tarnwell merge, instead of the summary")
      ("series", po::value<std::string>()->value_name("FILE"),
       "write the queue lengths, the entities in the model and the share of busy servers over time "
       "as CSV to FILE (with several runs, FILE-pP-rR.csv each)")
      ("series-interval", po::value<std::string>()->value_name("DT"),
       "simulated time between two samples of --series (default: a thousandth of the end time)")
      ("plot", po::value<std::string>()->value_name("DIR"),
       "draw PNG plots into DIR with gnuplot: a run's time in system and queue length over time, "
       "or a sweep's figures against the swept option")
      ("csv", po::value<std::string>()->value_name("FILE"),
       "write one row per entity leaving the model to FILE")
      ("progress", po::value<std::string>()->value_name("WHEN"),
       "progress bar on standard error: auto (default, when it is a terminal), "
       "always or never")
      ("exact-quantiles",
       "exact medians and percentiles: keeps every observation (memory grows with "
       "the run); by default they are estimated in constant memory")
      ("trace", po::value<std::string>()->value_name("WHAT")->implicit_value("all"),
       "write what the model does: all (the default of --trace alone), or a "
       "comma-separated list of events (scheduled, executed, cancelled), entities "
       "(block operations on entities) and calendar (the event calendar before "
       "each event)")
      ("trace-file", po::value<std::string>()->value_name("FILE"),
       "write the trace to FILE instead of standard output")
      ("trace-format", po::value<std::string>()->value_name("FORM"),
       "text (default): laid out for reading; jsonl: one JSON object per record")
      ("trace-block", po::value<std::vector<std::string>>()->value_name("BLOCK"),
       "trace only what involves BLOCK (its name, path or debugger id such as blk3); "
       "may be repeated")
      ("trace-entity", po::value<std::vector<std::string>>()->value_name("ID"),
       "trace only what involves entity ID (en5, or 5); may be repeated")
      ("trace-from", po::value<std::string>()->value_name("T"), "trace only from time T on")
      ("trace-to", po::value<std::string>()->value_name("T"), "trace only up to time T")
      ("fingerprint",
       "print a fingerprint of the executed events (time, type, block, entity) in the "
       "summary: runs that execute the same events agree")
      ("debug", "stop at the debugger's prompt before the first event (help there lists "
                "the commands)")
      ("debug-commands", po::value<std::string>()->value_name("FILE"),
       "debugger commands, one a line, run at the first stop before the prompt asks")
      ("break-at", po::value<std::string>()->value_name("T"),
       "stop at the debugger's prompt when the simulation reaches time T");

  ParseOutcome outcome;
  po::variables_map vm;
  try {
    const po::parsed_options parsed = po::command_line_parser(argc, argv).options(desc).run();
    for (const po::option& option : parsed.options) {
      // Arguments that belong to no option: a model file goes after `run`.
      if (option.position_key >= 0 || option.string_key.empty()) {
        const std::string arg = option.original_tokens.empty() ? std::string() : option.original_tokens.front();
        throw std::invalid_argument("'" + arg +
                                    "': unexpected argument (a model file runs as: tarnwell run MODEL.yaml)");
      }
      for (const std::string& value : option.value)
        if (LooksLikeOption(value))
          throw BadValue(option.string_key, "needs a value, but '" + value + "' is an option");
    }
    po::store(parsed, vm);
    po::notify(vm);
    if (vm.count("help")) {
      std::ostringstream help;
      help << desc << "\nExit status: 0 done (also when the model stalled), 1 the simulation failed\n"
                      "(a catalogue error, or a block refused by the block framework), 2 invalid\n"
                      "options or a model with mistakes (nothing ran), 130 stopped by Ctrl-C or SIGTERM\n"
                      "(the summary so far printed, every file complete).\n"
                      "\nMerging results of emitted jobs: tarnwell merge RESULT.json...\n";
      outcome.kind = ParseOutcome::Help;
      outcome.text = help.str();
      return outcome;
    }
    if (vm.count("version")) {
      outcome.kind = ParseOutcome::Version;
      outcome.text = VersionText() + "\n";
      return outcome;
    }
    for (const auto& option : vm) outcome.given.push_back(option.first);
    for (const po::option& option : parsed.options) outcome.tokens.emplace_back(option.string_key, option.original_tokens);
    auto text = [&vm](const char* name) { return vm[name].as<std::string>(); };
    if (vm.count("model")) {
      o.model = text("model");
      if (o.model != "queue" && o.model != "assembly")
        throw BadValue("model", "unknown model '" + o.model + "' (queue or assembly)");
    }
    if (vm.count("end-time")) o.endTime = Positive("end-time", text("end-time"));
    if (vm.count("seed")) o.seed = static_cast<int>(Count("seed", text("seed"), 0, 2147483647));
    if (vm.count("arrival-rate")) o.arrivalRate = Positive("arrival-rate", text("arrival-rate"));
    if (vm.count("service-rate")) o.serviceRate = Positive("service-rate", text("service-rate"));
    if (vm.count("service-time")) {
      o.serviceTime = text("service-time");
      try {
        Distribution::Parse(o.serviceTime, true);
      } catch (const std::invalid_argument& e) {
        throw BadValue("service-time", e.what());
      }
      if (vm.count("service-rate"))
        throw BadValue("service-time", "give --service-time or --service-rate, not both");
    }
    if (vm.count("panel-rate")) o.partBRate = Positive("panel-rate", text("panel-rate"));
    if (vm.count("servers")) o.servers = static_cast<int>(Count("servers", text("servers"), 1, 100000));
    if (vm.count("capacity")) {
      const std::string c = text("capacity");
      o.capacity = IsNone(c) ? 0 : static_cast<std::size_t>(Count("capacity", c, 1, UINT32_MAX));
    }
    if (vm.count("patience")) {
      const std::string p = text("patience");
      o.patience = IsNone(p) ? 0.0 : Positive("patience", p);
    }
    o.patienceFixed = vm.count("patience-fixed") > 0;
    if (vm.count("priority-attribute")) {
      o.priorityAttribute = text("priority-attribute");
      if (o.priorityAttribute.empty()) throw BadValue("priority-attribute", "needs an attribute name");
    }
    if (vm.count("replications"))
      o.replications = static_cast<int>(Count("replications", text("replications"), 1, 1000000));
    if (vm.count("jobs")) o.jobs = static_cast<int>(Count("jobs", text("jobs"), 1, 1024));
    if (vm.count("warm-up")) {
      o.warmUp = Number("warm-up", text("warm-up"));
      if (o.warmUp < 0.0 || !(o.warmUp < o.endTime))
        throw BadValue("warm-up", "must be a time from 0 to below the end time, not '" + text("warm-up") + "'");
    }
    if (vm.count("summary-json")) {
      o.summaryJson = text("summary-json");
      if (o.summaryJson.empty()) throw BadValue("summary-json", "needs a file name");
    }
    if (vm.count("sweep")) {
      for (const std::string& text : vm["sweep"].as<std::vector<std::string>>()) {
        SweepParameter p;
        try {
          p = ParseSweep(text);
        } catch (const std::invalid_argument& e) {
          throw BadValue("sweep", e.what());
        }
        const po::option_description* swept = desc.find_nothrow(p.option, false);
        if (swept == nullptr) throw BadValue("sweep", "'" + p.option + "' is not an option");
        if (swept->semantic()->max_tokens() == 0 || !SweepAllowed(p.option))
          throw BadValue("sweep", "--" + p.option + " cannot be swept");
        if (vm.count(p.option)) throw BadValue("sweep", "--" + p.option + " is given and swept");
        for (const SweepParameter& other : o.sweeps)
          if (other.option == p.option) throw BadValue("sweep", "--" + p.option + " is swept twice");
        o.sweeps.push_back(p);
      }
    }
    if (vm.count("sweep-point")) {
      if (o.sweeps.empty()) throw BadValue("sweep-point", "needs --sweep");
      o.sweepPoint = static_cast<int>(Count("sweep-point", text("sweep-point"), 1, 100000000));
    }
    if (vm.count("emit-jobs")) {
      o.emitJobs = text("emit-jobs");
      if (o.emitJobs.empty()) throw BadValue("emit-jobs", "needs a file name");
    }
    if (vm.count("replication")) {
      o.replication = static_cast<int>(Count("replication", text("replication"), 1, 1000000));
      if (o.replication > o.replications)
        throw BadValue("replication", "must be at most --replications (" + std::to_string(o.replications) + ")");
    }
    if (vm.count("result")) {
      o.resultPath = text("result");
      if (o.resultPath.empty()) throw BadValue("result", "needs a file name");
    }
    if (vm.count("series")) {
      o.seriesPath = text("series");
      if (o.seriesPath.empty()) throw BadValue("series", "needs a file name");
    }
    if (vm.count("series-interval")) {
      if (!vm.count("series") && !vm.count("plot")) throw BadValue("series-interval", "needs --series or --plot");
      o.seriesInterval = Positive("series-interval", text("series-interval"));
      if (o.endTime / o.seriesInterval > 1e8)
        throw BadValue("series-interval", "would sample more than 10^8 times before the end time");
    }
    if (vm.count("plot")) {
      o.plotDir = text("plot");
      if (o.plotDir.empty()) throw BadValue("plot", "needs a directory");
    }
    if (vm.count("limit")) o.limit = Count("limit", text("limit"), 1, UINT64_MAX);
    if (vm.count("panel-limit")) o.limitB = Count("panel-limit", text("panel-limit"), 1, UINT64_MAX);
    if (vm.count("handling")) {
      const std::string h = text("handling");
      if (h == "deterministic")
        o.handling = 0;
      else if (h == "randomised" || h == "randomized")
        o.handling = 1;
      else
        throw BadValue("handling", "'" + h + "' is neither deterministic nor randomised");
    }
    if (vm.count("calendars")) {
      const std::string c = text("calendars");
      if (c != "separate" && c != "combined")
        throw BadValue("calendars", "'" + c + "' is neither separate nor combined");
      o.combinedCalendars = c == "combined";
    }
    if (vm.count("max-events-per-step"))
      o.maxEventsAtTimeStep = Count("max-events-per-step", text("max-events-per-step"), 1, UINT32_MAX);
    if (vm.count("csv")) {
      o.csvPath = text("csv");
      if (o.csvPath.empty()) throw BadValue("csv", "needs a file name");
    }
    o.exactQuantiles = vm.count("exact-quantiles") > 0;
    if (vm.count("progress")) {
      const std::string p = text("progress");
      if (p == "auto")
        o.progress = RunOptions::ProgressAuto;
      else if (p == "always")
        o.progress = RunOptions::ProgressAlways;
      else if (p == "never")
        o.progress = RunOptions::ProgressNever;
      else
        throw BadValue("progress", "'" + p + "' is not auto, always or never");
    }
    if (vm.count("trace")) {
      std::istringstream list(text("trace"));
      std::string family;
      while (std::getline(list, family, ',')) {
        if (family == "all") {
          o.traceEvents = o.traceEntities = o.traceCalendar = true;
        } else if (family == "events") {
          o.traceEvents = true;
        } else if (family == "entities") {
          o.traceEntities = true;
        } else if (family == "calendar") {
          o.traceCalendar = true;
        } else {
          throw BadValue("trace", "'" + family + "' is not all, events, entities or calendar");
        }
      }
      if (!o.Traces()) throw BadValue("trace", "names nothing to trace");
    }
    if (vm.count("trace-file")) {
      o.traceFile = text("trace-file");
      if (o.traceFile.empty()) throw BadValue("trace-file", "needs a file name");
      if (!o.Traces()) o.traceEvents = o.traceEntities = o.traceCalendar = true;
    }
    if (vm.count("trace-format")) {
      const std::string f = text("trace-format");
      if (f != "text" && f != "jsonl") throw BadValue("trace-format", "'" + f + "' is neither text nor jsonl");
      o.traceJson = f == "jsonl";
    }
    // A filter alone traces everything it lets through.
    bool filtered = false;
    if (vm.count("trace-block")) {
      o.traceBlockFilter = vm["trace-block"].as<std::vector<std::string>>();
      for (const std::string& b : o.traceBlockFilter)
        if (b.empty()) throw BadValue("trace-block", "needs a block name");
      filtered = true;
    }
    if (vm.count("trace-entity")) {
      for (const std::string& id : vm["trace-entity"].as<std::vector<std::string>>()) {
        const std::string digits = id.compare(0, 2, "en") == 0 ? id.substr(2) : id;
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits[0] == '0')
          throw BadValue("trace-entity", "'" + id + "' is not an entity id (en5, or 5)");
        o.traceEntityFilter.push_back("en" + digits);
      }
      filtered = true;
    }
    for (const char* bound : {"trace-from", "trace-to"}) {
      if (!vm.count(bound)) continue;
      const double t = Number(bound, text(bound));
      if (t < 0.0 || std::isnan(t)) throw BadValue(bound, "must be a time of 0 or more, not '" + text(bound) + "'");
      (std::string(bound) == "trace-from" ? o.traceFrom : o.traceTo) = t;
      filtered = true;
    }
    if (o.traceFrom > o.traceTo) throw BadValue("trace-to", "comes before --trace-from");
    if (filtered && !o.Traces()) o.traceEvents = o.traceEntities = o.traceCalendar = true;
    o.fingerprint = vm.count("fingerprint") > 0;
    o.debug = vm.count("debug") > 0;
    if (vm.count("debug-commands")) {
      o.debugCommandsFile = text("debug-commands");
      if (o.debugCommandsFile.empty()) throw BadValue("debug-commands", "needs a file name");
    }
    if (vm.count("break-at")) {
      o.breakAt = Number("break-at", text("break-at"));
      if (o.breakAt < 0.0 || std::isinf(o.breakAt))
        throw BadValue("break-at", "must be a time of 0 or more, not '" + text("break-at") + "'");
    }
    CheckApplies(vm, o);
  } catch (const std::invalid_argument& e) {
    outcome.kind = ParseOutcome::Invalid;
    outcome.text = e.what();
  } catch (const po::error& e) {
    outcome.kind = ParseOutcome::Invalid;
    outcome.text = e.what();
  } catch (const BadValue& e) {
    outcome.kind = ParseOutcome::Invalid;
    outcome.text = e.what();
  }
  return outcome;
}
