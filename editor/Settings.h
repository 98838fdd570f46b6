#pragma once
// The editor's settings file "Kelpa.ini": lines of name=value, read with a default for every
// missing or bad value, written back whole in a fixed key order.
#include "support/settings/NameValueFile.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace kelpa::editor {

// Value of the system colour "window text", the default text colour of new pages.
inline constexpr qint32 kWindowTextColor = static_cast<qint32>(0x80000008u);
inline constexpr int kRecentCount = 12;
inline const QString kEmptyRecent = QStringLiteral("*empty");

struct KelpaSettings {
    int normalWidth = 530;
    int normalHeight = 414;
    bool maximized = false;
    int dateFormatOption = 0;
    int separatorLength = 79;
    bool findCapture = true;
    bool batchScope = false;
    bool autoWrap = true;
    bool commonPassword = true;
    bool showToolbar = true;
    bool encEC4 = true;
    QString defaultFontName = QStringLiteral("Courier New");
    int defaultFontSize = 8;
    qint32 defaultFontColor = kWindowTextColor;
    std::array<QString, kRecentCount> prevLoaded;

    KelpaSettings();

    // Every key read on its own: a missing or bad value keeps that key's default.
    static KelpaSettings fromLines(const NameValueLines &lines);
    static KelpaSettings fromBytes(const QByteArray &bytes) { return fromLines(NameValueLines::parse(bytes)); }
    // Exactly the known keys, in their fixed order; other lines do not survive.
    NameValueLines toLines() const;
    QByteArray toBytes() const { return toLines().toBytes(); }
};

// Reads "Kelpa.ini" from a folder; a missing or unreadable file gives the defaults.
KelpaSettings loadSettings(const QString &fileName);
// Writes through a temporary file renamed over the old one: 0, or the system's error number
// (old file intact).
int saveSettings(const QString &fileName, const KelpaSettings &settings);

// A client extent stored as read may be unusable (negative, larger than the screen); this gives
// what is safe to apply.
int usableClientExtent(int stored, int fallback, int screenExtent);

} // namespace kelpa::editor
