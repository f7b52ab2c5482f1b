// `tarnwell --debug` at a real terminal: the executable on a pseudo-terminal
// of its own, typed at as a user types (Ctrl-C and Ctrl-D included), and the
// break key on a runner whose input is a pipe. Every wait is for output, with
// a generous deadline: the machine may be busy, and the sanitizer build slow.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kDeadlineSeconds = 90;
typedef std::vector<std::string> Args;
// A few customers up to time 4.
const Args kTinyRun = {"--end-time", "4", "--seed", "3", "--limit", "2"};
// Customers without end (a billion time units): the run goes on until
// interrupted, and the test ends it.
const Args kEndlessRun = {"--end-time", "1e9", "--seed", "3"};

// The runner as a child process, on a pseudo-terminal or on pipes.
class Runner {
 public:
  // The default model, run as `model` says, with `options`.
  Runner(const Args& options, bool terminal, const Args& model = kTinyRun) : pid(-1), in(-1), out(-1), seen(0) {
    Args args = {TARNWELL_APP_PATH, "--progress", "never"};
    args.insert(args.end(), model.begin(), model.end());
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    if (terminal) {
      int master = -1;
      pid = forkpty(&master, nullptr, nullptr, nullptr);
      if (pid == 0) Exec(argv);
      in = out = master;
    } else {
      int toChild[2], fromChild[2];
      if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
      pid = fork();
      if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        dup2(fromChild[1], STDERR_FILENO);
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
        Exec(argv);
      }
      close(toChild[0]);
      close(fromChild[1]);
      in = toChild[1];
      out = fromChild[0];
    }
  }

  ~Runner() {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (in >= 0) close(in);
    if (out >= 0 && out != in) close(out);
  }

  bool Started() const { return pid > 0 && out >= 0; }

  // Waits until `text` shows after what the previous expectations matched,
  // and moves past it.
  bool Expect(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kDeadlineSeconds);
    for (;;) {
      const std::size_t at = output.find(text, seen);
      if (at != std::string::npos) {
        seen = at + text.size();
        return true;
      }
      if (std::chrono::steady_clock::now() > deadline || !Pump(200)) return false;
    }
  }

  // Waits for the prompt, and (with line editing) for the editor to have
  // the terminal: it switches off the terminal's own line mode, so a key
  // typed earlier would reach the terminal's line discipline instead.
  bool Prompt() {
    if (!Expect("(twdb) ")) return false;
#ifdef TARNWELL_HAVE_LIBEDIT
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kDeadlineSeconds);
    termios mode;
    while (tcgetattr(in, &mode) == 0 && (mode.c_lflag & ICANON) != 0) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      Pump(10);
    }
#endif
    return true;
  }

  void Type(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(in, text.data() + done, text.size() - done);
      if (n <= 0) return;
      done += static_cast<std::size_t>(n);
    }
  }

  void Signal(int signal) { kill(pid, signal); }
  void CloseInput() {
    close(in);
    if (out == in) out = -1;
    in = -1;
  }

  // The exit status once the runner has ended (all of its output read), or
  // -1 when it is still running at the deadline or died of a signal.
  int Finish() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kDeadlineSeconds);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      if (!Pump(200)) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    while (Pump(0)) {
    }
    pid = -1;
    if (WIFSIGNALED(status)) output += "\n[ended by signal " + std::to_string(WTERMSIG(status)) + "]\n";
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // What the runner wrote, without the terminal's carriage returns.
  const std::string& Output() const { return output; }
  std::string Rest() const { return output.substr(seen); }

 private:
  [[noreturn]] static void Exec(std::vector<char*>& argv) {
    setenv("TERM", "xterm", 1);
    setenv("EDITRC", "/dev/null", 1);  // no user's key bindings
    execv(argv[0], argv.data());
    _exit(127);
  }

  // Reads what there is within `ms`; false once nothing more can come.
  bool Pump(int ms) {
    if (out < 0) return false;
    pollfd p{out, POLLIN, 0};
    const int ready = poll(&p, 1, ms);
    if (ready <= 0) return ready == 0;
    char buffer[4096];
    const ssize_t n = read(out, buffer, sizeof buffer);
    if (n <= 0) return false;  // end of the pipe, or EIO once the terminal's last user left
    for (ssize_t i = 0; i < n; ++i)
      if (buffer[i] != '\r') output += buffer[i];
    return true;
  }

  pid_t pid;
  int in;
  int out;
  std::string output;
  std::size_t seen;
};

#define EXPECT_OUTPUT(runner, text) \
  ASSERT_TRUE((runner).Expect(text)) << "waiting for: " << (text) << "\n--- output ---\n" << (runner).Output()
#define EXPECT_PROMPT(runner) ASSERT_TRUE((runner).Prompt()) << "waiting for the prompt\n--- output ---\n" << (runner).Output()

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The first session of a user: a timed breakpoint, a queue's state and an
// entity, one step of each kind, breakpoints listed and deleted, and on to
// the end of the simulation.
TEST(TerminalSession, BreaksInspectsStepsAndEnds) {
  Runner r({"--debug"}, true);
  ASSERT_TRUE(r.Started());
  EXPECT_PROMPT(r);
  r.Type("tbreak 2\r");
  EXPECT_OUTPUT(r, "Breakpoint b1 at time 2.");
  EXPECT_PROMPT(r);
  r.Type("cont\r");
  EXPECT_PROMPT(r);
  r.Type("now\r");
  EXPECT_OUTPUT(r, "2.0061814395262725");
  EXPECT_PROMPT(r);
  // The queue answers in its own words; it names itself and says something.
  r.Type("state queue/Queue\r");
  EXPECT_OUTPUT(r, "queue/Queue (blk3)");
  EXPECT_PROMPT(r);
  // The next event makes the second customer; the entity answers with its
  // type (what it shows is checked in the model's tests).
  r.Type("next\r");
  EXPECT_PROMPT(r);
  r.Type("entity en2\r");
  EXPECT_OUTPUT(r, "en2  type Customer");
  EXPECT_PROMPT(r);
  r.Type("entity en999\r");
  EXPECT_OUTPUT(r, "no entity 'en999' in the model now\n");
  EXPECT_PROMPT(r);
  r.Type("step\r");
  EXPECT_PROMPT(r);
  r.Type("info breakpoints\r");
  EXPECT_OUTPUT(r, "b1     Timed    2");
  EXPECT_PROMPT(r);
  r.Type("delete b1\r");
  EXPECT_PROMPT(r);
  r.Type("info breakpoints\r");
  EXPECT_OUTPUT(r, "No breakpoints.");
  EXPECT_PROMPT(r);
  r.Type("cont\r");
  EXPECT_OUTPUT(r, "end of simulation");
  EXPECT_PROMPT(r);
  r.Type("cont\r");
  EXPECT_OUTPUT(r, "events executed");
  EXPECT_EQ(r.Finish(), 0) << r.Output();
}

// The terminal's history: the up arrow brings back the last command.
TEST(TerminalSession, UpArrowRecallsTheLastCommand) {
#ifndef TARNWELL_HAVE_LIBEDIT
  GTEST_SKIP() << "built without libedit: the prompt reads plain lines";
#endif
  Runner r({"--debug"}, true);
  ASSERT_TRUE(r.Started());
  EXPECT_PROMPT(r);
  r.Type("tbreak 3\r");
  EXPECT_OUTPUT(r, "Breakpoint b1 at time 3.");
  EXPECT_PROMPT(r);
  r.Type("\x1b[A\r");  // the up arrow, then Enter: tbreak 3 again
  EXPECT_OUTPUT(r, "Breakpoint b2 at time 3.");
  EXPECT_PROMPT(r);
  r.Type("quit\r");
  EXPECT_EQ(r.Finish(), 1) << r.Output();
}

// Ctrl-C at the prompt, on an empty line or in the middle of one, and
// Ctrl-D on an empty line end the run as quit does: the abort line, exit
// status 1, no summary, and the trace file complete up to the stop.
TEST(TerminalSession, CtrlCOrCtrlDAtThePromptAbortsTheRun) {
  const std::string trace = "/tmp/tarnwell_terminal_" + std::to_string(getpid()) + ".trace";
  for (const char* keys : {"\x03", "tbre\x03", "\x04"}) {
    SCOPED_TRACE(keys[0] == '\x04' ? "Ctrl-D" : keys);
    Runner r({"--debug", "--trace-file", trace}, true);
    ASSERT_TRUE(r.Started());
    EXPECT_PROMPT(r);
    r.Type(keys);
    EXPECT_EQ(r.Finish(), 1) << r.Output();
    EXPECT_TRUE(Has(r.Output(), "Tarnwell Debugger: Abort\n")) << r.Output();
    EXPECT_TRUE(Has(r.Output(), "Abort Simulation")) << r.Output();
    EXPECT_FALSE(Has(r.Output(), "events executed")) << r.Output();
    std::ifstream in(trace);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(Has(written, "Initializing Model queue\n")) << written;
  }
  std::remove(trace.c_str());
}

// Start-up commands that run the model on, silently, for a long time. The
// help text they print marks the moment after the first stop's own check
// for the break key: a break key pressed from then on stops the run at the
// next record, even one pressed before the run goes on.
const char* const kSilentRunMarker = "Prints the current simulation time.";
std::string SilentRunCommands() {
  const std::string path = "/tmp/tarnwell_terminal_" + std::to_string(getpid()) + ".cmds";
  std::ofstream(path) << "trace all off\nhelp now\ncont\n";
  return path;
}

// Ctrl-C while the model runs under the debugger (typed at the terminal,
// or a SIGINT when the input is a pipe) stops it at the next operation, the
// prompt asks, and cont runs on.
//
// (The run is then killed rather than aborted: a quit at the execution
// record of an event that a block holds loses that event twice, a fault of
// its own that these tests stay clear of.)
TEST(TerminalSession, CtrlCWhileRunningStopsAtThePrompt) {
  for (const bool terminal : {true, false}) {
    SCOPED_TRACE(terminal ? "terminal" : "pipe");
    const std::string enter = terminal ? "\r" : "\n";
    const std::string commands = SilentRunCommands();
    Runner r({"--debug", "--debug-commands", commands}, terminal, kEndlessRun);
    ASSERT_TRUE(r.Started());
    EXPECT_OUTPUT(r, kSilentRunMarker);
    if (terminal)
      r.Type("\x03");
    else
      r.Signal(SIGINT);
    EXPECT_OUTPUT(r, "Tarnwell Debugger: Interrupted");
    EXPECT_PROMPT(r);
    std::remove(commands.c_str());
    r.Type("now" + enter);
    EXPECT_PROMPT(r);
    // Stopped somewhere on the way (perhaps still at the start, -1, when the
    // key came quickly).
    std::smatch time;
    const std::string answer = r.Output();
    ASSERT_TRUE(std::regex_search(answer, time, std::regex("\\(twdb\\) (?:now\n)?(-?[0-9][0-9.e+-]*)\n"))) << answer;
    EXPECT_LT(std::stod(time[1]), 1e9);
    // On again, visibly this time.
    r.Type("trace events on" + enter);
    EXPECT_PROMPT(r);
    r.Type("cont" + enter);
    EXPECT_OUTPUT(r, "\nExecuting ");
    EXPECT_OUTPUT(r, "\nExecuting ");
  }
}

// Standard input closed at the prompt, or a SIGINT there, aborts.
TEST(TerminalSession, ClosedInputOrSigintAtAPipedPromptAborts) {
  for (const bool close : {true, false}) {
    SCOPED_TRACE(close ? "input closed" : "SIGINT");
    Runner r({"--debug"}, false);
    ASSERT_TRUE(r.Started());
    EXPECT_OUTPUT(r, "(twdb) ");
    if (close)
      r.CloseInput();
    else
      r.Signal(SIGINT);
    EXPECT_EQ(r.Finish(), 1) << r.Output();
    EXPECT_TRUE(Has(r.Output(), "Tarnwell Debugger: Abort\n")) << r.Output();
    EXPECT_TRUE(Has(r.Output(), "Abort Simulation")) << r.Output();
  }
}

}  // namespace
