#pragma once
// The editor's settings file "Kelpa.ini": lines of name=value, read with a default for every
// missing or bad value, written back whole in a fixed key order.
#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace kelpa::editor {

// Value of the system colour "window text", the default text colour of new pages.
inline constexpr qint32 kWindowTextColor = static_cast<qint32>(0x80000008u);
inline constexpr int kRecentCount = 12;
inline const QString kEmptyRecent = QStringLiteral("*empty");

// The parsed lines of a name=value file; lookup as a string list's Values does it: the first
// line whose part before the first "=" equals the name without regard to case.
class NameValueLines {
public:
    static NameValueLines parse(const QByteArray &bytes);
    // Nothing when no line carries the name.
    std::optional<QString> value(const QString &name) const;
    void set(const QString &name, const QString &value);
    QByteArray toBytes() const; // one "name=value" CR LF per line

private:
    QList<std::pair<QString, QString>> lines_;
};

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
// Writes through a temporary file renamed over the old one; false (old file intact) on failure.
bool saveSettings(const QString &fileName, const KelpaSettings &settings, QString *error = nullptr);

// Decimal integer as the settings file holds it: optional sign and digits, nothing else.
std::optional<int> parseDecimal(const QString &text);

// A client extent stored as read may be unusable (negative, larger than the screen); this gives
// what is safe to apply.
int usableClientExtent(int stored, int fallback, int screenExtent);

} // namespace kelpa::editor
