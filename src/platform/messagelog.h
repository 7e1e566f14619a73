#pragma once

#include <QString>
#include <QStringList>

// What the message box shows, without the box: the recording that tests
// switch on, so that a box returns at once and its text can be checked (a
// test that does not take the texts it expected sees them left over in its
// cleanup), and the texts that more than one window shows.
namespace MessageBox {

void setRecording(bool on);
QStringList takeRecorded();
// Keeps the text when recording is on, and says whether it did.
bool record(const QString &text);

// The text for a file that could not be saved; the file is named so that the
// user knows what was not written.
QString cannotSaveText(const QString &path, const QString &reason);

} // namespace MessageBox
