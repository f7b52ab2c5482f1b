#include "app/BuiltinModel.h"

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

namespace {

template <class B, class... Args>
std::unique_ptr<B> Make(Args&&... args) {
  return std::unique_ptr<B>(new B(std::forward<Args>(args)...));
}

using summary::Count;
using summary::Format;
using summary::Line;
using summary::Real;

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

BuiltinModel::BuiltinModel(const RunOptions& opts, ModelDriver& driver) : options(opts) {
  if (options.model == "assembly")
    BuildAssembly(driver);
  else
    BuildQueue(driver);
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
}

void BuiltinModel::ObserveDepartures(const Sink::Observer& observer) {
  for (Sink* s : sinks) s->SetObserver(observer);
}

void BuiltinModel::ReserveObservations(std::size_t n) {
  for (ReadTimer* t : timers) t->Elapsed().KeepAll(n);
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

void BuiltinModel::PrintSummary(std::ostream& out, const RunReport& report) const {
  if (options.model == "assembly")
    PrintAssemblySummary(out, report);
  else
    PrintQueueSummary(out, report);
  summary::PrintEngine(out, report);
}

void BuiltinModel::PrintQueueSummary(std::ostream& out, const RunReport& report) const {
  const bool theory = options.IsPlainMM1() && options.arrivalRate < options.serviceRate;
  const double lambda = options.arrivalRate, mu = options.serviceRate;
  const double rho = lambda / mu;
  auto th = [theory](double v) { return theory ? Real(v) : std::string(); };

  out << "entities\n";
  Line(out, "generated", Count(arrivals->Generated()));
  Line(out, "served", Count(served->Count()));
  Line(out, "timed out", Count(timedOut->Count()));
  Line(out, "in the model at the end", Count(report.partsInModel));

  const Tally& t = servedTime->Elapsed();
  if (theory) {
    char heading[160];
    std::snprintf(heading, sizeof heading, "\n%-32s %14s %14s\n", "time in system (served)", "measured",
                  "M/M/1 theory");
    out << heading;
  } else {
    out << "\ntime in system (served)\n";
  }
  Line(out, "mean", Real(t.Mean()), th(1.0 / (mu - lambda)));
  // In an M/M/1 queue the time in system is exponential with rate mu - lambda.
  Line(out, "median", Real(t.Quantile(0.5)), th(std::log(2.0) / (mu - lambda)));
  Line(out, "95th percentile", Real(t.Quantile(0.95)), th(std::log(20.0) / (mu - lambda)));
  out << "\nqueue and server\n";
  Line(out, "time-average queue length", Real(queue->AverageLength()), th(rho * rho / (1.0 - rho)));
  Line(out, "server utilisation", Real(server->Utilisation()), th(rho));
}

void BuiltinModel::PrintAssemblySummary(std::ostream& out, const RunReport& report) const {
  out << "parts and assemblies\n";
  Line(out, "frames generated", Count(arrivals->Generated()));
  Line(out, "panels generated", Count(panels->Generated()));
  Line(out, "assemblies made", Count(combiner->Combined()));
  Line(out, "assemblies served", Count(server->Completed()));
  Line(out, "assemblies split", Count(splitter->Split()));
  Line(out, "frames out", Count(sinks[0]->Count()));
  Line(out, "panels out", Count(sinks[1]->Count()));
  Line(out, "parts in the model at the end", Count(report.partsInModel));
  out << "\ntime in system\n";
  Line(out, "frames: mean", Real(servedTime->Elapsed().Mean()));
  Line(out, "frames: median", Real(servedTime->Elapsed().Quantile(0.5)));
  Line(out, "frames: 95th percentile", Real(servedTime->Elapsed().Quantile(0.95)));
  Line(out, "panels: mean", Real(panelTime->Elapsed().Mean()));
  Line(out, "panels: median", Real(panelTime->Elapsed().Quantile(0.5)));
  Line(out, "panels: 95th percentile", Real(panelTime->Elapsed().Quantile(0.95)));
  out << "\nqueues and station\n";
  Line(out, "time-average frame queue", Real(queue->AverageLength()));
  Line(out, "time-average panel queue", Real(panelQueue->AverageLength()));
  Line(out, "station utilisation", Real(server->Utilisation()));
}
