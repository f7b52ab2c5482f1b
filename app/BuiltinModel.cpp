#include "app/BuiltinModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "app/SummaryTable.h"
#include "blocks/AttributeSetter.h"
#include "blocks/Combiner.h"
#include "blocks/EntityGenerator.h"
#include "blocks/Queue.h"
#include "blocks/ReadTimer.h"
#include "blocks/Server.h"
#include "blocks/Splitter.h"
#include "blocks/StartTimer.h"
#include "model/ModelDriver.h"
#include "tarnwell.h"

namespace {

template <class B, class... Args>
std::unique_ptr<B> Make(Args&&... args) {
  return std::unique_ptr<B>(new B(std::forward<Args>(args)...));
}

using summary::Format;

// The command line gives a rate, or a distribution of the service time.
Distribution ServiceTime(const RunOptions& options) {
  return options.serviceTime.empty() ? Distribution::ExponentialRate(options.serviceRate)
                                     : Distribution::Parse(options.serviceTime, true);
}

std::string Number(double v) { return Format("%g", v); }

}  // namespace

DriverConfig DriverConfigFor(const RunOptions& options) {
  DriverConfig config;
  config.modelName = options.model;
  config.endTime = options.endTime;
  config.handling = options.handling;
  config.seed = options.seed;
  config.combinedCalendars = options.combinedCalendars;
  config.maxEventsAtTimeStep = options.maxEventsAtTimeStep;
  config.fingerprint = options.fingerprint;
  return config;
}

BuiltinModel::BuiltinModel(const RunOptions& opts, ModelDriver& modelDriver) : options(opts), driver(modelDriver) {
  if (options.model == "assembly")
    BuildAssembly(driver);
  else
    BuildQueue(driver);
  WatchSinks();
  if (options.warmUp > 0.0) {
    measuring = false;
    driver.AtTime(options.warmUp, [this](double t) { WarmUpEnds(t); });
  }
}

void BuiltinModel::BuildQueue(ModelDriver& driver) {
  EntityTypeDescription customer("Customer");
  customer.With("Serial", "int", 0).With("Priority", "double", 0).With("TimeInSystem", "double", 0);
  attributeNames = {"Serial", "Priority", "TimeInSystem"};

  arrivals = driver.Add("Arrivals", Make<EntityGenerator>(customer, Distribution::ExponentialRate(options.arrivalRate)));
  arrivals->SetSerialAttribute("Serial");
  arrivals->AddAttributeRule("Priority", Distribution::Uniform(0.0, 1.0));
  arrivals->SetLimit(options.limit);
  auto* start = driver.Add("Start Timer", Make<StartTimer>("System"));
  queue = driver.Add("Queue", Make<Queue>(options.capacity == 0 ? Queue::kInfinite : options.capacity));
  if (!options.priorityAttribute.empty()) queue->SetPriorityAttribute(options.priorityAttribute);
  if (options.patience > 0.0)
    queue->SetPatience(options.patienceFixed ? Distribution::Fixed(options.patience)
                                             : Distribution::ExponentialMean(options.patience));
  server = driver.Add("Server", Make<Server>(options.servers, ServiceTime(options)));
  servedTime = driver.Add("Time In System", Make<ReadTimer>("System"));
  servedTime->WriteTo("TimeInSystem");
  served = driver.Add("Served", Make<Sink>());
  auto* waited = driver.Add("Time Before Giving Up", Make<ReadTimer>("System"));
  waited->WriteTo("TimeInSystem");
  timedOut = driver.Add("Timed Out", Make<Sink>());

  arrivals->Connect(0, start);
  start->Connect(0, queue);
  queue->Connect(Queue::kOut, server);
  queue->Connect(Queue::kTimedOut, waited);
  server->Connect(0, servedTime);
  servedTime->Connect(0, served);
  waited->Connect(0, timedOut);
  sinks = {served, timedOut};
  timers = {servedTime, waited};
  watches.push_back(Watch{served, "TimeInSystem", Tally()});
  watches.push_back(Watch{timedOut, "TimeInSystem", Tally()});
}

void BuiltinModel::BuildAssembly(ModelDriver& driver) {
  // Attribute names and timer tags are unique across the two part types:
  // the assembly shares both parts' attributes and timers under one name
  // space.
  EntityTypeDescription frame("Frame");
  frame.With("FrameSerial", "int", 0).With("Length", "double", 0).With("Inspected", "double", -1)
      .With("FrameTime", "double", 0);
  EntityTypeDescription panel("Panel");
  panel.With("PanelSerial", "int", 0).With("Width", "double", 0).With("PanelTime", "double", 0);
  attributeNames = {"FrameSerial", "Length", "Inspected", "FrameTime", "PanelSerial", "Width", "PanelTime"};

  const double panelRate = options.partBRate > 0.0 ? options.partBRate : options.arrivalRate;
  arrivals = driver.Add("Frames", Make<EntityGenerator>(frame, Distribution::ExponentialRate(options.arrivalRate)));
  arrivals->SetSerialAttribute("FrameSerial");
  arrivals->AddAttributeRule("Length", Distribution::Uniform(1.9, 2.1));
  arrivals->SetLimit(options.limit);
  panels = driver.Add("Panels", Make<EntityGenerator>(panel, Distribution::ExponentialRate(panelRate)));
  panels->SetSerialAttribute("PanelSerial");
  panels->AddAttributeRule("Width", Distribution::Uniform(0.9, 1.1));
  panels->SetLimit(options.limitB != 0 ? options.limitB : options.limit);
  auto* frameTimer = driver.Add("Frame Timer", Make<StartTimer>("Frame"));
  auto* panelTimer = driver.Add("Panel Timer", Make<StartTimer>("Panel"));
  const std::size_t capacity = options.capacity == 0 ? Queue::kInfinite : options.capacity;
  queue = driver.Add("Frame Queue", Make<Queue>(capacity));
  panelQueue = driver.Add("Panel Queue", Make<Queue>(capacity));
  combiner = driver.Add("Assemble", Make<Combiner>(2, "Assembly"));
  server = driver.Add("Station", Make<Server>(options.servers, ServiceTime(options)));
  auto* inspect = driver.Add("Inspect", Make<AttributeSetter>());
  inspect->SetToClock("Inspected");
  splitter = driver.Add("Split", Make<Splitter>(2));
  servedTime = driver.Add("Frame Time", Make<ReadTimer>("Frame"));
  servedTime->WriteTo("FrameTime");
  panelTime = driver.Add("Panel Time", Make<ReadTimer>("Panel"));
  panelTime->WriteTo("PanelTime");
  served = driver.Add("Frames Out", Make<Sink>());
  auto* panelsOut = driver.Add("Panels Out", Make<Sink>());

  arrivals->Connect(0, frameTimer);
  frameTimer->Connect(0, queue);
  queue->Connect(Queue::kOut, combiner, 0);
  panels->Connect(0, panelTimer);
  panelTimer->Connect(0, panelQueue);
  panelQueue->Connect(Queue::kOut, combiner, 1);
  combiner->Connect(0, server);
  server->Connect(0, inspect);
  inspect->Connect(0, splitter);
  splitter->Connect(0, servedTime);
  splitter->Connect(1, panelTime);
  servedTime->Connect(0, served);
  panelTime->Connect(0, panelsOut);
  sinks = {served, panelsOut};
  timers = {servedTime, panelTime};
  watches.push_back(Watch{served, "FrameTime", Tally()});
  watches.push_back(Watch{panelsOut, "PanelTime", Tally()});
}

void BuiltinModel::WatchSinks() {
  for (Watch& w : watches) {
    Watch* watch = &w;
    w.sink->SetObserver([this, watch](const Sink& sink, DesEntity& entity, double time) {
      if (measuring) {
        const double t = entity.ReadNumberFromAttribute(const_cast<Sink*>(&sink), watch->attribute);
        watch->tally.Add(t);
        if (keepTimes && watch == &watches.front()) times.push_back(t);
      }
      if (forward) forward(sink, entity, time);
    });
  }
}

void BuiltinModel::ObserveDepartures(const Sink::Observer& observer) { forward = observer; }

void BuiltinModel::ReserveObservations(std::size_t n) {
  for (ReadTimer* t : timers) t->Elapsed().KeepAll(n);
  for (Watch& w : watches) w.tally.KeepAll(n);
}

void BuiltinModel::WarmUpEnds(double time) {
  // Closing a time average part-way only brings its area up to date.
  Baseline& b = baseline;
  b.time = time;
  b.generated = arrivals->Generated();
  b.panels = panels != nullptr ? panels->Generated() : 0;
  b.served = served->Count();
  b.timedOut = TimedOut();
  b.completed = server->Completed();
  b.combined = combiner != nullptr ? combiner->Combined() : 0;
  b.split = splitter != nullptr ? splitter->Split() : 0;
  for (int i = 0; i < 2; ++i) b.departed[i] = sinks[i]->Count();
  queue->CloseStatistics(time);
  b.queueArea = queue->AverageLength() * time;
  if (panelQueue != nullptr) {
    panelQueue->CloseStatistics(time);
    b.panelQueueArea = panelQueue->AverageLength() * time;
  }
  server->CloseStatistics(time);
  b.busyArea = server->Utilisation() * time;
  measuring = true;
}

double BuiltinModel::SinceWarmUp(double average, double area, double end) const {
  return summary::AverageSince(average, end, area, baseline.time);
}

std::vector<std::string> BuiltinModel::SeriesColumns() const {
  if (options.model == "assembly") return {"frame queue", "panel queue", "in model", "station utilisation"};
  return {"queue length", "in model", "server utilisation"};
}

void BuiltinModel::SampleSeries(std::vector<double>& values) const {
  values.clear();
  values.push_back(static_cast<double>(queue->Length()));
  if (panelQueue != nullptr) values.push_back(static_cast<double>(panelQueue->Length()));
  std::size_t held = 0;
  for (const auto& block : driver.Blocks()) held += block->EntitiesHeld();
  values.push_back(static_cast<double>(held));
  values.push_back(static_cast<double>(server->EntitiesHeld()) / server->Servers());
}

double BuiltinModel::TimeInSystemRate() const {
  return options.IsPlainMM1() && OfferedLoad() < 1.0 ? options.serviceRate - options.arrivalRate : 0.0;
}

double BuiltinModel::OfferedLoad() const {
  const double service =
      options.serviceTime.empty() ? 1.0 / options.serviceRate : Distribution::Parse(options.serviceTime, true).Mean();
  double rate = options.arrivalRate;
  if (options.model == "assembly" && options.partBRate > 0.0) rate = std::min(rate, options.partBRate);
  return rate * service / options.servers;
}

uint64_t BuiltinModel::Generated() const {
  return arrivals->Generated() + (panels != nullptr ? panels->Generated() : 0);
}

uint64_t BuiltinModel::Departed() const {
  uint64_t n = 0;
  for (const Sink* s : sinks) n += s->Count();
  return n;
}

uint64_t BuiltinModel::Served() const { return served->Count(); }
uint64_t BuiltinModel::TimedOut() const { return timedOut != nullptr ? timedOut->Count() : 0; }

std::string BuiltinModel::Describe() const {
  const RunOptions& o = options;
  char text[512];
  const std::string capacity = o.capacity == 0 ? "inf" : std::to_string(o.capacity);
  const std::string service =
      o.serviceTime.empty() ? "at rate " + Number(o.serviceRate) : "serving " + ServiceTime(o).Describe();
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
  return text;
}

summary::Statistics BuiltinModel::Statistics(const RunReport& report) const {
  summary::Statistics s;
  const double load = OfferedLoad();
  if (load >= 1.0)
    s.notes.push_back("warning: the offered load (arrival rate x mean service time / servers) is " +
                      Format("%g", load) +
                      ", 1 or more: the servers cannot keep up, the queue has no steady state and its figures "
                      "grow with the run; no theory is shown");
  const double end = report.interrupted ? report.timeReached : options.endTime;
  if (options.model == "assembly")
    AssemblyStatistics(s, report, end);
  else
    QueueStatistics(s, report, end);
  summary::AddEngine(s, report);
  return s;
}

void BuiltinModel::QueueStatistics(summary::Statistics& s, const RunReport& report, double end) const {
  const bool theory = options.IsPlainMM1() && OfferedLoad() < 1.0;
  const double lambda = options.arrivalRate, mu = options.serviceRate;
  const double rho = lambda / mu;
  const double none = std::nan("");
  auto th = [theory, none](double v) { return theory ? v : none; };
  s.theoryName = "M/M/1 theory";
  const Baseline& b = baseline;
  const double span = end - b.time;

  const char* entities = "entities";
  s.Add(entities, "generated", static_cast<double>(arrivals->Generated() - b.generated), 0);
  s.Add(entities, "served", static_cast<double>(served->Count() - b.served), 0);
  s.Add(entities, "timed out", static_cast<double>(TimedOut() - b.timedOut), 0);
  if (options.patience > 0.0) s.Key("timed out");
  s.Add(entities, "in the model at the end", static_cast<double>(report.partsInModel), 0);

  const Tally& t = watches[0].tally;
  const char* inSystem = "time in system (served)";
  s.Add(inSystem, "mean", t.Mean(), 4, th(1.0 / (mu - lambda)));
  s.Key("time in system");
  // In an M/M/1 queue the time in system is exponential with rate mu - lambda.
  s.Add(inSystem, "median", t.Quantile(0.5), 4, th(std::log(2.0) / (mu - lambda)));
  s.Add(inSystem, "95th percentile", t.Quantile(0.95), 4, th(std::log(20.0) / (mu - lambda)));
  // Little's law on the queue alone: its time-average length over the rate
  // at which entities leave it (to a server or by giving up), which in the
  // long run is the rate at which they join it.
  const double queueLength = SinceWarmUp(queue->AverageLength(), b.queueArea, end);
  const double leftQueue = static_cast<double>(served->Count() - b.served + TimedOut() - b.timedOut);
  s.Add("waiting time in the queue", "mean (Little's law)",
        span > 0.0 && leftQueue > 0.0 ? queueLength * span / leftQueue : none, 4, th(rho / (mu - lambda)));
  if (options.patience > 0.0) {
    const Tally& g = watches[1].tally;
    s.Add("time before giving up (timed out)", "mean", g.Mean());
    s.Add("time before giving up (timed out)", "95th percentile", g.Quantile(0.95));
  }
  const char* station = "queue and server";
  s.Add(station, "time-average queue length", queueLength, 4, th(rho * rho / (1.0 - rho)));
  s.Key("queue length");
  s.Add(station, "server utilisation", SinceWarmUp(server->Utilisation(), b.busyArea, end), 4, th(rho));
  s.Key("utilisation");
  s.Add(station, "throughput per time unit",
        span > 0.0 ? static_cast<double>(served->Count() - b.served) / span : none, 4, th(lambda));
  s.Key("throughput");
}

void BuiltinModel::AssemblyStatistics(summary::Statistics& s, const RunReport& report, double end) const {
  const Baseline& b = baseline;
  const double span = end - b.time;
  const char* parts = "parts and assemblies";
  s.Add(parts, "frames generated", static_cast<double>(arrivals->Generated() - b.generated), 0);
  s.Add(parts, "panels generated", static_cast<double>(panels->Generated() - b.panels), 0);
  s.Add(parts, "assemblies made", static_cast<double>(combiner->Combined() - b.combined), 0);
  s.Add(parts, "assemblies served", static_cast<double>(server->Completed() - b.completed), 0);
  s.Add(parts, "assemblies split", static_cast<double>(splitter->Split() - b.split), 0);
  s.Add(parts, "frames out", static_cast<double>(sinks[0]->Count() - b.departed[0]), 0);
  s.Add(parts, "panels out", static_cast<double>(sinks[1]->Count() - b.departed[1]), 0);
  s.Add(parts, "parts in the model at the end", static_cast<double>(report.partsInModel), 0);
  const char* inSystem = "time in system";
  const Tally& frames = watches[0].tally;
  const Tally& panelTimes = watches[1].tally;
  s.Add(inSystem, "frames: mean", frames.Mean());
  s.Key("frame time");
  s.Add(inSystem, "frames: median", frames.Quantile(0.5));
  s.Add(inSystem, "frames: 95th percentile", frames.Quantile(0.95));
  s.Add(inSystem, "panels: mean", panelTimes.Mean());
  s.Key("panel time");
  s.Add(inSystem, "panels: median", panelTimes.Quantile(0.5));
  s.Add(inSystem, "panels: 95th percentile", panelTimes.Quantile(0.95));
  const char* station = "queues and station";
  s.Add(station, "time-average frame queue", SinceWarmUp(queue->AverageLength(), b.queueArea, end));
  s.Add(station, "time-average panel queue", SinceWarmUp(panelQueue->AverageLength(), b.panelQueueArea, end));
  s.Add(station, "station utilisation", SinceWarmUp(server->Utilisation(), b.busyArea, end));
  s.Key("utilisation");
  s.Add(station, "assemblies per time unit",
        span > 0.0 ? static_cast<double>(server->Completed() - b.completed) / span : std::nan(""));
  s.Key("throughput");
}
