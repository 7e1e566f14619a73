#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QMessageBox;
class QWidget;

// The program's one modal message box: a single OK button, no icon and the
// caption "Vellumark". Tests switch on recording so that a box returns at
// once and its text can be checked; a test that does not take the texts it
// expected sees them left over in its cleanup.
namespace MessageBox {

void show(QWidget *parent, const QString &text);
// The box that show() runs.
std::unique_ptr<QMessageBox> build(QWidget *parent, const QString &text);

void setRecording(bool on);
QStringList takeRecorded();

// The text for a file that could not be saved; the file is named so that the
// user knows what was not written.
QString cannotSaveText(const QString &path, const QString &reason);

} // namespace MessageBox
