// Matching an object's members to a reader's fixed names in one pass: numbering, names that
// share a hash, near misses, repeated members and values that are not objects.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include "base/json_line_reader.hpp"
#include "base/member_names.hpp"

namespace glimmet {
namespace {

// The middle letters are the only difference, and the hash never looks there: all five land
// on one probe sequence.
constexpr MemberNames kNames{std::to_array<std::string_view>(
    {"event_id", "abVcd", "abWcd", "abXcd", "abYcd", "abZcd", "turn_id", "x", ""})};

TEST(MemberNames, NumbersEveryNameInOrderEvenWhenTheirHashesCollide) {
  EXPECT_EQ(kNames.find("event_id"), 0);
  EXPECT_EQ(kNames.find("abVcd"), 1);
  EXPECT_EQ(kNames.find("abZcd"), 5);
  EXPECT_EQ(kNames.find("turn_id"), 6);
  EXPECT_EQ(kNames.find("x"), 7);
  EXPECT_EQ(kNames.find(""), 8);
  static_assert(kNames("abYcd").id == 4 && kNames("abYcd").text == "abYcd");
}

TEST(MemberNames, NearMissesAreUnknown) {
  constexpr auto unknown = decltype(kNames)::kUnknown;
  for (const std::string_view miss : {"abQcd", "turnXid", "event_i", "event_idd", "Event_id",
                                      "event_id ", "y", "abcd", "abVVcd"}) {
    EXPECT_EQ(kNames.find(miss), unknown) << miss;
  }
}

TEST(MemberNames, CollectsTheLastOfRepeatedMembersAndIgnoresOthers) {
  JsonLineReader reader;
  ASSERT_EQ(reader.read(R"({"abXcd":1,"other":2,"event_id":"a","abXcd":3,"ev\u0065nt_id":"b"})"),
            JsonLineReader::Outcome::value);
  std::array<const JsonLineValue*, decltype(kNames)::kCount> slots;
  MemberSet<decltype(kNames)::kCount> present;
  collectMembers(reader.root(), kNames, slots, present);
  ASSERT_NE(slots[kNames("abXcd").id], nullptr);
  EXPECT_EQ(intValue(*slots[kNames("abXcd").id]), 3);
  // An escaped name counts as the name it spells.
  ASSERT_NE(slots[kNames("event_id").id], nullptr);
  EXPECT_EQ(slots[kNames("event_id").id]->text(), "b");
  EXPECT_EQ(slots[kNames("abVcd").id], nullptr);
  EXPECT_EQ(slots[kNames("turn_id").id], nullptr);
  // The set of names found answers for groups: any one member of a group is enough.
  EXPECT_TRUE(present.intersects(kNames.set({"turn_id", "abXcd"})));
  EXPECT_TRUE(present.intersects(kNames.set({"event_id"})));
  EXPECT_FALSE(present.intersects(kNames.set({"turn_id", "abVcd", "x"})));

  // Members of a nested object are not the outer object's.
  ASSERT_EQ(reader.read(R"({"inner":{"turn_id":"t"}})"), JsonLineReader::Outcome::value);
  collectMembers(reader.root(), kNames, slots, present);
  EXPECT_EQ(slots[kNames("turn_id").id], nullptr);
  EXPECT_FALSE(present.intersects(kNames.set({"turn_id"})));
  // A value that is not an object has no members; slots and names from before are cleared.
  ASSERT_EQ(reader.read(R"({"turn_id":"t","inner":[1,{"x":2}]})"), JsonLineReader::Outcome::value);
  collectMembers(reader.root(), kNames, slots, present);
  EXPECT_TRUE(present.intersects(kNames.set({"turn_id"})));
  collectMembers(*(++reader.root().begin()), kNames, slots, present);
  for (const auto* slot : slots) EXPECT_EQ(slot, nullptr);
  EXPECT_FALSE(present.intersects(kNames.set({"turn_id"})));
}

}  // namespace
}  // namespace glimmet
