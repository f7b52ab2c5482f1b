// `tarnwell --debug` and its relatives, run as a user runs them: the
// executable with its standard input from a file.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Session {
  int status;
  std::string out;
};

std::string TempPath(const std::string& tag) {
  return "/tmp/tarnwell_debug_" + std::to_string(getpid()) + "_" + tag;
}

// Runs the runner on a tiny model with `options`, typing `input`.
Session RunWith(const std::string& options, const std::string& input, const std::string& tag) {
  const std::string in = TempPath(tag + ".in"), out = TempPath(tag + ".out");
  std::ofstream(in) << input;
  const std::string command = std::string(TARNWELL_APP_PATH) +
                              " --end-time 4 --seed 3 --limit 2 --progress never " + options + " < " +
                              in + " > " + out + " 2>&1";
  Session s;
  const int raw = std::system(command.c_str());
  s.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream read(out);
  std::ostringstream text;
  text << read.rdbuf();
  s.out = text.str();
  std::remove(in.c_str());
  std::remove(out.c_str());
  return s;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A timed breakpoint, inspection, one step of each kind, breakpoints listed
// and deleted, then on to the end-of-simulation stop and the summary.
TEST(DebugRun, ASessionStopsInspectsStepsAndEnds) {
  const Session s = RunWith("--debug",
                            "tbreak 2\ncont\nnow\nblocks\ninfo breakpoints\nstep\nnext\n"
                            "delete b1\ninfo b\ncont\ncont\n",
                            "session");
  EXPECT_EQ(s.status, 0) << s.out;
  EXPECT_TRUE(Has(s.out, "Tarnwell debugger.")) << s.out;
  EXPECT_TRUE(Has(s.out, "Breakpoint b1 at time 2.")) << s.out;
  EXPECT_TRUE(Has(s.out, "(twdb) 2.0061814395262725\n")) << s.out;
  EXPECT_TRUE(Has(s.out, "blk3     queue/Queue\n")) << s.out;
  EXPECT_TRUE(Has(s.out, "b1     Timed    2")) << s.out;
  EXPECT_TRUE(Has(s.out, "No breakpoints.")) << s.out;
  EXPECT_TRUE(Has(s.out, "end of simulation")) << s.out;
  EXPECT_TRUE(Has(s.out, "events executed")) << s.out;
}

// Every mistake is one line, and the prompt asks again.
TEST(DebugRun, MistakesAreOneLineAndThePromptAsksAgain) {
  const Session s = RunWith("--break-at 1", "break nosuch\ntbreak x\ntbreak\ndelete b9\ntrace x on\nhelp nosuch\ncont\ncont\n",
                            "mistakes");
  EXPECT_EQ(s.status, 0) << s.out;
  for (const char* line :
       {"(twdb) no block 'nosuch' (blocks lists them)\n", "(twdb) 'x' is not a time (a number, 0 or more)\n",
        "(twdb) missing time\n", "(twdb) no breakpoint 'b9'\n",
        "(twdb) no trace family 'x' (events, entities, calendar or all)\n",
        "(twdb) no command 'nosuch' (help lists them)\n"})
    EXPECT_TRUE(Has(s.out, line)) << line << s.out;
}

// Quitting, or the end of input, aborts: the abort line, exit status 1.
// A quit where a server's completion is about to run, or in the middle of
// the hand-overs it starts, leaves the blocks their events to release (the
// sanitizer tree's executable sees any event freed under a block).
TEST(DebugRun, QuitAndTheEndOfInputAbortTheRun) {
  for (const std::string& input : {std::string("quit\n"), std::string(), std::string("tbreak 1.7\ncont\nquit\n"),
                                   std::string("tbreak 1.7\ncont\nstep\nstep\nquit\n")}) {
    const Session s = RunWith("--debug", input, input.empty() ? "eof" : "quit");
    EXPECT_EQ(s.status, 1) << s.out;
    EXPECT_TRUE(Has(s.out, "Abort Simulation")) << s.out;
    EXPECT_FALSE(Has(s.out, "events executed")) << s.out;
  }
}

// Commands from a file run at the first stop before the prompt reads.
TEST(DebugRun, StartUpCommandsRunBeforeThePromptAsks) {
  const std::string commands = TempPath("startup.cmds");
  std::ofstream(commands) << "tbreak 2\ncont\n";
  const Session s = RunWith("--debug --debug-commands " + commands, "now\ncont\ncont\n", "startup");
  std::remove(commands.c_str());
  EXPECT_EQ(s.status, 0) << s.out;
  EXPECT_TRUE(Has(s.out, "Breakpoint b1 at time 2.")) << s.out;
  EXPECT_TRUE(Has(s.out, "(twdb) 2.0061814395262725")) << s.out;
}

// The blocks answer `state`: by name, path or id, a server with the
// entity in service and when it completes, a queue with its entities and
// when they arrived, as the run goes on. Service is slow here, so the second
// customer waits.
TEST(DebugRun, StateShowsWhatAQueueAndAServerHold) {
  const Session s = RunWith("--service-rate 0.1 --break-at 2",
                            "state Server\nstate queue/Queue\ncont\nstate blk3\nstate blk4\nstate Served\n"
                            "state nosuch\ncont\n",
                            "state");
  EXPECT_EQ(s.status, 0) << s.out;
  for (const char* shown : {
           // At time 2, as the second customer is made:
           "(twdb) queue/Server (blk4)\n  busy 1 of 1 servers, completed 0\n  en1  in service until 5.951500432471919\n",
           "(twdb) queue/Queue (blk3)\n  length 0 of unlimited, first in first out\n  timed out so far 0\n(twdb)",
           // At the end, the second customer waits in the queue:
           "(twdb) queue/Queue (blk3)\n  length 1 of unlimited, first in first out\n  timed out so far 0\n"
           "  en2  arrived at 2.0061814395262725\n",
           "(twdb) queue/Served (blk6)\n  took 0 entities\n",
           "(twdb) no block 'nosuch' (blocks lists them)\n",
       })
    EXPECT_TRUE(Has(s.out, shown)) << shown << "\n---\n" << s.out;
}

}  // namespace
