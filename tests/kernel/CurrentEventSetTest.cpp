// The current set's order (rank, then joining order), removal from any
// position, lookups among equal ranks, and its storage (growth, failure, no
// allocation once warm).
#include <algorithm>
#include <random>
#include <utility>

#include "kernel/CurrentEventSet.h"
#include "tests/kernel/KernelTestSupport.h"

class CurrentSet : public EngineTest {
 protected:
  std::vector<DesEvent*> Contents() const { return std::vector<DesEvent*>(set.begin(), set.end()); }
  DesEvent* Take() {
    DesEvent* e = *set.begin();
    set.erase(set.begin());
    return e;
  }
  void Cancel(DesEvent* e) {
    auto it = set.FindExactly(e);
    ASSERT_NE(it, set.end());
    set.erase(it);
  }
  // An event with the rank of `like` (operator= copies the instance count).
  DesEvent* Twin(DesEvent* like) {
    DesEvent* e = Make(0.0, 0);
    *e = *like;
    return e;
  }

  CurrentEventSet set;
};

// Short scripts against the order they must produce. Letters a to d name
// events of increasing rank; an upper-case letter is a twin (same rank) of
// its lower-case one. '+x' adds, '-x' cancels, '<' takes the next event.
TEST_F(CurrentSet, ScriptsKeepRankThenJoiningOrder) {
  struct Case {
    const char* what;
    const char* script;
    const char* taken;  // the takes, then what is left
  };
  const Case cases[] = {
      {"by priority, then creation", "+c+a+b<<<", "abc"},
      {"equal ranks in joining order", "+a+A+b+B<<<<", "aAbB"},
      {"a twin joining later runs later", "+A+b+a<<<", "Aab"},
      {"cancel from the middle", "+a+b+c+d-b-c<", "ad"},
      {"cancel one of two twins", "+a+A+b-A<<", "ab"},
      {"cancel the first and the last", "+a+b+c-a-c", "b"},
      {"interleaved adds and takes", "+b<+c+a<+d<", "bacd"},
      {"add before a taken head", "+b+c+d<+a<<", "bacd"},
      {"empty and refill", "+a<+b<+c+a<<", "abac"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Priorities a 0, b 1, c 1, d 2, created so that instance counts and
    // priorities disagree: the order a b c d comes from both together.
    DesEvent* d = Make(0.0, 2);
    DesEvent* b = Make(0.0, 1);
    DesEvent* cc = Make(0.0, 1);
    DesEvent* a = Make(0.0, 0);
    DesEvent* ev[4] = {a, b, cc, d};
    DesEvent* twin[4];
    for (int i = 0; i < 4; ++i) twin[i] = Twin(ev[i]);
    auto named = [&](char n) { return n >= 'a' ? ev[n - 'a'] : twin[n - 'A']; };
    auto name = [&](DesEvent* e) {
      for (int i = 0; i < 4; ++i) {
        if (e == ev[i]) return static_cast<char>('a' + i);
        if (e == twin[i]) return static_cast<char>('A' + i);
      }
      return '?';
    };
    std::string taken;
    for (const char* p = c.script; *p != '\0'; ++p) {
      if (*p == '+') set.insert(named(*++p));
      else if (*p == '-') Cancel(named(*++p));
      else taken += name(Take());
    }
    for (DesEvent* e : Contents()) taken += name(e);
    EXPECT_EQ(taken, c.taken);
    while (!set.empty()) Take();
  }
}

// A long random mix of additions, takes and cancellations, with many equal
// ranks, against the rule itself: after every step the set lists its
// events by rank and then by when they joined. FindExactly finds members
// only, not other events of the same rank.
TEST_F(CurrentSet, RandomMixAgainstTheRule) {
  std::mt19937 rng(11);
  std::vector<DesEvent*> pool;
  for (int i = 0; i < 60; ++i) {
    const int p = static_cast<int>(rng() % 4) - 1;
    pool.push_back(i >= 10 && rng() % 3 == 0 ? Twin(pool[rng() % pool.size()]) : Make(0.0, p));
  }
  std::vector<std::pair<DesEvent*, long>> joined;  // members with their joining step
  auto member = [&](DesEvent* e) {
    return std::find_if(joined.begin(), joined.end(), [e](const std::pair<DesEvent*, long>& j) { return j.first == e; });
  };
  auto expected = [&] {
    std::vector<std::pair<DesEvent*, long>> sorted(joined);
    std::sort(sorted.begin(), sorted.end(), [](const std::pair<DesEvent*, long>& x, const std::pair<DesEvent*, long>& y) {
      return x.first->GetRank() != y.first->GetRank() ? x.first->GetRank() < y.first->GetRank() : x.second < y.second;
    });
    std::vector<DesEvent*> order;
    for (const auto& j : sorted) order.push_back(j.first);
    return order;
  };
  std::size_t largest = 0;
  for (long step = 0; step < 20000; ++step) {
    DesEvent* e = pool[rng() % pool.size()];
    const unsigned op = rng() % 10;
    // Phases of filling and draining let the set grow, empty and wrap.
    const bool filling = (step / 500) % 2 == 0;
    if (member(e) == joined.end() && op < (filling ? 7u : 4u)) {
      ASSERT_EQ(set.FindExactly(e), set.end());
      set.insert(e);
      joined.emplace_back(e, step);
    } else if (!joined.empty() && op % 2 == 0) {
      EXPECT_EQ(Take(), expected().front());
      joined.erase(member(expected().front()));
    } else if (member(e) != joined.end()) {
      auto it = set.FindExactly(e);
      ASSERT_TRUE(it != set.end() && *it == e);
      set.erase(it);
      joined.erase(member(e));
    }
    ASSERT_EQ(Contents(), expected()) << "step " << step;
    ASSERT_EQ(set.size(), joined.size());
    largest = std::max(largest, joined.size());
  }
  // Storage follows the largest content, within the doubling and the
  // window's moves.
  EXPECT_LE(set.Capacity(), 4 * largest);
}

// The array is the set's only allocation: it grows by doubling from one
// slot, a failed growth leaves the set as it was, and once it is large
// enough adding and taking allocate nothing.
TEST_F(CurrentSet, StorageGrowsRarelyAndFailsCleanly) {
  std::vector<DesEvent*> events;
  for (int i = 0; i < 16; ++i) events.push_back(Make(0.0, i % 3));
  const std::size_t before = host::allocationCalls();
  for (DesEvent* e : events) set.insert(e);
  EXPECT_EQ(host::allocationCalls() - before, 5u);  // 1, 2, 4, 8, 16 slots
  const std::vector<DesEvent*> full = Contents();

  DesEvent* extra = Make(0.0, 1);
  host::failAllocationsFrom(1);
  EXPECT_EQ(ErrorCode([&] { set.insert(extra); }), kMemoryError);
  host::failAllocationsFrom(0);
  EXPECT_EQ(Contents(), full);
  EXPECT_EQ(set.FindExactly(extra), set.end());

  // A full set that keeps moving (take one, add it again to run after,
  // between or before the rest) may grow once more to give its window room
  // to move; once warm, adding and taking allocate nothing.
  auto cycle = [&](int round) {
    DesEvent* e = Take();
    e->SetPriority(round % 3);
    set.insert(e);
  };
  for (int round = 0; round < 100; ++round) cycle(round);
  const std::size_t warm = host::allocationCalls();
  for (int round = 100; round < 1100; ++round) cycle(round);
  while (!set.empty()) Take();
  for (int round = 0; round < 100; ++round) {
    for (DesEvent* e : events) set.insert(e);
    while (!set.empty()) Take();
  }
  EXPECT_EQ(host::allocationCalls(), warm);
  EXPECT_LE(set.Capacity(), 32u);
}
