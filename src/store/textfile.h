#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringView>

#include <memory>

// The rules every file of the program follows: windows-31j text with CR LF
// line ends, read as fields and written as text lines and number lines.

// Reads a file field by field (the field reading rule).
class TextFileReader
{
public:
    // Opens and decodes the whole file; FileNotFound, PathNotFound or another
    // file failure.
    explicit TextFileReader(const QString &path);
    static TextFileReader fromBytes(const QByteArray &bytes);

    // The next field; PastEnd when nothing is left.
    QString readField();
    // Whether any character is left to read.
    bool anythingLeft() const { return m_pos < m_text.size(); }

private:
    TextFileReader() = default;

    QString m_text;
    qsizetype m_pos = 0;
};

// Writes text lines and number lines. Write empties or creates the file,
// Append adds to its end, Replace swaps in the whole new file on close() or
// leaves the old one untouched. ReplaceOrOverwrite replaces where the
// directory allows it and otherwise rewrites the writable file in place.
class TextFileWriter
{
public:
    enum class Mode { Write, Append, Replace, ReplaceOrOverwrite };

    TextFileWriter(const QString &path, Mode mode);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter &) = delete;
    TextFileWriter &operator=(const TextFileWriter &) = delete;

    void writeTextLine(QStringView text);
    void writeNumberLine(double value);
    // Flushes and closes (commits a Replace); throws what went wrong.
    void close();

private:
    void write(const QByteArray &bytes);

    std::unique_ptr<QFileDevice> m_file;
    bool m_closed = false;
};

namespace TextRules {

QByteArray encode(QStringView text);
QString decode(const QByteArray &bytes);

// The blanks that the field reading rule skips around a field.
bool isBlank(QChar c);

// The number with which a text begins: blanks, a sign, digits and a
// fractional part; 0 when it begins with none.
double leadingNumber(QStringView text);
// The leading number rounded half to even; 6 outside -32768..32767.
qint16 number16(QStringView text);
// The decimal text of a number as a number line carries it, without blanks.
QString numberText(double value);
// A whole number line without its CR LF: " 7 ", "-7 ".
QString numberLine(double value);

// Whether the code page converter is there; without it every text would be
// written as nothing.
bool codePageAvailable(const char *codec = nullptr);
QString codePageMissingText();
// Whether a text survives the code page: no character is lost or replaced.
bool fitsCodePage(QStringView text);
// A value as the line that reads back as it: between double quotes when the
// field reading rule would split or trim it, otherwise unchanged. A value
// that would need quotes but holds one cannot be carried either way.
QString fieldLine(QStringView value);
bool canCarry(QStringView value);

} // namespace TextRules
