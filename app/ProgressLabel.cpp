#include "ProgressLabel.h"

namespace {
const QColor kNavy(0, 0, 128);
const QColor kGrey(128, 128, 128);
} // namespace

ProgressLabel::ProgressLabel(QWidget *parent) : QLabel(parent)
{
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    m_blink.setInterval(300);
    connect(&m_blink, &QTimer::timeout, this, [this] {
        m_firstColour = !m_firstColour;
        showColour(m_firstColour ? kNavy : kGrey);
    });
}

void ProgressLabel::showColour(const QColor &colour)
{
    setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
}

void ProgressLabel::setIdle(const QString &text)
{
    m_state = State::Idle;
    m_blink.stop();
    setText(text);
    setStyleSheet(QString());
}

void ProgressLabel::setRunning(const QString &text)
{
    m_state = State::Running;
    setText(text);
    m_firstColour = true;
    showColour(kNavy);
    m_blink.start();
}

void ProgressLabel::setDone(const QString &text)
{
    m_state = State::Done;
    m_blink.stop();
    setText(text);
    showColour(kNavy);
    repaint();
}
