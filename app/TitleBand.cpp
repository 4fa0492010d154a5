#include "TitleBand.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

TitleBand::TitleBand(QWidget *parent) : QWidget(parent), m_end(0, 128, 0)
{
    setFixedHeight(fontMetrics().height() + 8);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void TitleBand::setEndColour(const QColor &colour)
{
    m_end = colour;
    update();
}

QColor TitleBand::fromWindowsColour(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int TitleBand::toWindowsColour(const QColor &colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

bool TitleBand::event(QEvent *event)
{
    // The band follows the window's caption and activation.
    if (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::WindowActivate
        || event->type() == QEvent::WindowDeactivate)
        update();
    return QWidget::event(event);
}

void TitleBand::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const bool active = window()->isActiveWindow();
    QLinearGradient gradient(0, 0, width(), 0);
    gradient.setColorAt(0, active ? Qt::black : Qt::gray);
    gradient.setColorAt(1, m_end);
    painter.fillRect(rect(), gradient);
    painter.setPen(active ? Qt::white : QColor(192, 192, 192));
    painter.drawText(rect().adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, window()->windowTitle());
}
