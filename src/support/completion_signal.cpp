#include "support/completion_signal.h"

#include <fcntl.h>
#include <semaphore.h>

namespace skelvar {

std::string semaphore_name(const std::string& name) {
    std::string n = name.empty() || name[0] != '/' ? "/" + name : name;
    // Only the leading slash is allowed in a portable semaphore name.
    for (std::size_t i = 1; i < n.size(); ++i)
        if (n[i] == '/') n[i] = '_';
    return n;
}

bool signal_completion(const std::string& name) {
    if (name.empty()) return false;
    sem_t* sem = ::sem_open(semaphore_name(name).c_str(), O_CREAT, 0644, 0);
    if (sem == SEM_FAILED) return false;
    bool ok = ::sem_post(sem) == 0;
    ::sem_close(sem);
    return ok;
}

}  // namespace skelvar
