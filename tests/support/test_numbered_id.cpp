// Ids kept as numbers read back exactly as they were given, whatever the
// text: numbers under the owner's prefix, anything else as text.
#include <gtest/gtest.h>

#include <string>

#include "entity/DesEntity.h"
#include "kernel/DesEvent.h"
#include "support/NumberedId.h"

namespace {

TEST(NumberedIdTest, EveryTextReadsBackUnchanged) {
  const char* texts[] = {"ev1", "ev0", "ev007", "ev", "", "en12", "ev12x", "xev12", "<none>",
                         "ev18446744073709551615", "ev9999999999999999999",
                         "ev4611686018427387903", "ev4611686018427387904",  // 2^62 - 1, 2^62
                         "a text longer than the short-string buffer of std::string"};
  for (const char* text : texts) {
    NumberedId id;
    id.SetText(text, "ev");
    EXPECT_EQ(id.Text("ev"), text);
    EXPECT_EQ(id.Empty(), std::string(text).empty()) << text;
    NumberedId copy(id), assigned;
    assigned.SetNumber(5);
    assigned = id;
    EXPECT_EQ(copy.Text("ev"), text);
    EXPECT_EQ(assigned.Text("ev"), text);
    id.Clear();  // the copies own their text
    EXPECT_EQ(copy.Text("ev"), text);
    EXPECT_TRUE(id.Empty());
  }
  // Literals at any alignment.
  static const char literals[] = "x<none>";
  for (const char* literal : {literals, literals + 1}) {
    NumberedId none;
    none.SetStaticText(literal);
    NumberedId copy = none;
    EXPECT_EQ(copy.Text("en"), literal);
    copy.SetNumber(0);
    EXPECT_EQ(copy.Text("en"), "en0");
    copy.Swap(none);
    EXPECT_EQ(copy.Text("en") + none.Text("en"), std::string(literal) + "en0");
  }
  NumberedId largest;
  largest.SetNumber(NumberedId::kNumberLimit - 1);
  EXPECT_EQ(largest.Text("ev"), "ev4611686018427387903");
}

// The engine's ids under a changed prefix keep the text they were made with.
TEST(NumberedIdTest, IdsMadeUnderAnotherPrefixStayText) {
  DesEvent::InitIds();
  NumberedId usual, other;
  DesEvent::ReserveNewEventId(usual);
  DesEvent::id_prefix = "evt";
  DesEvent::ReserveNewEventId(other);
  DesEvent::InitIds();
  EXPECT_EQ(usual.Text(DesEvent::kIdPrefix), "ev1");
  EXPECT_EQ(other.Text(DesEvent::kIdPrefix), "evt2");
  DesEntity::InitIds();
  DesEntity::id_prefix = "x";
  DesEntity::ReserveNewEntityId(other);
  DesEntity::InitIds();
  EXPECT_EQ(other.Text(DesEntity::kIdPrefix), "x1");
}

}  // namespace
