#pragma once

// Text that came from a server, made safe to show on one line: every control character (the
// C0 controls, DEL) becomes a blank, so that a reply cannot start a new status or log line or
// hide what follows it. Other bytes are kept as they are.

#include <string>
#include <string_view>

std::string PrintableText(std::string_view text);
