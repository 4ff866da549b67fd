#include "support/admin_rights.h"

#include <unistd.h>

namespace skelvar {

bool process_is_admin() { return ::geteuid() == 0; }

}  // namespace skelvar
