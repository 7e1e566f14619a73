#include "browse/pagesoverview.h"

#include "store/datafiles.h"

namespace PagesOverview {

QList<Row> read(const QString &appDir, const QList<qint16> &pageNumbers, const QSet<qint16> &marked)
{
    QList<Row> rows;
    rows.reserve(pageNumbers.size());
    for (int k = 0; k < pageNumbers.size(); ++k) {
        Row row;
        row.position = k + 1;
        row.dataNumber = pageNumbers.at(k);
        row.title = DataFiles::readDescription(appDir, row.dataNumber).title;
        const DataFiles::UpdateState state = DataFiles::readUpdateState(appDir, row.dataNumber);
        row.lastModified = state.lastModified;
        row.checkDate = state.checkDate;
        row.methodCode = state.methodCode;
        row.isNew = marked.contains(row.dataNumber);
        rows.append(row);
    }
    return rows;
}

} // namespace PagesOverview
