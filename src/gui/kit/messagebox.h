#pragma once

#include "platform/messagelog.h"

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

// The program's one modal message box: a single OK button, no icon and the
// caption "Vellumark"; while recording is on it only records the text.
namespace MessageBox {

void show(QWidget *parent, const QString &text);
// The box that show() runs.
std::unique_ptr<QMessageBox> build(QWidget *parent, const QString &text);

} // namespace MessageBox
