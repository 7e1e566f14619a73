#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

class RunError;

// What every fuzz target shares: a sandbox that stands for the program's
// directory, and the checks that must hold after any input.
namespace Fuzz {

// Stops the run with a message; libFuzzer keeps the input that led here.
[[noreturn]] void fail(const char *what, const QString &detail = {});
void check(bool condition, const char *what, const QString &detail = {});

// Every failure must be one the program knows how to report.
void checkKnown(const RunError &error);

// A fresh, empty program directory (AppDir) for each input, inside a root
// that also holds the settings file. Made once.
class Sandbox
{
public:
    static Sandbox &instance();
    ~Sandbox();

    const QString &appDir() const { return m_appDir; }
    void writeFile(const QString &relative, const QByteArray &bytes) const;
    // Empties the program directory again.
    void clear() const;
    // Fails when anything was created outside the program directory and
    // its data subdirectory (settings file aside).
    void checkNothingOutside() const;

private:
    Sandbox();

    QString m_root;
    QString m_appDir;
};

// The input split at the first NUL byte: the two files of a data set.
QByteArray firstPart(const uint8_t *data, size_t size);
QByteArray secondPart(const uint8_t *data, size_t size);

} // namespace Fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
