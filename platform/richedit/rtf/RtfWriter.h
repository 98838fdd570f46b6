#pragma once
// RTF writer: our document model -> RTF that word processors and our reader open with the same
// text and formatting. Characters of the run font's code page go out as \'hh, all others as
// \uN with a '?' fallback.
#include "platform/richedit/rtf/RtfDocument.h"

#include <string>

namespace kelpa::rtf {

struct WriteOptions {
    // Font written for runs whose fontName is empty.
    std::u16string defaultFontName = u"Arial";
};

std::string writeRtf(const Document &document, const WriteOptions &options = {});

} // namespace kelpa::rtf
