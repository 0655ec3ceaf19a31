// The program's outer loop: banner, calculations while the user answers 1,
// the closing key wait and the exit.
#pragma once

namespace velmora {

// Runs the whole program and ends the process with exit status 1; never returns.
[[noreturn]] void run_program();

}  // namespace velmora
