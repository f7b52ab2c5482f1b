#include "model/DebuggerCommands.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

#include "host/HostControl.h"
#include "host/HostInternal.h"
#include "host/TraceRenderer.h"
#include "tarnwell.h"

namespace host {

namespace {

typedef std::vector<std::string> Args;

// A mistake at the prompt: its message is printed as the one line.
struct Mistake {
  std::string message;
};

const std::string& Arg(const Args& args, std::size_t i, const char* what) {
  if (i >= args.size()) throw Mistake{std::string("missing ") + what};
  return args[i];
}

double Time(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const double t = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(t) || t < 0)
    throw Mistake{"'" + text + "' is not a time (a number, 0 or more)"};
  return t;
}

// The block named by id ("blk3"), by its path or by its name in the model.
DebugBlock* FindBlock(TWDebugger* d, const std::string& key) {
  DesSimState* state = d->GetSimState();
  DebugBlock* block = state->GetBlockById(key);
  if (block == nullptr) block = state->GetBlockByName(key);
  if (block == nullptr) block = state->GetBlockByName(d->GetModelName() + "/" + key);
  if (block == nullptr) throw Mistake{"no block '" + key + "' (blocks lists them)"};
  return block;
}

void Resume(TWDebugger* d, bool stepping, int level) {
  BreakPointManager* breaks = d->GetBreakPointManager();
  breaks->SetBreakEnabled(true);
  breaks->SetSingleSteppingEnabled(stepping);
  if (stepping) breaks->SetNextSingleStepExecLevel(level);
  d->GetShell()->SetContinueSim(true);
}

void PrintBreakPoints(TWDebugger* d) {
  hvArray* list = d->GetBreakPointManager()->GetAllBreakPointsAsCell();
  if (list == nullptr || hvGetN(list) == 0) {
    hostPrintf("No breakpoints.\n");
  } else {
    hostPrintf("%-6s %-8s %-32s %s\n", "Id", "Type", "Where", "Enabled");
    for (std::size_t k = 0; k < hvGetN(list); ++k) {
      std::string cells[4];
      for (int r = 0; r < 4; ++r) cells[r] = detail::arrayText(hvGetCell(list, 4 * k + r));
      const hvArray* on = hvGetCell(list, 4 * k + 3);
      if (on != nullptr && hvGetClassID(on) == hvDOUBLE_CLASS)
        cells[3] = hvGetPr(on)[0] != 0 ? "yes" : "no";
      hostPrintf("%-6s %-8s %-32s %s\n", cells[0].c_str(), cells[1].c_str(), cells[2].c_str(),
                 cells[3].c_str());
    }
  }
  hvDestroyArray(list);
}

void PrintBlocks(TWDebugger* d) {
  hvArray* list = d->GetSimState()->GetBlockListAsHvArray();
  for (std::size_t k = 0; list != nullptr && k < hvGetN(list); ++k)
    hostPrintf("%-8s %s\n", detail::arrayText(hvGetCell(list, 2 * k)).c_str(),
               detail::arrayText(hvGetCell(list, 2 * k + 1)).c_str());
  hvDestroyArray(list);
}

void PrintCalendar(TWDebugger* d) {
  d->GetDesInstance()->GetEventCalendar()->LogCalendar(false);
  hvArray* table = d->GetSimState()->ReleaseEventCalendarHvArray();
  hvArray* record = hvCreateCellMatrix(2, 2);
  hvSetCell(record, 0, hvCreateString("Action"));
  hvSetCell(record, 1, hvCreateString("cal"));
  hvSetCell(record, 2, hvCreateString("Data"));
  hvSetCell(record, 3, table);
  TraceRenderer renderer;
  hostPrintf("%s", renderer.Render(record).c_str());
  hvDestroyArray(record);
}

void PrintBlockState(TWDebugger* d, const std::string& key) {
  DebugBlock* block = FindBlock(d, key);
  BlockStateResult* state = block->GetBlock()->GetBlockState();
  if (state == nullptr) {
    hostPrintf("%s (%s) reports no state.\n", block->GetName().c_str(), block->GetId().c_str());
    return;
  }
  hvArray* lines = state->GetBlockDataAsHvArray();
  hvArray* table = state->GetEntityTableAsHvArray();
  delete state;
  hostPrintf("%s (%s)\n", block->GetName().c_str(), block->GetId().c_str());
  for (std::size_t i = 0; lines != nullptr && i < hvGetNumberOfElements(lines); ++i)
    hostPrintf("  %s\n", detail::arrayText(hvGetCell(lines, i)).c_str());
  // Column k of the table is the k-th entity's row; its texts line up.
  const std::size_t fields = table != nullptr ? hvGetM(table) : 0, entities = table != nullptr ? hvGetN(table) : 0;
  auto text = [&](std::size_t entity, std::size_t field) {
    const hvArray* cell = hvGetCell(table, entity * fields + field);
    return cell != nullptr && hvGetClassID(cell) == hvCHAR_CLASS ? detail::arrayText(cell) : std::string();
  };
  std::vector<std::size_t> widths(fields, 0);
  for (std::size_t e = 0; e < entities; ++e)
    for (std::size_t f = 0; f < fields; ++f) widths[f] = std::max(widths[f], text(e, f).size());
  for (std::size_t e = 0; e < entities; ++e) {
    std::string row = "  ";
    for (std::size_t f = 0; f < fields; ++f) {
      const std::string t = text(e, f);
      row += t + (f + 1 < fields ? std::string(widths[f] - t.size() + 2, ' ') : std::string());
    }
    hostPrintf("%s\n", row.c_str());
  }
  hvDestroyArray(lines);
  hvDestroyArray(table);
}

// A value as the entity holds it: text as it is, a number in its shortest
// exact form, a matrix row by row.
std::string ValueText(const hvArray* a) {
  if (a == nullptr) return "(no value)";
  if (hvGetClassID(a) == hvCHAR_CLASS) return "'" + detail::arrayText(a) + "'";
  if (hvGetClassID(a) != hvDOUBLE_CLASS) return "(a host value)";
  const std::size_t m = hvGetM(a), n = hvGetN(a);
  const double* re = hvGetPr(a);
  const double* im = hvIsComplex(a) ? hvGetPi(a) : nullptr;
  auto element = [&](std::size_t i) {
    std::string text = TraceRenderer::ShortestNumber(re[i]);
    if (im != nullptr) text += (im[i] < 0 ? "-" : "+") + TraceRenderer::ShortestNumber(std::fabs(im[i])) + "i";
    return text;
  };
  if (m * n == 1) return element(0);
  std::string text = "[";
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t c = 0; c < n; ++c) text += (c > 0 ? " " : r > 0 ? "; " : "") + element(c * m + r);
  return text + "]";
}

// An entity by its id ("en3", or the number alone).
DesEntity* FindEntity(TWDebugger* d, const std::string& key) {
  const bool number = !key.empty() && key.find_first_not_of("0123456789") == std::string::npos;
  DesEntity* entity = d->GetSimState()->GetEntityById(number ? "en" + key : key);
  if (entity == nullptr) throw Mistake{"no entity '" + key + "' in the model now"};
  return entity;
}

void PrintTimer(TWDebugger* d, const std::string& name, const TimerData& timer) {
  // A timer that no block has started has no start time to show.
  if (timer.GetBlock() == nullptr) {
    hostPrintf("    %-20s not started\n", name.c_str());
    return;
  }
  const double now = d->GetSimState()->GetTimeNow();
  hostPrintf("    %-20s started at %s, %s elapsed\n", name.c_str(),
             TraceRenderer::ShortestNumber(timer.GetStartTime()).c_str(),
             TraceRenderer::ShortestNumber(now - timer.GetStartTime()).c_str());
}

void PrintEntity(TWDebugger* d, const std::string& key) {
  const DesEntity* entity = FindEntity(d, key);
  hostPrintf("%s  type %s\n", entity->GetId().c_str(), entity->GetName().c_str());
  if (const DesEvent* carrier = entity->GetCarrierEvent())
    hostPrintf("  carried by event %s at %s\n", carrier->GetId().c_str(),
               TraceRenderer::ShortestNumber(carrier->GetTime()).c_str());
  hvArray* attributes = entity->GetAttributeDataAsHvArray();
  std::size_t shown = 0;
  for (std::size_t k = 0; attributes != nullptr && k < hvGetN(attributes); ++k) {
    const hvArray* name = hvGetCell(attributes, 2 * k);
    if (name == nullptr) continue;  // an attribute that does not exist on this entity
    if (shown++ == 0) hostPrintf("  attributes:\n");
    hostPrintf("    %-20s %s\n", detail::arrayText(name).c_str(), ValueText(hvGetCell(attributes, 2 * k + 1)).c_str());
  }
  hvDestroyArray(attributes);
  if (shown == 0) hostPrintf("  no attributes\n");
  // Every entity has a timer of its own; it shows once a block started it.
  const bool local = entity->GetLocalTimer() != nullptr && entity->GetLocalTimer()->GetBlock() != nullptr;
  if (entity->GetTimerSet().empty() && !local) {
    hostPrintf("  no timers\n");
  } else {
    hostPrintf("  timers:\n");
    if (local) PrintTimer(d, "(own timer)", *entity->GetLocalTimer());
    for (const RCPtr<TimerData>& timer : entity->GetTimerSet()) PrintTimer(d, timer->GetName(), *timer);
  }
  shown = 0;
  for (const TimeoutData* timeout : entity->GetTimeoutSet()) {
    if (timeout->IsCancelled()) continue;
    if (shown++ == 0) hostPrintf("  timeouts:\n");
    hostPrintf("    %-20s at %s (event %s)\n", timeout->GetTag().c_str(),
               TraceRenderer::ShortestNumber(timeout->GetTimeOfTimeoutEvent()).c_str(),
               timeout->GetEventId().c_str());
  }
  if (shown == 0) hostPrintf("  no timeouts\n");
  if (entity->GetHasSubEntity() != 0) {
    std::vector<std::string> members;
    entity->PeekAllSeqSubEntityIds(members);
    std::string list;
    for (const std::string& id : members) list += " " + id;
    hostPrintf("  members:%s\n", list.c_str());
  }
}

void Trace(TWDebugger* d, const Args& args) {
  const std::string& family = Arg(args, 0, "family (events, entities, calendar or all)");
  const std::string& onOff = Arg(args, 1, "on or off");
  if (onOff != "on" && onOff != "off") throw Mistake{"'" + onOff + "' is neither on nor off"};
  const bool on = onOff == "on";
  LogControl* control = d->GetLogController();
  if (family == "events" || family == "all") control->SetEventLoggingEnabled(on);
  if (family == "entities" || family == "all") control->SetEntityLoggingEnabled(on);
  if (family == "calendar" || family == "all") control->SetCalendarLoggingEnabled(on);
  if (family != "events" && family != "entities" && family != "calendar" && family != "all")
    throw Mistake{"no trace family '" + family + "' (events, entities, calendar or all)"};
}

void Help(const Args& args) {
  if (args.empty() || args[0] == "twdb") {
    for (const DebuggerCommands::Command& c : DebuggerCommands::Commands())
      hostPrintf("  %-22s %s\n", c.usage, c.summary);
    hostPrintf("help COMMAND tells more about one command.\n");
    return;
  }
  for (const DebuggerCommands::Command& c : DebuggerCommands::Commands())
    if (args[0] == c.name) {
      hostPrintf("%s\n%s\n", c.usage, c.details);
      return;
    }
  throw Mistake{"no command '" + args[0] + "' (help lists them)"};
}

typedef std::function<void(TWDebugger*, const Args&)> Body;

const std::map<std::string, Body>& Bodies() {
  static const std::map<std::string, Body> bodies = {
      {"cont", [](TWDebugger* d, const Args&) { Resume(d, false, 0); }},
      {"step", [](TWDebugger* d, const Args&) { Resume(d, true, 1); }},
      {"next", [](TWDebugger* d, const Args&) { Resume(d, true, -1); }},
      {"break",
       [](TWDebugger* d, const Args& args) {
         DebugBlock* block = FindBlock(d, Arg(args, 0, "block id or name"));
         const std::string id = d->GetBreakPointManager()->SetBlockBreakPoint(block->GetId());
         hostPrintf("Breakpoint %s on block %s (%s).\n", id.c_str(), block->GetName().c_str(),
                    block->GetId().c_str());
       }},
      {"tbreak",
       [](TWDebugger* d, const Args& args) {
         const double t = Time(Arg(args, 0, "time"));
         const std::string id = d->GetBreakPointManager()->SetTimedBreakPoint(t);
         hostPrintf("Breakpoint %s at time %s.\n", id.c_str(), TraceRenderer::ShortestNumber(t).c_str());
       }},
      {"ebreak",
       [](TWDebugger* d, const Args& args) {
         bool exists = false;
         const std::string& event = Arg(args, 0, "event id");
         const std::string id = d->GetBreakPointManager()->SetEventBreakPoint(event, exists);
         hostPrintf("Breakpoint %s on event %s%s.\n", id.c_str(), event.c_str(),
                    exists ? "" : " (not scheduled now)");
       }},
      {"info",
       [](TWDebugger* d, const Args& args) {
         const std::string& what = Arg(args, 0, "what to show (breakpoints)");
         if (what != "breakpoints" && what != "b") throw Mistake{"info shows breakpoints, not '" + what + "'"};
         PrintBreakPoints(d);
       }},
      {"enable",
       [](TWDebugger* d, const Args& args) {
         if (!d->GetBreakPointManager()->EnableBreakPoint(Arg(args, 0, "breakpoint id")))
           throw Mistake{"no breakpoint '" + args[0] + "'"};
       }},
      {"disable",
       [](TWDebugger* d, const Args& args) {
         if (!d->GetBreakPointManager()->DisableBreakPoint(Arg(args, 0, "breakpoint id")))
           throw Mistake{"no breakpoint '" + args[0] + "'"};
       }},
      {"delete",
       [](TWDebugger* d, const Args& args) {
         if (!d->GetBreakPointManager()->DeleteBreakPoint(Arg(args, 0, "breakpoint id")))
           throw Mistake{"no breakpoint '" + args[0] + "'"};
       }},
      {"where", [](TWDebugger* d, const Args&) { d->GetSimState()->PrintCurrentSimState(); }},
      {"now",
       [](TWDebugger* d, const Args&) {
         hostPrintf("%s\n", TraceRenderer::ShortestNumber(d->GetSimState()->GetTimeNow()).c_str());
       }},
      {"calendar", [](TWDebugger* d, const Args&) { PrintCalendar(d); }},
      {"blocks", [](TWDebugger* d, const Args&) { PrintBlocks(d); }},
      {"state", [](TWDebugger* d, const Args& args) { PrintBlockState(d, Arg(args, 0, "block id or name")); }},
      {"entity", [](TWDebugger* d, const Args& args) { PrintEntity(d, Arg(args, 0, "entity id")); }},
      {"trace", [](TWDebugger* d, const Args& args) { Trace(d, args); }},
      {"quit",
       [](TWDebugger* d, const Args&) {
         d->Abort();
         if (d->GetShell() != nullptr) d->GetShell()->SetContinueSim(true);
       }},
      {"help", [](TWDebugger*, const Args& args) { Help(args); }},
  };
  return bodies;
}

}  // namespace

const std::vector<DebuggerCommands::Command>& DebuggerCommands::Commands() {
  static const std::vector<Command> commands = {
      {"cont", "cont", "run on to the next breakpoint", "Runs the simulation until a breakpoint is hit or it ends."},
      {"step", "step", "run to the next operation",
       "Stops again at the next printed record of any kind: an entity operation, a\n"
       "scheduled or cancelled event, or the next event's execution."},
      {"next", "next", "run to the next event",
       "Stops again when the next event executes, passing over the operations of this one."},
      {"break", "break BLOCK", "stop whenever BLOCK acts",
       "Sets a breakpoint on a block, named by its id (see blocks) or by its name."},
      {"tbreak", "tbreak T", "stop when time reaches T", "Sets a breakpoint at simulation time T."},
      {"ebreak", "ebreak EVENT", "stop when EVENT executes",
       "Sets a breakpoint on an event by its id (as the trace and calendar show it)."},
      {"info", "info breakpoints", "list the breakpoints", "Lists every breakpoint with its id, kind, place and whether it is enabled."},
      {"enable", "enable ID", "enable a breakpoint", "Enables the breakpoint with this id again."},
      {"disable", "disable ID", "disable a breakpoint", "Keeps the breakpoint but stops no more at it."},
      {"delete", "delete ID", "delete a breakpoint", "Removes the breakpoint with this id."},
      {"where", "where", "show the current operation", "Prints the event executing now and the operation within it."},
      {"now", "now", "show the simulation time", "Prints the current simulation time."},
      {"calendar", "calendar", "show the event calendar", "Prints the waiting events in order; => marks the executing one."},
      {"blocks", "blocks", "list the blocks with their ids", "Prints each debuggable block's id and name."},
      {"state", "state BLOCK", "show what a block holds",
       "Prints a block's own report: a queue's entities, a server's entities in service, ..."},
      {"entity", "entity ID", "show one entity",
       "Prints an entity, named by its id as the trace shows it (en3, or 3 alone):\n"
       "its type, the event carrying it, its attributes with their values, its\n"
       "timers with start and elapsed time, its pending timeouts with their times\n"
       "and events, and the members of a combined entity."},
      {"trace", "trace FAMILY on|off", "switch a trace family",
       "Switches the trace of events, entities, calendar or all of them on or off."},
      {"quit", "quit", "abort the simulation", "Ends the simulation now; the run reports it aborted."},
      {"help", "help [COMMAND]", "list the commands, or explain one", "help alone lists the commands."},
  };
  return commands;
}

void DebuggerCommands::Install(TWDebugger* debugger) {
  for (const auto& entry : Bodies()) {
    const Body body = entry.second;
    registerFunction("twdb." + entry.first, [debugger, body](int, hvArray*[], int nIn, hvArray* in[]) {
      Args args;
      for (int i = 0; i < nIn; ++i) args.push_back(detail::arrayText(in[i]));
      try {
        body(debugger, args);
      } catch (const Mistake& m) {
        hostPrintf("%s\n", m.message.c_str());
      }
    });
  }
}

void DebuggerCommands::Uninstall() {
  for (const auto& entry : Bodies()) unregisterFunction("twdb." + entry.first);
}

}  // namespace host
