#include "platform/runerror.h"

RunError::RunError(int number, const QString &detail)
    : std::runtime_error("run-time failure " + std::to_string(number)),
      m_number(number),
      m_detail(detail)
{
}

QString RunError::reason() const
{
    return QStringLiteral("エラー番号：") + QString::number(m_number);
}
