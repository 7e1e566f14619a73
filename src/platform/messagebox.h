#pragma once

#include "platform/messagelog.h"

#include <QString>

class QWidget;

// The program's one modal message box: a single OK button, no icon and the
// caption "Vellumark"; while recording is on it only records the text.
namespace MessageBox {

void show(QWidget *parent, const QString &text);

} // namespace MessageBox
