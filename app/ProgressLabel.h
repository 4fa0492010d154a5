#pragma once
// One of the four progress lines of the last page. Idle it shows its text
// in the normal colours; running it blinks between navy and grey every
// 300 ms; done it stays navy.

#include <QLabel>
#include <QTimer>

class ProgressLabel : public QLabel {
    Q_OBJECT

public:
    enum class State { Idle, Running, Done };
    explicit ProgressLabel(QWidget *parent = nullptr);

    void setIdle(const QString &text);
    void setRunning(const QString &text);
    void setDone(const QString &text);
    State state() const { return m_state; }

private:
    void showColour(const QColor &colour);

    State m_state = State::Idle;
    QTimer m_blink;
    bool m_firstColour = true;
};
