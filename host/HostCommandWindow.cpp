// The command window: queued input lines, the input requester and status
// settings, and the listeners of input requests.
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/HostControl.h"
#include "host/HostInternal.h"

namespace {

constexpr std::size_t kPiece = 1023;  // characters per hostReadLine call

struct CommandWindowState {
  std::deque<std::string> lines;
  std::size_t offset = 0;  // characters of lines.front() already handed out
  // The requester is a setting of the window (callers pass plain values such
  // as -1, 7 or 10 in it); it is kept and returned, never called.
  HostInputRequester requester = nullptr;
  std::function<bool(std::string&)> source;
  int executionStatus = 0;
  int codeBlockStatus = 0;
  std::vector<std::pair<HostEventManager::Listener, void*>> listeners;
};

CommandWindowState& state() {
  static CommandWindowState s;
  return s;
}

}  // namespace

// A line longer than 1023 characters comes in pieces: a piece of exactly 1023
// characters means the line goes on, and the line ends with a shorter piece,
// which is empty when the length is a multiple of 1023.
bool hostReadLine(char* buffer) {
  CommandWindowState& s = state();
  if (!buffer) return false;
  std::string next;
  if (s.lines.empty() && s.source && s.source(next)) s.lines.push_back(next);
  if (s.lines.empty()) {
    buffer[0] = '\0';
    return false;
  }
  const std::string& line = s.lines.front();
  std::size_t take = std::min(line.size() - s.offset, kPiece);
  std::memcpy(buffer, line.data() + s.offset, take);
  buffer[take] = '\0';
  s.offset += take;
  if (take < kPiece) {
    s.lines.pop_front();
    s.offset = 0;
  }
  return true;
}

HostInputRequester hostSetInputRequester(HostInputRequester requester) {
  return std::exchange(state().requester, requester);
}

int hostSetExecutionStatus(int status) { return std::exchange(state().executionStatus, status); }

int hostSetCodeBlockStatus(int status) { return std::exchange(state().codeBlockStatus, status); }

// A listener is registered once per (listener, data) pair.
void HostEventManager::addListener(Listener listener, void* data) {
  auto& list = state().listeners;
  auto entry = std::make_pair(listener, data);
  if (listener && std::find(list.begin(), list.end(), entry) == list.end()) list.push_back(entry);
}

void HostEventManager::removeListener(Listener listener, void* data) {
  auto& list = state().listeners;
  auto it = std::find(list.begin(), list.end(), std::make_pair(listener, data));
  if (it != list.end()) list.erase(it);
}

// Listeners may add or remove listeners while being called: the ones present
// when the event fires are called.
void HostEventManager::fire(const HostInputRequestEvent& event) {
  auto listeners = state().listeners;
  for (auto& l : listeners) l.first(event, l.second);
}

namespace host {

void setInputLines(const std::vector<std::string>& lines) {
  CommandWindowState& s = state();
  s.lines.assign(lines.begin(), lines.end());
  s.offset = 0;
}

void setLineSource(std::function<bool(std::string& line)> source) { state().source = std::move(source); }

intptr_t inputRequester() { return reinterpret_cast<intptr_t>(state().requester); }

namespace detail {

void resetCommandWindow() { state() = CommandWindowState(); }

}  // namespace detail
}  // namespace host
