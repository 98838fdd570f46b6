#include "editor/RecentFiles.h"

#include "editor/FavouritesFile.h"
#include "editor/PageTable.h"
#include "platform/codepage/CodePage.h"

namespace kelpa::editor {

void addToRecent(RecentSlots &recent, const QString &path)
{
    int found = -1;
    for (int i = 0; i < kRecentCount; ++i)
        if (!isUntitledName(recent[static_cast<std::size_t>(i)]) && isSameFile(recent[static_cast<std::size_t>(i)], path))
            found = i;
    const int last = found < 0 ? kRecentCount - 1 : found;
    for (int i = last; i > 0; --i)
        recent[static_cast<std::size_t>(i)] = recent[static_cast<std::size_t>(i - 1)];
    recent[0] = path;
}

void tidyRecent(RecentSlots &recent)
{
    for (QString &slot : recent)
        if (slot.isEmpty() || slot.startsWith(QLatin1Char('*')))
            slot = kEmptyRecent;
}

QString reopenCaption(int slot, const QString &path)
{
    return QLatin1Char('&') + QString::number(slot + 1, 16).toUpper() + QLatin1Char(' ')
         + EscapeMenuCaption(fileNamePart(path));
}

QByteArray defaultFavourites(const QStringList &settingsFiles, const QStringList &startupFiles)
{
    QStringList lines{QStringLiteral(";List of favourite files"),
                      QStringLiteral(";To add a separator bar, insert a minus sing (-) between two rows")};
    lines << settingsFiles << QStringLiteral("-") << startupFiles;
    QByteArray out;
    for (const QString &line : lines)
        out += line.toUtf8() + "\r\n";
    return out;
}

namespace {

QString fromU16(const std::u16string &text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

std::string_view bytesOf(const QByteArray &bytes) { return {bytes.constData(), static_cast<std::size_t>(bytes.size())}; }

} // namespace

std::vector<FavouriteEntry> parseFavourites(const QByteArray &bytes)
{
    std::vector<FavouriteEntry> entries;
    for (const FavouriteLine &line : readFavourites(bytesOf(bytes))) {
        const QString path = fromU16(line.path);
        entries.push_back({line.separator, path, line.separator ? QString() : fileNamePart(path)});
    }
    return entries;
}

QByteArray withFavourite(const QByteArray &bytes, const QString &path)
{
    const auto decoded = codepage::decodePlainText(bytesOf(bytes));
    QString text;
    for (const std::u16string &line : favouriteFileLines(bytesOf(bytes)))
        text += fromU16(line) + QStringLiteral("\r\n");
    text += path + QStringLiteral("\r\n");
    const auto encoded = codepage::encodePlainText(
        std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size())),
        bytes.isEmpty() ? codepage::TextEncoding::Utf8 : decoded.encoding);
    return QByteArray::fromStdString(encoded.bytes);
}

} // namespace kelpa::editor
