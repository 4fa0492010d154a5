#include "PathLabel.h"

#include <QResizeEvent>

PathLabel::PathLabel(QWidget *parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void PathLabel::setFileName(const QString &path)
{
    m_fileName = path;
    setToolTip(path);
    showElided();
}

QSize PathLabel::minimumSizeHint() const
{
    return QSize(40, QLabel::minimumSizeHint().height());
}

void PathLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    showElided();
}

void PathLabel::showElided()
{
    setText(fontMetrics().elidedText(m_fileName, Qt::ElideMiddle, qMax(width(), 40)));
}
