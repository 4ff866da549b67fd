// Runs another program with its standard output read through a pipe and
// thrown away, as a command pipe would, but without a shell in between: the
// arguments reach the child byte for byte, whatever quotes, spaces, "$" or
// empty values they hold.
#pragma once

#include <string>
#include <vector>

namespace skelvar {

struct child_outcome {
    bool started = false;
    int exit_code = -1;    // 0..255 when the child exited, -1 when killed or not started
    std::string problem;   // why it could not be started
};

// `executable` is the file run ("/proc/self/exe" names this program); `argv`
// is the child's argument list, argument 0 included. Standard error and input
// are shared with this process. Returns once the child has ended.
child_outcome run_child(const std::string& executable, const std::vector<std::string>& argv);

}  // namespace skelvar
