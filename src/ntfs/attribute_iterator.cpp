#include "ntfs/attribute_iterator.h"

namespace skelvar {

std::u16string attribute_view::read_name() const { return record.utf16(offset + name_offset, name_length); }

}  // namespace skelvar
