#pragma once

#include <QString>
#include <stdexcept>

// A run-time failure carrying its failure number. Thrown where the failure
// happens and caught only by the handler that owns that number.
class RunError : public std::runtime_error
{
public:
    enum Number : int {
        InvalidArgument = 5,
        Overflow = 6,
        OutOfRange = 9,
        FileNotFound = 53,
        DiskFull = 61,
        PastEnd = 62,
        PermissionDenied = 70,
        PathFileAccess = 75,
        PathNotFound = 76,
    };

    explicit RunError(int number, const QString &detail = {});

    int number() const noexcept { return m_number; }
    const QString &detail() const noexcept { return m_detail; }
    // "エラー番号：n", for messages that name the failure.
    QString reason() const;

private:
    int m_number;
    QString m_detail;
};
