#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringView>

#include <memory>

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
