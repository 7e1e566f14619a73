#pragma once

#include "gui/browse/pager.h"
#include "gui/kit/taskwindow.h"

#include <QList>
#include <QSet>

#include <memory>

class QAction;
class QButtonGroup;
class QLabel;
class QRadioButton;
class SitePanel;

// Pages through the user's pages of interest with each site's description and
// its stored update state. It only shows what is stored: it writes nothing.
class Form_Show_Pages : public TaskWindow
{
    Q_OBJECT

public:
    explicit Form_Show_Pages(QWidget *menu);
    ~Form_Show_Pages() override;

    void Cmd_Next_Click();
    void cmd_Back_Click();
    void Menu_End_Click();
    // The next activation also opens the list ("一覧"), as the notification
    // of news asks.
    void showListOnActivation() { m_listOnActivation = true; }

    // The position of the page on display, 1 to PageCount(), and the count of
    // positions; the pager keeps both. Not 16 bits: pages.udf may list more.
    int CurrentPos() const { return m_pager->position(); }
    int PageCount() const { return m_pager->count(); }

protected:
    void Form_Activate() override;
    void closeFromFrame() override { Menu_End_Click(); }

private:
    void DisplayPage(int position);
    // The list, open in the browser and the paging keys: form_show_pages_commands.cpp.
    void addCommands();
    void showList();
    void markSeen(const QList<qint16> &dataNumbers);

    std::unique_ptr<SitePanel> m_site;
    Pager *m_pager;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *lab_LastModified;
    QLabel *Label7;
    QLabel *lab_Kakunin;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QRadioButton *Option3;
    QRadioButton *Option4;
    QButtonGroup *m_methods;
    QAction *Menu_End;

    // The data numbers of the entries that pages.udf holds; position k (from
    // 1) shows PageNumbers[k - 1].
    QList<qint16> PageNumbers;
    // The pages marked as news when this visit began: the list shows them
    // with their mark for the whole visit, though showing a page clears its
    // mark for the next one.
    QSet<qint16> m_unseen;
    bool m_listOnActivation = false;
};
