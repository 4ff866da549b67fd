// The -signal completion event: a named POSIX semaphore posted at exit, so a
// waiting script can sem_wait on it instead of polling for the results file.
#pragma once

#include <string>

namespace skelvar {

// Creates (or opens) the semaphore and posts it once. A name without a
// leading '/' gets one. Returns false when the semaphore cannot be used.
bool signal_completion(const std::string& name);

// The name as passed to sem_open.
std::string semaphore_name(const std::string& name);

}  // namespace skelvar
