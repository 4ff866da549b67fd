// Whether the process may open live drives and partitions.
#pragma once

namespace skelvar {

// On POSIX the raw devices belong to root: administrator means effective uid 0.
bool process_is_admin();

}  // namespace skelvar
