#include "main/strings.h"

namespace qv::main {

const ui::StringTable& Strings() {
  static const ui::StringTable table = {
      {ui::kStringExpectInteger, "整数を入力してください。"},
      {ui::kStringExpectIntegerRange, "%1 から %2 までの整数を入力してください。"},
      {111, "Windows ｿｹｯﾄの初期化に失敗しました。"},
      {112, "HostNotFound"},
      {114, "ｻｰﾊﾞ名が不明です。設定ﾎﾞﾀﾝを押してｻｰﾊﾞ名を設定して下さい。"},
      {115, "Quorvelは既に起動しています。"},
      {121, "Quorcfg.exe"},
      {124, "自動終了します。"},
      {125, "（[ESC]ｷｰでｷｬﾝｾﾙ）"},
      {131, "Quorvel"},
      {132, "Quorvel "},
      {133, "Ver.1.00"},
      {134, "SNTP / TIME / DAYTIME 時刻合わせﾌﾘｰｿﾌﾄ"},
      {136, "(C) 2026 Orvanta  https://www.orvanta.example/"},
      {511, "ﾊﾞｰｼﾞｮﾝ情報 (&A)..."},
  };
  return table;
}

}  // namespace qv::main
