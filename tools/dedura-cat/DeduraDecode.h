#pragma once
// Turns the shifted on-disk form of trace records back into their plain text.
#include <string>
#include <string_view>
#include <vector>

namespace lumo::trace {

// The records of a log file's content, each as plain text without its line end. A record
// whose message had a line feed of its own keeps it inside.
std::vector<std::string> decodeLog(std::string_view data);

}  // namespace lumo::trace
