#pragma once

#include "httpserver.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QProcess>
#include <QString>

// What the download benchmarks share: the daily pages, a static web server on
// 127.0.0.1, and the floor's writer of the update-state files.

quint16 freePort();

// A daily status page of the given number of records.
QByteArray makePage(const QDate &day, int records);

// A static server: nginx when present, else Python's.
class StaticServer
{
public:
    ~StaticServer();
    bool start(const QString &root, const QString &work);
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }
    QString name() const { return m_name; }

private:
    QProcess m_process;
    HttpServer m_python;
    quint16 m_port = 0;
    QString m_name;
};

// The floor's writer: the same records out of the same pages, the same
// three lines per file, with the same crash safety in the fewest syncs: per
// page the temporaries, one sync of the file system for their data, the
// renames and one sync of the directory. Like the program it swaps each
// temporary with its target and rewrites the old file as a later temporary,
// so that it neither creates nor deletes a file per record.
void writeFloor(const QString &pagesDir, const QList<QDate> &days, const QString &appDir);

// The update-state files of a program directory, names and bytes, for comparing two runs.
QByteArray dataDigest(const QString &appDir);
