// The server list: sorted without regard to case, no duplicates, removal
// choosing the neighbour, prefix selection, the 512-character section.
#include "profile/properties.h"
#include "settings_harness.h"

namespace qv::settings::test {
namespace {

std::vector<std::string> Section(const std::string& file) {
  return profile::UnpackSectionBlock(profile::IniDocument::Parse(file).ReadSection("Servers", 4096).text);
}

TEST_F(SettingsTest, AddingAndRemoving) {
  const std::string refused_list = "は一覧に保存できません。空白だけの名前や「[」「;」で始まる名前は、ﾌﾟﾛﾌｧｲﾙからｻｰﾊﾞ名として読み戻せません。";
  struct Case {
    const char* servers;  // the section's lines
    int button;
    const char* typed;
    std::vector<std::string> after;
    const char* field;
    std::string message;  // "" for none
  } cases[] = {
      {"ntp1\nb\n", ctl::kAdd, "NTP1", {"b", "ntp1"}, "ntp1", ""},      // listed already, ignoring case
      {"ntp1\nb\n", ctl::kAdd, "B", {"b", "ntp1"}, "b", ""},            // ... as the first item
      {"ntp1\nb\n", ctl::kAdd, "", {"b", "ntp1"}, "", ""},              // nothing to add; empty selects nothing
      {"ntp1\nb\n", ctl::kAdd, "A=1", {"A=1", "b", "ntp1"}, "A=1", ""}, // sorted in
      {"b\n", ctl::kAdd, "[name]", {"b"}, "[name]", "ｻｰﾊﾞ名「[name]」" + refused_list},
      {"b\n", ctl::kAdd, ";x", {"b"}, ";x", "ｻｰﾊﾞ名「;x」" + refused_list},
      {"a\nb\nc\n", ctl::kRemove, "C", {"a", "b"}, "b", ""},            // the last: the new last
      {"a\nb\nc\n", ctl::kRemove, "a", {"b", "c"}, "b", ""},            // the one that followed
      {"only\n", ctl::kRemove, "only", {}, "", ""},                     // the list empties
      {"a\nb\n", ctl::kRemove, "x", {"a", "b"}, "x", ""}};              // not listed: nothing
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    WriteProfile(std::string("[Servers]\n") + c.servers);
    const std::size_t boxes = host_.message_boxes().size();
    Open({TypeInto(ctl::kServer, c.typed), ClickOn(c.button), Expect([&] {
            EXPECT_EQ(W().Items(ctl::kServer), c.after);
            EXPECT_EQ(W().Text(ctl::kServer), c.field);
          }),
          ClickOn(ui::kIdOk)});
    EXPECT_EQ(Section(ProfileText()), c.after);
    EXPECT_EQ(host_.message_boxes().size(), boxes + !c.message.empty());
    if (!c.message.empty()) {
      EXPECT_EQ(host_.message_boxes().back().text, c.message);
    }
  }
  // Cancel drops what was changed.
  Open({TypeInto(ctl::kServer, "new"), ClickOn(ctl::kAdd), ClickOn(ui::kIdCancel)});
  EXPECT_EQ(Section(ProfileText()), std::vector<std::string>({"a", "b"}));
}

TEST_F(SettingsTest, AStoredPrefixShowsTheFirstListedMatch) {
  WriteProfile("[Servers]\nntp.b\nntp.a\n[Property]\nDefaultServer=NTP\n");
  Open({Expect([&] { EXPECT_EQ(W().Text(ctl::kServer), "ntp.a"); }), ClickOn(ui::kIdOk)});
  EXPECT_EQ(Stored("DefaultServer"), "ntp.a");
}

TEST_F(SettingsTest, TheSectionHoldsWhatFits512Characters) {
  // 20-character names: 24 fit with their zeros (504), a 25th would not.
  std::string section = "[Servers]\n";
  std::vector<std::string> names;
  for (int i = 0; i < 30; ++i) names.push_back("server" + std::to_string(100 + i) + ".example.jp");
  for (auto it = names.rbegin(); it != names.rend(); ++it) section += *it + "\n";
  WriteProfile(section);
  Open({Expect([&] { EXPECT_EQ(W().Items(ctl::kServer).size(), 24u) << "reading stops at 512 too"; }),
        ClickOn(ui::kIdOk)});
  // The file listed them backwards: the 24 read were the last, now sorted.
  const std::vector<std::string> kept(names.begin() + 6, names.end());
  EXPECT_EQ(Section(ProfileText()), kept);
  // One more in front drops the last in sorted order.
  Open({TypeInto(ctl::kServer, "server000.example.jp"), ClickOn(ctl::kAdd), ClickOn(ui::kIdOk)});
  std::vector<std::string> now{"server000.example.jp"};
  now.insert(now.end(), kept.begin(), kept.end() - 1);
  EXPECT_EQ(Section(ProfileText()), now);
}

}  // namespace
}  // namespace qv::settings::test
