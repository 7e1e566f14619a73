#pragma once

#include <QDate>
#include <QString>

// The first day of the latest download run that fetched a page, so that the
// pages of interest list can mark what that run brought. It has a settings
// key of its own, which nothing else reads.
namespace LatestRun {

QDate firstDay(); // invalid before the first run
void setFirstDay(const QString &dayText);

} // namespace LatestRun
