#pragma once
// The page control's and the document engine's names as the editor spells them: declared here,
// defined in richedit/TRichEdit.h and engine/TOBRINEngine.h.
#include "engine/LegacyCipher.h"

#include <QFlags>

namespace kelpa::richedit {
class TRichEdit;
class TTextAttributes;
class TParaAttributes;
enum class TFontStyle;
using TFontStyles = QFlags<TFontStyle>;
enum class TAlignment;
enum class TNumberingStyle;
enum class TScrollStyle;
enum class TSearchType;
using TSearchTypes = QFlags<TSearchType>;
} // namespace kelpa::richedit

namespace kelpa::engine {
class TOBRINEngine;
} // namespace kelpa::engine

namespace kelpa::editor {

using engine::DecipherText;
using engine::TOBRINEngine;
using richedit::TAlignment;
using richedit::TFontStyle;
using richedit::TFontStyles;
using richedit::TNumberingStyle;
using richedit::TParaAttributes;
using richedit::TRichEdit;
using richedit::TScrollStyle;
using richedit::TSearchType;
using richedit::TSearchTypes;
using richedit::TTextAttributes;

} // namespace kelpa::editor
