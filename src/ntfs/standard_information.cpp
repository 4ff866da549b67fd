#include "ntfs/standard_information.h"

namespace skelvar {

standard_info read_standard_information(kavo::binary_data v) {
    standard_info si;
    read_standard_information(v, si);
    return si;
}

}  // namespace skelvar
