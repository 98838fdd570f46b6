#pragma once
// The twelve recent files of the Reopen menu and the favourites file "qckload.ini", without
// widgets.
#include "editor/Settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace kelpa::editor {

using RecentSlots = std::array<QString, kRecentCount>;

// Puts `path` at the top: an entry for the same file (isSameFile; the last such one) moves up,
// otherwise the oldest drops out; the top slot takes the path as it is given. Names that
// differ in letter case only are two files.
void addToRecent(RecentSlots &recent, const QString &path);
// Every slot that is empty or begins with '*' becomes "*empty".
void tidyRecent(RecentSlots &recent);
// Caption of Reopen slot 0..11: "&1 " .. "&C " + the slot's file name with '&' doubled.
QString reopenCaption(int slot, const QString &path);

inline const QString kFavouritesFileName = QStringLiteral("qckload.ini");

// What "qckload.ini" holds when it is first made: two comment lines, the system's settings
// files, a separator, its start-up files; CR LF after each line.
QByteArray defaultFavourites(const QStringList &settingsFiles, const QStringList &startupFiles);

struct FavouriteEntry {
    bool separator = false;
    QString path;    // the whole line
    QString caption; // its file-name part
};
// The menu entries of the file, in file order: blank lines and comments (';' first) skipped,
// "-" a separator, any other line a path.
std::vector<FavouriteEntry> parseFavourites(const QByteArray &bytes);
// The file with `path` added as a new last line.
QByteArray withFavourite(const QByteArray &bytes, const QString &path);

} // namespace kelpa::editor
