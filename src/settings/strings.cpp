#include "settings/strings.h"

#include "ui/dialog.h"

namespace qv::settings {

const ui::StringTable& Strings() {
  static const ui::StringTable table = {
      {ui::kStringExpectInteger, "整数を入力してください。"},
      {ui::kStringExpectIntegerRange, "%1 から %2 までの整数を入力してください。"},
      {kStrSocketFailed, "Windows ｿｹｯﾄの初期化に失敗しました。"},
      {kStrNoServer, "ｻｰﾊﾞ名が不明です。"},
      {kStrHostNotFound, "HostNotFound"},
      {kStrStartedAlone, "このﾌﾟﾛｸﾞﾗﾑは単独では起動できません。"},
      {kStrCaption, "Quorvel  <Setting>"},
      {kStrShortcutName, "Quorvel"},
      {kStrSaveFailed, "設定を %s に保存できませんでした。\n(%s)"},
      {kStrDeleteLog, "ﾛｸﾞﾌｧｲﾙ %s を消去します。"},
      {kStrDetailShown, "≪ 詳細(&M)"},
      {kStrDetailFolded, "詳細(&M)≫"},
      {kStrConnecting, "connecting..."},
      {kStrTimes, "回"},
      {kStrNameLineBreak, "ｻｰﾊﾞ名「%s」は保存できません。改行を含む名前はﾌﾟﾛﾌｧｲﾙに書けません。"},
      {kStrNameNotALine,
       "ｻｰﾊﾞ名「%s」は一覧に保存できません。空白だけの名前や「[」「;」で始まる名前は、ﾌﾟﾛﾌｧｲﾙからｻｰﾊﾞ名として読み戻せません。"},
      {kStrNameCodePage, "ｻｰﾊﾞ名「%s」は保存できません。文字「%s」はﾌﾟﾛﾌｧｲﾙの文字ｺｰﾄﾞで表せません。"},
      {kStrOptionRange, "%s: enter a whole number from %s to %s."},
      {kStrToleranceField, "Agreement tolerance (milliseconds)"},
      {kStrGuardField, "Largest step (seconds)"},
  };
  return table;
}

std::string FormatText(int id, std::initializer_list<std::string_view> values) {
  std::string text = ui::LoadText(id);
  std::size_t at = 0;
  for (std::string_view value : values) {
    at = text.find("%s", at);
    if (at == std::string::npos) break;
    text.replace(at, 2, value);
    at += value.size();  // a value's own "%s" stays as it is
  }
  return text;
}

}  // namespace qv::settings
