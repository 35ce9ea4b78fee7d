#pragma once
// The console stream: standard error, written one whole line at a time, so that lines from
// different threads never run into each other.

#include <ostream>

namespace framework {

// A stream of the calling thread's own; each completed line reaches standard error whole.
std::ostream& console();

}  // namespace framework
