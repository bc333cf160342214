// The options dialog opened from the settings dialog: what it shows, what
// its OK hands back, when the section is written, and its range checks.
#include "settings/options_template.h"
#include "settings_harness.h"

namespace qv::settings::test {
namespace {

// The section is the settings dialog's to save: the options dialog's OK
// only hands the values back; Cancel there, or Cancel of the settings
// dialog, leaves the file as it was, and so does an unchanged OK.
TEST_F(SettingsTest, OptionsAreSavedWithTheSettingsOnly) {
  const Step change = [](HeadlessHost& h) {
    ASSERT_EQ(h.Active()->Caption(), "Options");
    const ui::Rect o = h.Active()->WindowRect(), s = h.FindByCaption("Quorvel  <Setting>")->WindowRect();
    EXPECT_EQ(std::make_pair((o.left + o.right) / 2, (o.top + o.bottom) / 2),
              std::make_pair((s.left + s.right) / 2, (s.top + s.bottom) / 2));
    EXPECT_FALSE(h.Active()->IsEnabled(opt::kTolerance)) << "off until its option is on";
    EXPECT_EQ(h.Active()->Text(opt::kTolerance) + " " + h.Active()->Text(opt::kGuardSeconds), "500 1000");
    for (int id : {opt::kFallback, opt::kAgreement, opt::kLocalZone, opt::kNts}) EXPECT_TRUE(h.Click(id)) << id;
    EXPECT_TRUE(h.Type(opt::kTolerance, "250"));
    EXPECT_TRUE(h.Type(opt::kTrustFile, "C:\\certs\\ca.pem"));
  };
  const std::string plain = "[Property]\nTimeOut=7\nDialogSize=1\n";
  const struct {
    std::string profile;
    std::vector<Step> steps;
    std::string section;  // "": the file has none
  } cases[] = {
      // Check asks as the options stand, before they are saved.
      {plain, {ClickOn(ctl::kOptions), change, ClickOn(ui::kIdOk), ClickOn(ctl::kCheck), ClickOn(ui::kIdOk)},
       "[Options]\r\nFallback=1\r\nAgreement=1\r\nAgreementTolerance=250\r\nOffsetGuard=0\r\n"
       "OffsetGuardSeconds=1000\r\nLocalZone=1\r\nNTS=1\r\nNTSTrustFile=C:\\certs\\ca.pem\r\n"},
      {plain, {ClickOn(ctl::kOptions), change, ClickOn(ui::kIdOk), ClickOn(ui::kIdCancel)}, ""},
      {plain, {ClickOn(ctl::kOptions), change, ClickOn(ui::kIdCancel), ClickOn(ui::kIdOk)}, ""},
      {plain, {ClickOn(ctl::kOptions), ClickOn(ui::kIdOk), ClickOn(ui::kIdOk)}, ""},
      // What is stored shows; turning it off rewrites the section.
      {plain + "[Options]\nOffsetGuard=1\nOffsetGuardSeconds=3600\n",
       {ClickOn(ctl::kOptions), ClickOn(opt::kGuard), ClickOn(ui::kIdOk), ClickOn(ui::kIdOk)},
       "OffsetGuard=0\r\nOffsetGuardSeconds=3600\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    WriteProfile(c.profile);
    engine_.checks.clear();
    Open(c.steps);
    if (!engine_.checks.empty()) {
      EXPECT_TRUE(engine_.checks.back().nts);
      EXPECT_EQ(engine_.checks.back().nts_trust_file, "C:\\certs\\ca.pem");
    }
    const std::string text = ProfileText();
    EXPECT_TRUE(c.section.empty() ? text.find("[Options]") == std::string::npos
                                  : text.find(c.section) != std::string::npos)
        << text;
  }
}

// A number of an option that is on must lie in its range: OK names the
// field, puts the focus there and stays. A disabled field holds nothing up.
TEST_F(SettingsTest, OptionNumbersAreCheckedWhileTheirOptionIsOn) {
  const std::string tolerance = "Agreement tolerance (milliseconds): enter a whole number from 1 to 60000.";
  const std::string guard = "Largest step (seconds): enter a whole number from 1 to 999999999.";
  const struct {
    int option, field;
    const char* typed;
    std::string message;  // empty: accepted
  } cases[] = {
      {opt::kAgreement, opt::kTolerance, "0", tolerance},  {opt::kAgreement, opt::kTolerance, "60000", ""},
      {opt::kGuard, opt::kGuardSeconds, "1000000000", guard}, {opt::kGuard, opt::kGuardSeconds, "12x", guard},
      {0, opt::kGuardSeconds, "-", ""},  // its option stays off
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    WriteProfile("[Property]\nTimeOut=7\n");
    const std::size_t boxes = host_.message_boxes().size();
    profile::ServerOptions kept;
    Open({ClickOn(ctl::kOptions),
          [&](HeadlessHost& h) {
            if (c.option != 0 && !h.Click(c.option)) ADD_FAILURE() << "option " << c.option;
            h.Active()->SetText(c.field, c.typed);  // a disabled field too
            EXPECT_TRUE(h.Click(ui::kIdOk));
            if (c.message.empty()) return;
            EXPECT_EQ(h.Active()->focus(), c.field);
            EXPECT_TRUE(h.Click(ui::kIdCancel));
          },
          [&](HeadlessHost& h) {
            kept = dialog_->options();
            EXPECT_TRUE(h.Click(ui::kIdCancel));
          }});
    ASSERT_EQ(host_.message_boxes().size(), boxes + (c.message.empty() ? 0 : 1));
    if (!c.message.empty()) {
      EXPECT_EQ(host_.message_boxes().back().text, c.message);
      EXPECT_EQ(kept, profile::ServerOptions{}) << "a refused OK hands nothing back";
    } else {
      EXPECT_EQ(kept.agreement_tolerance_ms, c.option ? 60000 : 500);
      EXPECT_EQ(kept.offset_guard_seconds, 1000);
    }
  }
}

}  // namespace
}  // namespace qv::settings::test
