#pragma once
// GuiWatchdog: how long the GUI thread went without turning its event loop.
// A 10 ms timer ticks while the loop turns (also inside the local loops of
// workers and dialogs); the longest interval between two ticks, less the
// timer's own 10 ms, is the longest time the windows could neither repaint
// nor answer a click. A command that computes in the GUI thread shows up as
// a gap as long as the computation.
//
//     GuiWatchdog watchdog;
//     action->trigger();           // the command, its local loops included
//     watchdog.longestGap();       // ms, up to now

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

class GuiWatchdog {
public:
    static constexpr qint64 interval = 10;

    GuiWatchdog()
    {
        m_sinceTick.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.start(static_cast<int>(interval));
    }

    // Forgets the gaps seen so far.
    void restart()
    {
        m_longest = 0;
        m_sinceTick.restart();
    }

    // The longest gap since construction or restart(), the one still open
    // included (the caller runs in the GUI thread: the time since the last
    // tick is a gap too).
    qint64 longestGap() const { return std::max(m_longest, m_sinceTick.elapsed() - interval); }

private:
    void tick() { m_longest = std::max(m_longest, m_sinceTick.restart() - interval); }

    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};
