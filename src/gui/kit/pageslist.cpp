#include "gui/kit/pageslist.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { New, Number, Title, LastModified, CheckDate, Method, Columns };

QString methodCaption(int code)
{
    static const char16_t *const captions[] = {u"", u"Header(Last-Modified)", u"更新情報コメントタグ",
                                               u"Header(Content...)", u"ファイルサイズ"};
    return code >= 1 && code <= 4 ? QString::fromUtf16(captions[code]) : QString();
}

QTableWidgetItem *cell(const QVariant &value)
{
    auto *item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

PagesListDialog::PagesListDialog(QWidget *window, const QList<PagesOverview::Row> &rows)
    : QDialog(window)
{
    setObjectName(QStringLiteral("PagesList"));
    setWindowTitle(QStringLiteral("気になるページの一覧"));
    m_table = new QTableWidget(int(rows.size()), Columns, this);
    m_table->setObjectName(QStringLiteral("tbl_Pages"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("新着"), QStringLiteral("データ番号"),
                                        QStringLiteral("タイトル名"), QStringLiteral("最終更新日時"),
                                        QStringLiteral("確認日"), QStringLiteral("更新の検出方法")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < rows.size(); ++r) {
        const PagesOverview::Row &row = rows.at(r);
        QTableWidgetItem *mark = cell(row.isNew ? QStringLiteral("●") : QString());
        mark->setData(Qt::UserRole, row.position);
        mark->setTextAlignment(Qt::AlignCenter);
        m_table->setItem(r, New, mark);
        m_table->setItem(r, Number, cell(int(row.dataNumber))); // numeric, so it sorts as numbers
        m_table->setItem(r, Title, cell(row.title));
        m_table->setItem(r, LastModified, cell(row.lastModified));
        m_table->setItem(r, CheckDate, cell(row.checkDate));
        m_table->setItem(r, Method, cell(methodCaption(row.methodCode)));
    }
    m_table->setSortingEnabled(true);
    m_table->sortItems(LastModified, Qt::DescendingOrder);
    m_table->resizeColumnsToContents();
    if (m_table->rowCount() > 0)
        m_table->setCurrentCell(0, Number);

    connect(m_table, &QTableWidget::itemActivated, this, [this](QTableWidgetItem *item) {
        const int position = m_table->item(item->row(), New)->data(Qt::UserRole).toInt();
        accept();
        emit chosen(position);
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    resize(720, 400);
}
