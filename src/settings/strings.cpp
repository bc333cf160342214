#include "settings/strings.h"

namespace qv::settings {

const ui::StringTable& Strings() {
  static const ui::StringTable table = {
      {106, "HostNotFound"},
      {131, "Quorvel  <Setting>"},
  };
  return table;
}

}  // namespace qv::settings
