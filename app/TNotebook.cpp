#include "TNotebook.h"

TNotebook::TNotebook(QWidget *parent) : QStackedWidget(parent)
{
}

int TNotebook::AddPage(const QString &name, QWidget *page)
{
    page->setObjectName(name);
    return addWidget(page);
}

QString TNotebook::PageName(int index) const
{
    const QWidget *page = widget(index);
    return page ? page->objectName() : QString();
}

int TNotebook::IndexOfPage(const QString &name) const
{
    for (int i = 0; i < count(); ++i)
        if (name.compare(widget(i)->objectName(), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TNotebook::SetPageIndex(int index)
{
    // Spelled out rather than left to QStackedWidget, whose silence on a bad
    // index is not documented.
    if (index < 0 || index >= count() || index == currentIndex())
        return;
    setCurrentIndex(index);
}
