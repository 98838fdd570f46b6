#pragma once
// TRichEditLines: a TRichEdit's lines as a list of strings (TRichEdit::Lines()); TRichEdit.h
// tells what a line is.
#include <QByteArray>
#include <QString>

namespace kelpa::richedit {

class TRichEdit;

// The control's lines (paragraphs) as a list of strings.
class TRichEditLines {
public:
    int Count() const;
    QString Strings(int index) const; // empty for an index out of range
    QString operator[](int index) const { return Strings(index); }
    void Add(const QString &line);
    void Insert(int index, const QString &line);
    void Delete(int index); // the line and its break; out of range: nothing
    void Clear();
    QString Text() const;   // every line followed by CR LF
    void SetText(const QString &text);

    // Same as the control's stream and file operations.
    void LoadFromStream(const QByteArray &bytes);
    QByteArray SaveToStream() const;
    bool LoadFromFile(const QString &fileName);
    bool SaveToFile(const QString &fileName);

private:
    friend class TRichEdit;
    explicit TRichEditLines(TRichEdit *owner) : owner_(owner) {}
    TRichEdit *owner_;
};

} // namespace kelpa::richedit
