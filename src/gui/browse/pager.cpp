#include "gui/browse/pager.h"

#include "gui/kit/placement.h"

#include <QPushButton>
#include <QShortcut>

Pager::Pager(QWidget *window, QWidget *client, int backLeft, int nextLeft, int top, std::function<void(int)> show)
    : QObject(window),
      m_show(std::move(show))
{
    m_back = placeButton(client, "cmd_Back", QStringLiteral("前"), backLeft, top, 495, 495);
    m_back->setEnabled(false);
    m_next = placeButton(client, "Cmd_Next", QStringLiteral("次"), nextLeft, top, 495, 495);

    const auto clickIfEnabled = [](QPushButton *button) {
        return [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        };
    };
    connect(new QShortcut(QKeySequence(Qt::Key_PageUp), window), &QShortcut::activated, window, clickIfEnabled(m_back));
    connect(new QShortcut(QKeySequence(Qt::Key_PageDown), window), &QShortcut::activated, window,
            clickIfEnabled(m_next));
}

void Pager::start(int count)
{
    m_count = count;
    m_position = 1;
    m_back->setEnabled(false);
    m_next->setEnabled(true);
    m_show(1);
}

void Pager::step(int step)
{
    const int position = m_position + step;
    if (step > 0) {
        if (position > m_count) {
            m_position = m_count;
            return;
        }
        if (position == m_count)
            m_next->setEnabled(false);
        m_back->setEnabled(true);
    } else {
        if (position <= 0) {
            m_position = 1;
            return;
        }
        if (position == 1)
            m_back->setEnabled(false);
        m_next->setEnabled(true);
    }
    m_position = position;
    m_show(position);
}

void Pager::jump(int target)
{
    m_position = target;
    m_back->setEnabled(target > 1);
    // Position 1 is where activation and 前 leave next enabled, even as the last.
    m_next->setEnabled(target < m_count || target == 1);
    m_show(target);
}
