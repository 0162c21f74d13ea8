// Matching an object's members to a reader's fixed names in one pass: numbering, names that
// share a hash, near misses, repeated members and values that are not objects.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "base/json_line_reader.hpp"
#include "base/member_names.hpp"

namespace glimmet {
namespace {

// The middle letters are the only difference, and the hash never looks there: all five land
// on one probe sequence.
constexpr auto kNameList = std::to_array<std::string_view>(
    {"event_id", "abVcd", "abWcd", "abXcd", "abYcd", "abZcd", "turn_id", "x", ""});
constexpr MemberNames kNames{kNameList};

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
  using Slots = MemberSlots<decltype(kNames)::kCount>;
  const auto slot = [](const Slots& slots, std::string_view name) {
    return slots.get(kNames.find(name));
  };
  {
    const Slots slots(reader.root(), kNames);
    ASSERT_NE(slot(slots, "abXcd"), nullptr);
    EXPECT_EQ(intValue(*slot(slots, "abXcd")), 3);
    // An escaped name counts as the name it spells.
    ASSERT_NE(slot(slots, "event_id"), nullptr);
    EXPECT_EQ(slot(slots, "event_id")->text(), "b");
    EXPECT_EQ(slot(slots, "abVcd"), nullptr);
    EXPECT_EQ(slot(slots, "turn_id"), nullptr);
    // The set of names found answers for groups: any one member of a group is enough.
    EXPECT_TRUE(slots.present().intersects(kNames.set({"turn_id", "abXcd"})));
    EXPECT_TRUE(slots.present().intersects(kNames.set({"event_id"})));
    EXPECT_FALSE(slots.present().intersects(kNames.set({"turn_id", "abVcd", "x"})));
  }

  // Members of a nested object are not the outer object's.
  ASSERT_EQ(reader.read(R"({"inner":{"turn_id":"t"}})"), JsonLineReader::Outcome::value);
  {
    const Slots slots(reader.root(), kNames);
    EXPECT_EQ(slot(slots, "turn_id"), nullptr);
    EXPECT_FALSE(slots.present().intersects(kNames.set({"turn_id"})));
  }
  // A value that is not an object has no members, whatever the memory the slots take over.
  ASSERT_EQ(reader.read(R"({"turn_id":"t","inner":[1,{"x":2}]})"), JsonLineReader::Outcome::value);
  EXPECT_TRUE(Slots(reader.root(), kNames).present().intersects(kNames.set({"turn_id"})));
  for (int round = 0; round < 2; ++round) {
    const Slots slots(*(++reader.root().begin()), kNames);
    for (const std::string_view name : kNameList) EXPECT_EQ(slot(slots, name), nullptr) << name;
    EXPECT_FALSE(slots.present().intersects(kNames.set({"turn_id"})));
  }
}

// Objects wide enough to be looked up through an index answer like narrow ones: the last of a
// repeated name, nothing for a name that is absent, and nested objects on their own.
TEST(MemberNames, WideObjectsAreLookedUpByTheLastOfEachName) {
  for (const int width : {15, 16, 17, 40}) {
    std::string line = "{";
    for (int i = 0; i < width; ++i) line += fmt::format(R"("k{}":{},)", i, i);
    line += R"("k3":"again","inner":{)";
    for (int i = 0; i < width; ++i) line += fmt::format(R"("n{}":{},)", i, 100 + i);
    line += R"("n0":"last"}})";
    JsonLineReader reader;
    ASSERT_EQ(reader.read(line), JsonLineReader::Outcome::value) << width;
    const JsonLineValue& root = reader.root();
    ASSERT_NE(member(root, "k0"), nullptr);
    EXPECT_EQ(intValue(*member(root, "k0")), 0);
    EXPECT_EQ(intValue(*member(root, fmt::format("k{}", width - 1))), width - 1);
    ASSERT_NE(member(root, "k3"), nullptr);
    EXPECT_EQ(member(root, "k3")->text(), "again");
    EXPECT_EQ(member(root, "n1"), nullptr);
    EXPECT_EQ(member(root, fmt::format("k{}", width)), nullptr);
    const JsonLineValue* inner = member(root, "inner");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(member(*inner, "n0")->text(), "last");
    EXPECT_EQ(intValue(*member(*inner, "n1")), 101);
    EXPECT_EQ(member(*inner, "k1"), nullptr);
  }
}

}  // namespace
}  // namespace glimmet
