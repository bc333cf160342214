#include "main/strings.h"

namespace qv::main {

const ui::StringTable& Strings() {
  static const ui::StringTable table = {
      {ui::kStringExpectInteger, "整数を入力してください。"},
      {ui::kStringExpectIntegerRange, "%1 から %2 までの整数を入力してください。"},
      {kStrSocketsFailed, "Windows ｿｹｯﾄの初期化に失敗しました。"},
      {kStrHostNotFound, "HostNotFound"},
      {kStrNoServer, "ｻｰﾊﾞ名が不明です。設定ﾎﾞﾀﾝを押してｻｰﾊﾞ名を設定して下さい。"},
      {kStrAlreadyRunning, "Quorvelは既に起動しています。"},
      {kStrSettingsProgram, "Quorcfg.exe"},
      {kStrAutoTerminate, "自動終了します。"},
      {kStrEscToCancel, "（[ESC]ｷｰでｷｬﾝｾﾙ）"},
      {kStrProductName, "Quorvel"},
      {kStrAboutCaption, "Quorvel "},
      {kStrVersion, "Ver.1.00"},
      {kStrAboutNotice, "SNTP / TIME / DAYTIME 時刻合わせﾌﾘｰｿﾌﾄ"},
      {kStrAboutMaker, "(C) 2026 Orvanta  https://www.orvanta.example/"},
      {kStrAboutMenuItem, "ﾊﾞｰｼﾞｮﾝ情報 (&A)..."},
      {kStrConfirmStep, "ﾊﾟｿｺﾝの時計を %1 秒動かします（上限 %2 秒）。\nこのまま調整しますか？"},
  };
  return table;
}

}  // namespace qv::main
