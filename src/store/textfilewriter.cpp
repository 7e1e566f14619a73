#include "store/textfilewriter.h"

#include "platform/files.h"
#include "store/textrules.h"

#include <QFile>
#include <QSaveFile>

TextFileWriter::TextFileWriter(const QString &path, Mode mode)
{
    if (mode == Mode::Replace || mode == Mode::ReplaceOrOverwrite) {
        auto file = std::make_unique<QSaveFile>(path);
        Files::openReplace(*file, mode == Mode::ReplaceOrOverwrite);
        m_file = std::move(file);
    } else {
        auto file = std::make_unique<QFile>(path);
        if (mode == Mode::Append)
            Files::openAppend(*file);
        else
            Files::openWrite(*file);
        m_file = std::move(file);
    }
}

TextFileWriter::~TextFileWriter()
{
    if (m_closed)
        return;
    // Abandoned by a failure: a replace leaves the old file as it was.
    if (auto *save = qobject_cast<QSaveFile *>(m_file.get()))
        save->cancelWriting();
    else
        m_file->close();
}

void TextFileWriter::write(const QByteArray &bytes)
{
    if (m_file->write(bytes) != bytes.size())
        Files::throwWriteFailure(*m_file);
}

void TextFileWriter::writeTextLine(QStringView text)
{
    QByteArray bytes = TextRules::encode(text);
    bytes += "\r\n";
    write(bytes);
}

void TextFileWriter::writeNumberLine(double value)
{
    write(TextRules::encode(TextRules::numberLine(value)) + "\r\n");
}

void TextFileWriter::close()
{
    if (auto *save = qobject_cast<QSaveFile *>(m_file.get())) {
        // commit() overlooks a failure of its own last flush and would put an
        // empty file in place of the old one on a full disk; flush first. A
        // failure here leaves the replace to the destructor to cancel.
        if (!save->flush())
            Files::throwWriteFailure(*save);
        m_closed = true;
        if (!save->commit())
            Files::throwWriteFailure(*save);
        return;
    }
    m_closed = true;
    auto *file = static_cast<QFile *>(m_file.get());
    if (!file->flush())
        Files::throwWriteFailure(*file);
    file->close();
    if (file->error() != QFileDevice::NoError)
        Files::throwWriteFailure(*file);
}
