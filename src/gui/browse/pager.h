#pragma once

#include <QObject>

#include <functional>

class QPushButton;
class QWidget;

// The paging of a browsing window over its positions 1..count: 前 (cmd_Back)
// and 次 (Cmd_Next), Page Up and Page Down, and the jumps to a position found
// another way. It shows a position through the window's own display.
class Pager : public QObject
{
    Q_OBJECT

public:
    // Places 前 (disabled until there is a page before) and 次 at one top,
    // by twips; Page Up and Page Down click them on window while enabled.
    Pager(QWidget *window, QWidget *client, int backLeft, int nextLeft, int top, std::function<void(int)> show);

    QPushButton *back() const { return m_back; }
    QPushButton *next() const { return m_next; }
    int position() const { return m_position; }
    int count() const { return m_count; }

    // Position 1 of count, shown, with 前 disabled and 次 enabled.
    void start(int count);
    // One click of 次 (step +1) or 前 (step -1): stops at both ends without
    // wrapping and shows the new position.
    void step(int step);
    // Moves to a position found another way than paging (a find, a list),
    // shows it and leaves the two buttons as if the user had paged there.
    void jump(int target);

private:
    QPushButton *m_back;
    QPushButton *m_next;
    std::function<void(int)> m_show;
    int m_position = 0;
    int m_count = 0;
};
