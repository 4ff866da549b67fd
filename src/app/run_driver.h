// The entry point's phases: usage, header, options, source, walk, close.
#pragma once

namespace skelvar {

// Returns the process exit code: 0 for a completed run, -1 for a failure.
int run_program(int argc, char** argv);

}  // namespace skelvar
