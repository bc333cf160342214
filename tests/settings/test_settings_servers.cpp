// The server list: sorted without regard to case, no duplicates, removal
// with the neighbour chosen, prefix selection, the 512-character section.
#include "profile/properties.h"
#include "settings_harness.h"

namespace qv::settings::test {
namespace {

std::vector<std::string> Items(HeadlessWindow& w) { return w.Items(ctl::kServer); }

TEST_F(SettingsTest, AddingSortsInAndRefusesDuplicatesAndEmptyNames) {
  WriteProfile("[Servers]\nntp1\nb.example\n");
  struct Case {
    const char* typed;
    std::vector<std::string> after;
  } cases[] = {{"NTP1", {"b.example", "ntp1"}},
               {"", {"b.example", "ntp1"}},
               {"A.example", {"A.example", "b.example", "ntp1"}},
               {"c=d", {"A.example", "b.example", "c=d", "ntp1"}}};
  std::vector<Step> steps;
  for (const Case& c : cases) {
    steps.push_back(TypeInto(ctl::kServer, c.typed));
    steps.push_back(ClickOn(ctl::kAdd));
    steps.push_back(Expect([&] { EXPECT_EQ(Items(W()), c.after) << "after adding '" << c.typed << "'"; }));
  }
  steps.push_back(ClickOn(ui::kIdOk));
  Open(std::move(steps));
  EXPECT_EQ(profile::IniDocument::Parse(ProfileText()).ReadSection("Servers", 512).text,
            std::string("A.example\0b.example\0c=d\0ntp1\0\0", 30));
  EXPECT_EQ(Stored("DefaultServer"), "c=d");
}

TEST_F(SettingsTest, RemovingChoosesTheNeighbour) {
  struct Case {
    const char* servers;  // the section's lines
    const char* remove;
    std::vector<std::string> after;
    const char* field;
  } cases[] = {{"a\nb\nc\n", "C", {"a", "b"}, "b"},      // the last: the new last
               {"a\nb\nc\n", "a", {"b", "c"}, "b"},      // the one that followed
               {"only\n", "only", {}, ""},               // the list empties
               {"a\nb\n", "x", {"a", "b"}, "x"}};        // not listed: nothing
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remove);
    WriteProfile(std::string("[Servers]\n") + c.servers);
    Open({TypeInto(ctl::kServer, c.remove), ClickOn(ctl::kRemove), Expect([&] {
            EXPECT_EQ(Items(W()), c.after);
            EXPECT_EQ(W().Text(ctl::kServer), c.field);
          }),
          [](HeadlessHost& h) { h.PressEsc(); }});
  }
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(SettingsTest, AStoredPrefixShowsTheFirstListedMatch) {
  WriteProfile("[Servers]\nntp.b\nntp.a\n[Property]\nDefaultServer=NTP\n");
  Open({Expect([&] { EXPECT_EQ(W().Text(ctl::kServer), "ntp.a"); }), ClickOn(ui::kIdOk)});
  EXPECT_EQ(Stored("DefaultServer"), "ntp.a");
}

TEST_F(SettingsTest, TheSectionHoldsWhatFits512Characters) {
  // 20-character names: 24 fit with their zeros (504), the 25th would not.
  std::string section = "[Servers]\n";
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) names.push_back("server" + std::to_string(100 + i) + ".example.jp");
  for (auto it = names.rbegin(); it != names.rend(); ++it) section += *it + "\n";
  WriteProfile(section);
  Open({Expect([&] { EXPECT_EQ(Items(W()).size(), 24u) << "reading stops at 512 characters too"; }),
        ClickOn(ui::kIdOk)});
  // The file listed them backwards: the 24 read were the last names, sorted.
  const std::vector<std::string> kept(names.begin() + 6, names.end());
  EXPECT_EQ(profile::UnpackSectionBlock(profile::IniDocument::Parse(ProfileText()).ReadSection("Servers", 4096).text),
            kept);
  // Adding one more in front drops the last in sorted order.
  Open({TypeInto(ctl::kServer, "server000.example.jp"), ClickOn(ctl::kAdd), ClickOn(ui::kIdOk)});
  std::vector<std::string> now{"server000.example.jp"};
  now.insert(now.end(), kept.begin(), kept.end() - 1);
  EXPECT_EQ(profile::UnpackSectionBlock(profile::IniDocument::Parse(ProfileText()).ReadSection("Servers", 4096).text),
            now);
}

TEST_F(SettingsTest, CancelDiscardsListChanges) {
  WriteProfile("[Servers]\na\n");
  const std::string before = ProfileText();
  Open({TypeInto(ctl::kServer, "b"), ClickOn(ctl::kAdd), ClickOn(ui::kIdCancel)});
  EXPECT_EQ(ProfileText(), before);
}

}  // namespace
}  // namespace qv::settings::test
