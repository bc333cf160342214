// The options dialog opened from the settings dialog: what it shows, what
// its OK hands back, when the section is written, and its range checks.
#include "settings/options_template.h"
#include "settings_harness.h"

namespace qv::settings::test {
namespace {

Step InOptions(std::function<void(HeadlessHost&)> act) {
  return [act = std::move(act)](HeadlessHost& h) {
    ASSERT_EQ(h.Active()->Caption(), "Options");
    act(h);
  };
}

std::string OptionsSection(const std::string& profile_text) {
  const std::size_t at = profile_text.find("[Options]\r\n");
  if (at == std::string::npos) return "";
  const std::size_t end = profile_text.find("\r\n[", at + 1);
  return profile_text.substr(at, end == std::string::npos ? std::string::npos : end + 2 - at);
}

// The section is the settings dialog's to save: the options dialog's OK
// only hands the values back; Cancel there, or Cancel of the settings
// dialog, leaves the file as it was.
TEST_F(SettingsTest, OptionsAreSavedWithTheSettingsOnly) {
  const std::string changed =
      "[Options]\r\nFallback=1\r\nAgreement=1\r\nAgreementTolerance=250\r\nOffsetGuard=0\r\n"
      "OffsetGuardSeconds=1000\r\nLocalZone=1\r\nNTS=1\r\nNTSTrustFile=C:\\certs\\ca.pem\r\n";
  const Step change = InOptions([](HeadlessHost& h) {
    // Centred on the settings dialog.
    const ui::Rect o = h.Active()->WindowRect(), s = h.FindByCaption("Quorvel  <Setting>")->WindowRect();
    EXPECT_EQ(std::make_pair((o.left + o.right) / 2, (o.top + o.bottom) / 2),
              std::make_pair((s.left + s.right) / 2, (s.top + s.bottom) / 2));
    EXPECT_FALSE(h.Active()->IsEnabled(opt::kTolerance)) << "off until its option is on";
    EXPECT_EQ(h.Active()->Text(opt::kTolerance), "500");
    EXPECT_EQ(h.Active()->Text(opt::kGuardSeconds), "1000");
    for (int id : {opt::kFallback, opt::kAgreement, opt::kLocalZone, opt::kNts}) EXPECT_TRUE(h.Click(id)) << id;
    EXPECT_TRUE(h.Type(opt::kTolerance, "250"));
    EXPECT_TRUE(h.Type(opt::kTrustFile, "C:\\certs\\ca.pem"));
  });
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::string section;  // what the file holds afterwards; "" none
  } cases[] = {
      {"options OK, settings OK", {ClickOn(ctl::kOptions), change, ClickOn(ui::kIdOk), ClickOn(ui::kIdOk)}, changed},
      {"options OK, settings Cancel",
       {ClickOn(ctl::kOptions), change, ClickOn(ui::kIdOk), ClickOn(ui::kIdCancel)}, ""},
      {"options Cancel, settings OK",
       {ClickOn(ctl::kOptions), change, ClickOn(ui::kIdCancel), ClickOn(ui::kIdOk)}, ""},
      {"options unchanged, settings OK", {ClickOn(ctl::kOptions), ClickOn(ui::kIdOk), ClickOn(ui::kIdOk)}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteProfile("[Property]\nTimeOut=7\nDialogSize=1\n");
    std::vector<Step> steps = c.steps;
    Open(std::move(steps));
    EXPECT_EQ(OptionsSection(ProfileText()), c.section) << ProfileText();
  }
  // What is stored shows again, and turning one off writes the section anew.
  WriteProfile("[Property]\nTimeOut=7\n[Options]\nOffsetGuard=1\nOffsetGuardSeconds=3600\n");
  Open({ClickOn(ctl::kOptions), InOptions([](HeadlessHost& h) {
          EXPECT_EQ(h.Active()->Check(opt::kGuard), 1);
          EXPECT_TRUE(h.Active()->IsEnabled(opt::kGuardSeconds));
          EXPECT_EQ(h.Active()->Text(opt::kGuardSeconds), "3600");
          EXPECT_TRUE(h.Click(opt::kGuard));
          EXPECT_FALSE(h.Active()->IsEnabled(opt::kGuardSeconds));
        }),
        ClickOn(ui::kIdOk), ClickOn(ui::kIdOk)});
  EXPECT_NE(OptionsSection(ProfileText()).find("OffsetGuard=0\r\nOffsetGuardSeconds=3600\r\n"), std::string::npos)
      << ProfileText();
}

// A number of an option that is on must lie in its range: OK names the
// field, puts the focus there and keeps the dialog open. A disabled field
// holds OK up for nothing.
TEST_F(SettingsTest, OptionNumbersAreCheckedWhileTheirOptionIsOn) {
  const struct {
    int option, field;
    const char* typed;
    const char* message;  // nullptr: accepted
  } cases[] = {
      {opt::kAgreement, opt::kTolerance, "0", "Agreement tolerance (milliseconds): enter a whole number from 1 to 60000."},
      {opt::kAgreement, opt::kTolerance, "60001", "Agreement tolerance (milliseconds): enter a whole number from 1 to 60000."},
      {opt::kAgreement, opt::kTolerance, "60000", nullptr},
      {opt::kGuard, opt::kGuardSeconds, "1000000000", "Largest step (seconds): enter a whole number from 1 to 999999999."},
      {opt::kGuard, opt::kGuardSeconds, "12x", "Largest step (seconds): enter a whole number from 1 to 999999999."},
      {opt::kGuard, opt::kGuardSeconds, "999999999", nullptr},
      {0, opt::kGuardSeconds, "-", nullptr},  // the option stays off
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    WriteProfile("[Property]\nTimeOut=7\n[Options]\nOffsetGuard=0\n");
    const std::size_t boxes = host_.message_boxes().size();
    profile::ServerOptions kept;
    Open({ClickOn(ctl::kOptions), InOptions([&](HeadlessHost& h) {
            if (c.option) {
              EXPECT_TRUE(h.Click(c.option));
            }
            h.Active()->SetText(c.field, c.typed);  // also into a disabled field
            EXPECT_TRUE(h.Click(ui::kIdOk));
            if (c.message) {
              EXPECT_EQ(h.Active()->focus(), c.field);
              EXPECT_TRUE(h.Click(ui::kIdCancel));
            }
          }),
          [&](HeadlessHost& h) {
            kept = dialog_->options();
            EXPECT_TRUE(h.Click(ui::kIdCancel));
          }});
    ASSERT_EQ(host_.message_boxes().size(), boxes + (c.message ? 1 : 0));
    if (c.message) {
      EXPECT_EQ(host_.message_boxes().back().text, c.message);
      EXPECT_EQ(kept, profile::ServerOptions{}) << "a refused OK hands nothing back";
    } else if (c.option) {
      EXPECT_EQ(std::to_string(c.field == opt::kTolerance ? kept.agreement_tolerance_ms : kept.offset_guard_seconds),
                c.typed);
    } else {
      EXPECT_EQ(kept.offset_guard_seconds, 1000);
    }
  }
}

}  // namespace
}  // namespace qv::settings::test
