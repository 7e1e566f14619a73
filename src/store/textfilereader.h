#pragma once

#include <QByteArray>
#include <QString>

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
