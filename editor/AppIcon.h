#pragma once
// The editor's icons, painted at run time so that no image files need to travel with it.
#include <QIcon>

namespace kelpa::editor {

QIcon appIcon();
QIcon passwordIcon();

// The icons of the tool and formatting bars: the desktop's icon theme where it has them,
// else painted here.
enum class EditorIcon { Undo, Cut, Copy, Paste, Find, Replace, Favourites, AlignLeft, AlignCenter, AlignRight,
                        Bullets, DefaultFont, DefaultColor };
QIcon editorIcon(EditorIcon which);
// The desktop's icon of that name, else `fallback`.
QIcon themedIcon(const char *name, const QIcon &fallback);

} // namespace kelpa::editor
