// The body file that timeline tools read (md5|name|inode|mode|uid|gid|size|atime|mtime|ctime|crtime):
// one line per name, two when the name's $FILE_NAME times differ from the $STANDARD_INFORMATION times,
// and one "name:stream" line with the SI times for each named data stream.
#pragma once

#include <memory>
#include <ostream>

#include "report/layout_writer.h"
#include "report/report_context.h"

namespace skelvar {

std::unique_ptr<layout_writer> make_body_writer(const report_context& context, std::ostream& out);

}  // namespace skelvar
