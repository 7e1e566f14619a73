#pragma once

#include "store/textfilewriter.h"

#include <QString>
#include <QStringView>

// Writes lines as TextFileWriter does, but collects them and encodes them at
// once: an encoder per line would cost more than the file itself. A writer
// abandoned by a failure still writes what it was given, so a failed build
// leaves exactly the lines written up to the failure.
class LineWriter
{
public:
    LineWriter(const QString &path, TextFileWriter::Mode mode);
    ~LineWriter();
    LineWriter(const LineWriter &) = delete;
    LineWriter &operator=(const LineWriter &) = delete;

    void writeTextLine(QStringView text);
    void writeNumberLine(double value);
    void close();

private:
    void flush();

    TextFileWriter m_file;
    QString m_pending; // lines joined by CR LF, without the last one's
    bool m_hasPending = false;
};
