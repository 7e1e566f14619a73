#include "gui/kit/sitepanel.h"

#include "gui/kit/placement.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

namespace {

QLabel *makeLabel(QWidget *client, const char *name, const QString &caption)
{
    auto *label = new QLabel(caption, client);
    label->setObjectName(QLatin1String(name));
    return label;
}

QLineEdit *makeReadOnlyLine(QWidget *client, const char *name, QLabel *caption)
{
    auto *box = new QLineEdit(client);
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    caption->setBuddy(box);
    box->setAccessibleName(caption->text());
    return box;
}

} // namespace

SitePanel::SitePanel(QWidget *client, int sectionHeightTwips, SectionColour colour)
{
    Label1 = makeLabel(client, "Label1", QStringLiteral("タイトル名"));
    placeTwips(Label1, 120, 240, 1215, 255);
    txt_Title = makeReadOnlyLine(client, "txt_Title", Label1);
    placeTwips(txt_Title, 1560, 120, 3015, 375);

    lab_DataNumber = makeLabel(client, "lab_DataNumber", QString());
    placeTwips(lab_DataNumber, 5040, 120, 615, 375);

    Label2 = makeLabel(client, "Label2", QStringLiteral("説明"));
    placeTwips(Label2, 120, 720, 1215, 255);
    txt_Setumei = new QPlainTextEdit(client);
    txt_Setumei->setObjectName(QStringLiteral("txt_Setumei"));
    txt_Setumei->setReadOnly(true);
    txt_Setumei->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Label2->setBuddy(txt_Setumei);
    txt_Setumei->setAccessibleName(Label2->text());
    placeTwips(txt_Setumei, 1560, 600, 4095, 615);

    Label3 = makeLabel(client, "Label3", QStringLiteral("リンクＵＲＬ"));
    placeTwips(Label3, 120, 1440, 1215, 255);
    txt_Link = makeReadOnlyLine(client, "txt_Link", Label3);
    placeTwips(txt_Link, 1560, 1320, 4095, 375);

    List_Section = new QListWidget(client);
    List_Section->setObjectName(QStringLiteral("List_Section"));
    List_Section->setSelectionMode(QAbstractItemView::SingleSelection);
    if (colour == SectionColour::Yellow) {
        QPalette palette = List_Section->palette();
        palette.setColor(QPalette::Base, QColor(255, 255, 0));
        List_Section->setPalette(palette);
    }
    placeTwips(List_Section, 120, 1920, 5775, sectionHeightTwips);
}

void SitePanel::display(const QString &appDir, qint16 dataNumber)
{
    display(DataFiles::readDescription(appDir, dataNumber));
}

void SitePanel::display(const DataFiles::SiteDescription &site)
{
    lab_DataNumber->setText(site.dataNumber);
    txt_Title->setText(site.title);
    txt_Title->setCursorPosition(0); // long texts show their beginning
    txt_Setumei->setPlainText(site.setumei);
    txt_Link->setText(site.link);
    txt_Link->setCursorPosition(0);
    List_Section->clear();
    List_Section->addItems(site.sections);
}
