#include "settings/strings.h"

namespace qv::settings {

const ui::StringTable& Strings() {
  static const ui::StringTable table = {
      {ui::kStringExpectInteger, "整数を入力してください。"},
      {ui::kStringExpectIntegerRange, "%1 から %2 までの整数を入力してください。"},
      {106, "HostNotFound"},
      {131, "Quorvel  <Setting>"},
  };
  return table;
}

}  // namespace qv::settings
