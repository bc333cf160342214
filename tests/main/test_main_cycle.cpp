// The check and adjust cycle, the retry series, the daily adjustment and the
// settings program's notifications, on the headless host with a manual
// clock and a fake engine.
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "main/notice_dialog.h"
#include "main/strings.h"
#include "main_fixture.h"

namespace qv::main::test {
namespace {

constexpr const char* kPc = "Tue Jan 06 09:05:03 2026";
constexpr const char* kServer = "Tue Jan 06 09:05:04 2026";

TEST_F(MainTest, CheckShowsTheServerTimeBesideThePcTime) {
  // The clock ticks each second from the start; the check ends half-way
  // between two ticks, when the clock reads 09:05:05.
  struct Row {
    const char* lines;
    QueryOutcome outcome;
    const char* server_line;
    const char *pc_line, *caption;              // at the next tick
    const char *pc_line_later, *caption_later;  // a second later
  } rows[] = {
      {"", Failed("ERROR (Connect)", "10061"), "ERROR (Connect)", kPc, "Quorvel", kPc, "Quorvel"},
      // While the clock shows, the result holds it back for a second.
      {"CurrentTimeDisplay=1,0,0\n", Ok(kServer), kServer, kPc, "Quorvel", "09:05:05", "Quorvel"},
      {"CurrentTimeDisplay=1,0,1\n", Failed("ERROR (Connect)"), "ERROR (Connect)", kPc, "09:05:03", kPc, "09:05:05"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    clock_.SetUnixTime(1767657903);
    WriteProfile(row.lines);
    engine_.outcomes = {row.outcome};
    engine_.during = [&] { EXPECT_EQ(W().Text(kIdServerTime), "connecting..."); };
    Then([&](HeadlessHost&) { clock_.SetUnixTime(1767657905); });
    Advance(500);
    Click(kIdCheck);
    Then([&](HeadlessHost&) { EXPECT_EQ(W().Text(kIdServerTime), row.server_line); });
    Advance(500);
    const auto shown = [&] { return W().Text(kIdPcTime) + " | " + W().Caption(); };
    Then([&](HeadlessHost&) { EXPECT_EQ(shown(), std::string(row.pc_line) + " | " + row.caption); });
    Advance(1000);
    Then([&](HeadlessHost&) { EXPECT_EQ(shown(), std::string(row.pc_line_later) + " | " + row.caption_later); });
    Close();
    Run();
  }
  EXPECT_TRUE(notices_.empty()) << "a check shows no notice";
  EXPECT_FALSE(engine_.calls[0].adjust);
}

// Every row of the cycle's failure table, from the Adjust button.
TEST_F(MainTest, FailuresShowAndLeaveTheClock) {
  struct Row {
    const char* lines;
    std::uint8_t autodial;  // first byte of "EnableAutodial"; 0xFF: missing
    QueryOutcome outcome;
    std::size_t calls;
    const char* message;
    const char* server_line;
  } rows[] = {
      {"DefaultServer=\n", 0xFF, Ok(kServer), 0, "ｻｰﾊﾞ名が不明です。設定ﾎﾞﾀﾝを押してｻｰﾊﾞ名を設定して下さい。", ""},
      {"", 1, Ok(kServer), 0, "ﾀﾞｲｱﾙｱｯﾌﾟに接続されていません。", ""},
      {"", 2, Ok(kServer), 0, "ﾀﾞｲｱﾙｱｯﾌﾟに接続されていません。", ""},
      {"", 0, Failed("ERROR (TimeOut)", "0"), 1, nullptr, "ERROR (TimeOut)"},
      {"", 0xFF, Failed("ERROR (localtime-set)"), 1, nullptr, "ERROR (localtime-set)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.server_line);
    WriteProfile(row.lines);
    dialup_.value = row.autodial == 0xFF ? platform::AutodialValue{}
                                         : platform::AutodialValue{platform::AutodialValue::State::kRead, {row.autodial}};
    engine_.calls.clear();
    engine_.outcomes = {row.outcome};
    notices_.clear();
    const std::size_t boxes = host_.message_boxes().size();
    // A Check another program asks for meanwhile starts neither a second
    // box nor a second query.
    Then([&](HeadlessHost& h) {
      EXPECT_TRUE(h.Post(W().Id(), ui::kWmCommand, kIdCheck, 0));
      EXPECT_TRUE(h.Click(kIdAdjust));
    });
    Advance(3000);
    Then([&](HeadlessHost&) {
      EXPECT_EQ(W().Text(kIdServerTime), row.server_line);
      EXPECT_EQ(W().Text(kIdPcTime), row.calls ? kPc : "");
    });
    Close();
    Run();
    EXPECT_EQ(engine_.calls.size(), row.calls);
    EXPECT_EQ(host_.message_boxes().size(), boxes + (row.message ? 1 : 0));
    if (row.message) {
      EXPECT_EQ(host_.message_boxes().back().text, row.message);
    }
    const std::vector<Notice> error_notice{{"<< ERROR!! >>", kPc, 0}};
    EXPECT_EQ(notices_, row.calls ? error_notice : std::vector<Notice>{});
  }
}

TEST_F(MainTest, AdjustShowsTheNewTimeAndAThreeSecondNotice) {
  WriteProfile("protocol=SNTP\nServerReferenceTime=5,12\nTimeOut=7\nbeep=1\nlogfile=1\n");
  engine_.outcomes = {Ok(kServer)};
  Click(kIdAdjust);
  Advance(2999);
  Then([&](HeadlessHost& h) { EXPECT_EQ(h.ModalDepth(), 2) << "the notice is still up"; });
  Advance(1);
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(h.ModalDepth(), 1);
    EXPECT_EQ(W().Text(kIdServerTime), kServer);
    EXPECT_EQ(W().Text(kIdPcTime), "<< ADJUSTED!! >>");
  });
  Close();
  Run();
  EXPECT_EQ(notices_, (std::vector<Notice>{{kServer, "<< ADJUSTED!! >>", 0}}));
  ASSERT_EQ(engine_.calls.size(), 1u);
  const engine::Request& r = engine_.calls[0].request;
  EXPECT_EQ(std::tie(r.protocol, r.server, r.timeout, r.beep, r.reference_check, r.reference_hours,
                     engine_.calls[0].log),
            std::make_tuple(0, std::string("ts.test"), 7, true, true, 12, true));
}

TEST_F(MainTest, RetrySeriesRunsToItsEnd) {
  struct Row {
    const char* retry;
    const char* daily;  // AdjustAt; the clock reads 09:05:03, so 9:06 comes at 57 s
    int presses;        // of Adjust, 200 s apart; -1: one, and Apply 8 s later
    std::deque<QueryOutcome> outcomes;
    std::vector<std::string> texts;
    std::vector<std::int64_t> calls_at;
  } rows[] = {
      // Each retry starts 10 s after the previous cycle (query and notice) ended.
      {"1,3,10,0", "0,0:00", 1, {}, {"3回", "0/3", "1/3", "2/3", "3/3", "3回"}, {0, 13000, 26000, 39000}},
      {"1,3,10,0", "0,0:00", 1, {Failed("ERROR (Recv)"), Failed("ERROR (Recv)"), Ok(kServer)},
       {"3回", "0/3", "1/3", "2/3", "3回"}, {0, 13000, 26000}},
      {"1,0,10,0", "0,0:00", 1, {}, {"0回", "0/0", "0回"}, {0}},
      {"0,3,10,0", "0,0:00", 1, {}, {"3回", "3回", "3回"}, {0}},
      // Settings applied while a retry is pending cancel it.
      {"1,3,10,0", "0,0:00", -1, {}, {"3回", "0/3", "3回"}, {0}},
      // A success ends the series: the next one counts from 0 again.
      {"1,1,10,0", "0,0:00", 2, {Failed("ERROR (Recv)"), Ok(kServer), Ok(kServer)},
       {"1回", "0/1", "1/1", "1回", "0/1", "1回"}, {0, 13000, 200000}},
      // A daily start shows the progress as the button does.
      {"1,2,10,0", "1,9:06", 0, {}, {"2回", "0/2", "1/2", "2/2", "2回"}, {57000, 70000, 83000}},
      // A daily cycle takes a pending retry up; its failure starts the
      // series anew.
      {"1,3,30,0", "1,9:06", 1, {}, {"3回", "0/3", "1/3", "2/3", "1/3", "2/3", "3/3", "3回"},
       {0, 33000, 57000, 90000, 123000, 156000}},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(std::string(row.retry) + " " + row.daily);
    WriteProfile(std::string("ErrorRetry=") + row.retry + "\nAdjustAt=" + row.daily + "\n");
    clock_.SetLocalReading({2026, 1, 2, 6, 9, 5, 3, 0});
    // Past 9:06 once a query ran: the next daily moment is tomorrow's.
    engine_.during = [&] { clock_.SetLocalReading({2026, 1, 2, 6, 9, 6, 5, 0}); };
    engine_.calls.clear();
    engine_.outcomes = row.outcomes;
    retry_texts_.clear();
    for (int press = 0; press < std::max(std::abs(row.presses), 1); ++press) {
      if (press < std::abs(row.presses)) Click(kIdAdjust);
      if (row.presses < 0) {
        Advance(8000);
        PostToMain(WM_SETTINGS_NOTIFY, SETTINGS_APPLIED, 0);
      }
      Advance(200000);
    }
    Then([&](HeadlessHost&) {
      EXPECT_FALSE(host_.Find(W().Id()) == nullptr);
      EXPECT_EQ(host_.ModalDepth(), 1);
    });
    Close();
    Run();
    EXPECT_EQ(retry_texts_, row.texts);
    std::vector<std::int64_t> at;
    for (const EngineCall& c : engine_.calls) at.push_back(c.at_ms);
    EXPECT_EQ(at, row.calls_at);
  }
}

TEST_F(MainTest, AutoTerminateEndsAfterSuccess) {
  struct Row {
    const char* lines;
    bool fails, esc;
    const char* window_pos;  // after the run
    std::size_t notices;
  } rows[] = {
      // From the button, without AutoAdjust: ends as Close does, after the notice.
      {"AutoTerminate=1\n", false, false, "1,300,200,1", 1},
      // At start with AutoAdjust: a 2-second notice, then ends as ESC does.
      {"AutoTerminate=1\nAutoAdjust=1\n", false, false, "1,300,200,5", 2},
      // ESC on that notice keeps the program running, its window restored.
      {"AutoTerminate=1\nAutoAdjust=1\nIconicStart=1\n", false, true, "1,300,200,1", 2},
      // A failed adjustment ends nothing: the user closes it.
      {"AutoTerminate=1\n", true, false, "1,300,200,1", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    WriteProfile(std::string(row.lines) + "WindowPos=1,300,200,5\n");
    engine_.outcomes = {row.fails ? Failed("ERROR (Recv)") : Ok(kServer)};
    notices_.clear();
    const bool button = std::string(row.lines).find("AutoAdjust") == std::string::npos;
    if (button) Click(kIdAdjust);
    Advance(3000);
    if (row.esc) {
      Then([&](HeadlessHost& h) {
        EXPECT_EQ(W().Text(kIdNoticeFirst), "自動終了します。");
        h.PressEsc();
      });
      Then([&](HeadlessHost& h) {
        EXPECT_FALSE(W().IsMinimized());
        EXPECT_TRUE(h.Click(ui::kIdOk));
        EXPECT_EQ(ProfileValue("Property", "WindowPos"), "1,300,200,1");
      });
    } else if (!button) {
      Advance(2000);
    } else if (row.fails) {
      Close();
    }
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ProfileValue("Property", "WindowPos"), row.window_pos);
    ASSERT_EQ(notices_.size(), row.notices);
    if (row.notices == 2) {
      EXPECT_EQ(notices_[1], (Notice{"自動終了します。", "（[ESC]ｷｰでｷｬﾝｾﾙ）", 3000}));
    }
  }
}

TEST_F(MainTest, DailyAdjustmentFollowsTheWallClock) {
  struct Row {
    int changed_hour, changed_minute;  // the clock set after the first cycle; -1: not set
    std::int64_t second_at;
  } rows[] = {
      // The first cycle ends at 07:30:05: tomorrow's moment is 86395 s later.
      {-1, 0, 1803000 + 86395000},
      {7, 20, 1803000 + 600000},
      {8, 0, 1803000 + 84600000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.changed_hour);
    // No server and dial-up refused: the daily path asks neither.
    WriteProfile("DefaultServer=\nAdjustAt=1,7:30\n");
    dialup_.value = {platform::AutodialValue::State::kRead, {1}};
    clock_.SetLocalReading({2026, 1, 2, 6, 7, 0, 0, 0});
    engine_.calls.clear();
    engine_.during = [&] { clock_.SetLocalReading({2026, 1, 2, 6, 7, 30, 5, 0}); };
    Advance(1803000);
    Then([&](HeadlessHost& h) {
      if (row.changed_hour < 0) return;
      clock_.SetLocalReading({2026, 1, 2, 6, static_cast<std::uint16_t>(row.changed_hour),
                              static_cast<std::uint16_t>(row.changed_minute), 0, 0});
      h.SimulateTimeChange();
    });
    Advance(row.second_at - 1803000 + 3000);
    Close();
    Run();
    ASSERT_EQ(engine_.calls.size(), 2u);
    EXPECT_EQ(engine_.calls[0].at_ms, 1800000);
    EXPECT_EQ(engine_.calls[1].at_ms, row.second_at);
    EXPECT_TRUE(engine_.calls[0].adjust);
    EXPECT_EQ(engine_.calls[0].request.server, "");
    EXPECT_TRUE(host_.message_boxes().empty());
  }
}

// A daily tick that comes while a check's runner is up waits for the
// check's end, unless an Apply meanwhile turned daily adjustment off. No
// query ever nests.
TEST_F(MainTest, DailyTickDuringACycleWaitsForItsEnd) {
  for (const bool apply_daily_off : {false, true}) {
    SCOPED_TRACE(apply_daily_off);
    WriteProfile("AdjustAt=1,7:30\n");
    clock_.SetLocalReading({2026, 1, 2, 6, 7, 29, 59, 0});
    engine_.calls.clear();
    engine_.during = [&] {
      if (engine_.calls.size() != 1) return;
      const ui::WindowId main = W().Id();
      // Modal loops, as the runner's: the daily tick comes in the first.
      NoticeDialog(1500, "runner", "").DoModal(0);
      if (apply_daily_off) {
        WriteProfile("AdjustAt=0,7:30\n");
        host_.Post(main, WM_SETTINGS_NOTIFY, SETTINGS_APPLIED, 0);
      }
      NoticeDialog(500, "runner", "").DoModal(0);
    };
    Click(kIdCheck);
    Advance(5000);
    Close();
    Run();
    ASSERT_EQ(engine_.calls.size(), apply_daily_off ? 1u : 2u);
    EXPECT_EQ(engine_.max_depth, 1);
    EXPECT_FALSE(engine_.calls[0].adjust);
    if (!apply_daily_off) {
      EXPECT_TRUE(engine_.calls[1].adjust);
      EXPECT_EQ(engine_.calls[1].at_ms, 2000);
    }
  }
}

TEST_F(MainTest, ForeignTimerIsKilledAndReported) {
  WriteProfile("");
  Then([&](HeadlessHost&) { W().SetTimer(7, 100); });
  Advance(1000);
  Close();
  Run();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"timerID=7 is killed"});
}

TEST_F(MainTest, SettingsProgramNotificationsDriveTheButton) {
  // A profile path with blanks and Japanese reaches the settings program whole.
  const std::filesystem::path folder = FsPath(dir_.File("")) / u8"設定 フォルダ";
  std::filesystem::create_directories(folder);
  exe_ = Utf8(folder / FsPath(exe_).filename());
  WriteProfile("protocol=time\n");
  auto button = [&] { return std::pair{W().IsEnabled(kIdSettings), W().Check(kIdSettings)}; };
  const std::pair idle{true, 0}, waiting{false, 1};
  Click(kIdSettings);
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(button(), waiting);
    EXPECT_EQ(settings_.started.back(),
              "-profile=\"" + ProfilePath() + "\" -geohwnd=" + std::to_string(W().Id()) + " xyz");
    h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_OPENED, 0x5000);
    // Two more announce themselves: one box, not one inside the other.
    h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_OPENED, 0x5001);
    h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_OPENED, 0x5004);
    WriteProfile("protocol=SNTP\n");
    h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_APPLIED, 0x5000);
  });
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"ZevAde is already running."});
    EXPECT_EQ(W().Text(kIdProtocolName), "SNTP");
    EXPECT_EQ(button(), waiting);
    WriteProfile("protocol=daytime\n");
    h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_CANCELLED, 0x5000);
  });
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(W().Text(kIdProtocolName), "SNTP") << "Cancel reads nothing";
    EXPECT_EQ(button(), idle);
    h.Click(kIdSettings);
  });
  Then([&](HeadlessHost& h) {
    h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_SAVED, 0x5002);
  });
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(W().Text(kIdProtocolName), "daytime");
    EXPECT_EQ(button(), idle);
    // Dies without a word: its end frees the button.
    h.Click(kIdSettings);
    std::thread(settings_.on_end).join();
  });
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(button(), idle);
    // A start that fails frees it at once.
    settings_.start_ok = false;
    h.Click(kIdSettings);
    EXPECT_EQ(button(), idle);
    settings_.start_ok = true;
    h.Click(kIdSettings);
    h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_OPENED, 0x5003);
  });
  Then([&](HeadlessHost& h) { h.PressEsc(); });
  Run();
  EXPECT_EQ(settings_.closed, std::vector<ui::WindowId>{0x5003});
  EXPECT_EQ(settings_.started.size(), 5u);
}

}  // namespace
}  // namespace qv::main::test
