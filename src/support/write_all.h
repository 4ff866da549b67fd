// Writing a whole buffer to a file descriptor, through short writes and signals.
#pragma once

#include <cstddef>

namespace skelvar {

// 0 when every byte went out, else the error (ENOSPC for a write that took nothing).
int write_all(int fd, const void* data, std::size_t size);

}  // namespace skelvar
