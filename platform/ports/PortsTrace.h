#pragma once

#include <functional>
#include <string>

// The port back-ends sit below the shell, so their few trace lines go through a
// sink the program installs (the trace log); without one they are dropped.
namespace zelmora::ports {

void setTraceSink(std::function<void(const std::string&)> sink);
void trace(const std::string& line);

}  // namespace zelmora::ports
