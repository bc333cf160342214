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
      {kStrSaveFailed, "設定を %s に保存できませんでした。"},
      {kStrDeleteLog, "ﾛｸﾞﾌｧｲﾙ %s を消去します。"},
      {kStrDetailShown, "≪ 詳細(&M)"},
      {kStrDetailFolded, "詳細(&M)≫"},
      {kStrConnecting, "connecting..."},
      {kStrTimes, "回"},
  };
  return table;
}

std::string FormatText(int id, const std::string& value) {
  std::string text = ui::LoadString(id);
  if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace qv::settings
