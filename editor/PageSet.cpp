#include "editor/PageSet.h"

#include "richedit/TRichEdit.h"

#include <string>
#include <string_view>

namespace kelpa::editor {

namespace {

bool isEncryptedKind(PageKind kind) { return kind == PageKind::Encrypted || kind == PageKind::Legacy; }

std::string_view view(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool isUtf8(codepage::TextEncoding encoding) { return encoding != codepage::TextEncoding::Windows1252; }

// The file's bytes, only where the page's line form cannot give them back (shared, not copied).
void keepOddLineEnds(PageRecord &page, const QByteArray &bytes, codepage::TextEncoding encoding)
{
    if (documents::keepsBytes(view(bytes), page.LineEnds, isUtf8(encoding)))
        page.OddLineEnds.clear();
    else
        page.OddLineEnds = bytes;
}

// What a plain page needs to write a file's bytes back.
void keepLineEnds(PageRecord &page, const QByteArray &bytes, codepage::TextEncoding encoding)
{
    page.LineEnds = documents::lineFormOf(view(bytes));
    keepOddLineEnds(page, bytes, encoding);
}

} // namespace

PageSet::PageSet(QObject *parent) : QObject(parent) { engine_.ApplicationTitle = "Kelpa"; }

documents::ReadResult PageSet::read(int slot, const QString &path, const QString &password)
{
    PageRecord &page = table_[slot];
    // Taken first: a change while the file is read is then noticed at the next save.
    const documents::FileIdentity identity = documents::identityOf(path);
    documents::ReadResult doc = isEncryptedName(path) ? documents::readEncrypted(engine_, path, password)
                                                      : documents::readTextFile(path);
    if (!doc.ok())
        return doc;
    disk_[slot] = {path, identity};
    page.LineEnds = {};
    page.OddLineEnds.clear();
    if (isEncryptedName(path)) {
        page.Password = password;
        page.Kind = doc.kind;
    } else {
        page.Password.clear();
        if (!documents::opensAsRich(path))
            keepLineEnds(page, doc.bytes, doc.encoding);
    }
    page.Editor->LoadFromStream(doc.bytes);
    doc.bytes.clear();
    return doc;
}

documents::ReadResult PageSet::reread(int slot, const QString &password)
{
    PageRecord &page = table_[slot];
    const documents::FileIdentity identity = documents::identityOf(page.FileName);
    documents::ReadResult doc = documents::readEncrypted(engine_, page.FileName, password);
    if (!doc.ok())
        return doc;
    disk_[slot] = {page.FileName, identity};
    page.Password = password;
    page.PasswordUnconfirmed = false;
    page.Editor->SetReadOnly(false);
    page.Editor->LoadFromStream(doc.bytes);
    page.Editor->SetModified(false);
    doc.bytes.clear();
    emit pageChanged(slot);
    return doc;
}

PageSet::WriteResult PageSet::write(int slot, std::uint8_t cipher)
{
    PageRecord &page = table_[slot];
    WriteResult result;
    if (isEncryptedKind(page.Kind)) {
        result.error = documents::writeEncrypted(engine_, page.FileName, page.Kind, cipher, page.Password,
                                                 page.Editor->SaveToStream());
        if (result.error.ok())
            remember(slot, page.FileName);
        return result;
    }
    // Plain lines also from a rich editor saved as plain text, whose stream would be RTF.
    TRichEdit::PlainBytes out = page.Kind == PageKind::Plain
        ? page.Editor->PlainStream()
        : TRichEdit::PlainBytes{page.Editor->SaveToStream(), page.Editor->Encoding()};
    if (page.Kind == PageKind::Plain) {
        if (!page.OddLineEnds.isEmpty() && out.encoding == page.Editor->Encoding()) {
            out.bytes = QByteArray::fromStdString(documents::mergeLineEnds(view(page.OddLineEnds), view(out.bytes),
                                                                           page.LineEnds, isUtf8(out.encoding)));
        } else {
            std::string_view append;
            out.bytes.truncate(static_cast<qsizetype>(documents::toLineFormInPlace(
                out.bytes.data(), static_cast<std::size_t>(out.bytes.size()), page.LineEnds, append)));
            out.bytes.append(append.data(), static_cast<qsizetype>(append.size()));
        }
    }
    result.error = documents::writeTextFile(page.FileName, out.bytes);
    if (result.error.ok()) {
        remember(slot, page.FileName);
        // What the file now holds is what the next save keeps.
        if (page.Kind == PageKind::Plain)
            keepOddLineEnds(page, out.bytes, out.encoding);
        // The page keeps its encoding until the file is in another one.
        result.movedToUtf8 = out.encoding != page.Editor->Encoding();
        page.Editor->SetEncoding(out.encoding);
    }
    return result;
}

void PageSet::opened(int slot, const QString &path)
{
    table_[slot].FileName = path;
    emit pageAdded(slot);
}

void PageSet::saved(int slot)
{
    table_[slot].Editor->SetModified(false);
    emit pageChanged(slot);
}

void PageSet::closing(int slot)
{
    disk_[slot] = {};
    emit pageClosing(slot);
}

void PageSet::remember(int slot, const QString &path) { disk_[slot] = {path, documents::identityOf(path)}; }

documents::FileChange PageSet::diskChange(int slot) const
{
    const DiskFile &file = disk_[slot];
    if (file.path.isEmpty() || file.path != table_[slot].FileName)
        return documents::FileChange::None;
    return documents::changeSince(file.identity, documents::identityOf(file.path));
}

std::vector<LeftCopy> PageSet::newLeftCopies()
{
    std::vector<LeftCopy> fresh;
    for (LeftCopy &copy : SafeFileWriter::leftCopies())
        if (reportedCopies_.insert(copy.copy).second)
            fresh.push_back(std::move(copy));
    return fresh;
}

} // namespace kelpa::editor
