#pragma once
// The editor's icons, painted at run time so that no image files need to travel with it.
#include <QIcon>

namespace kelpa::editor {

QIcon appIcon();
QIcon passwordIcon();

} // namespace kelpa::editor
