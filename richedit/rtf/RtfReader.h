#pragma once
// RTF reader: bytes as word processors write them -> our document model.
//
// It never fails and never throws: braces that do not balance, truncated files, huge numbers,
// deep nesting and binary junk are read as far as they make sense, and whatever is not
// understood as RTF ends up as text rather than being dropped.
#include "richedit/rtf/RtfDocument.h"

#include <string_view>

namespace kelpa::rtf {

// True when the data begins "{\rtf", the mark of rich text.
bool looksLikeRtf(std::string_view bytes);

Document readRtf(std::string_view bytes);

} // namespace kelpa::rtf
