#pragma once

#include "platform/runerror.h"
#include "store/textrules.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

inline QByteArray sjis(const QString &text)
{
    return TextRules::encode(text);
}

void saveBytes(const QString &path, const QByteArray &bytes);

// A text file's bytes: each line in windows-31j, ended by CR LF.
inline QByteArray textLines(const QStringList &lines)
{
    return sjis(lines.isEmpty() ? QString() : lines.join("\r\n") + "\r\n");
}

// The failure number a step throws; 0 when it ends well.
template <typename Step> int failureOf(Step step)
try {
    step();
    return 0;
} catch (const RunError &error) {
    return error.number();
}

// What every test owns: a temporary program directory (also AppDir), a
// temporary settings file, message boxes that are recorded instead of shown,
// and a clock that stands still.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();

    QString dir() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // Files in windows-31j with the given text exactly (write "\r\n" yourself).
    void writeText(const QString &name, const QString &text) const { writeBytes(name, sjis(text)); }
    void writeBytes(const QString &name, const QByteArray &bytes) const { saveBytes(path(name), bytes); }
    QByteArray readBytes(const QString &name) const;
    QString readText(const QString &name) const { return TextRules::decode(readBytes(name)); }
    // Every file below the directory (the whole program directory when empty) by its path from there, each as
    // its lines without their CR LF.
    QMap<QString, QStringList> textFiles(const QString &subdir = {}) const;
    bool exists(const QString &name) const { return QFile::exists(path(name)); }
    void makeDir(const QString &name) const { QDir(dir()).mkpath(name); }

    // A value of the test settings store.
    QString setting(const QString &section, const QString &key) const;

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_settingsDir;
};

// Makes a directory (or a file) read-only while it lives. Root ignores permissions, so a
// root test process also takes another user's identity for that time.
class ReadOnlyDir
{
public:
    explicit ReadOnlyDir(const QString &dir);
    ~ReadOnlyDir();
    ReadOnlyDir(const ReadOnlyDir &) = delete;
    ReadOnlyDir &operator=(const ReadOnlyDir &) = delete;

private:
    QString m_dir;
    bool m_droppedRoot = false;
};

// What a test puts in the way of the program; what must stay read-only while the program runs is returned.
using Obstacle = std::function<std::shared_ptr<ReadOnlyDir>(const TestEnv &env)>;
