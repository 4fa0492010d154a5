#pragma once
// A container of named pages of which exactly one is shown. The wizard frame
// moves it through its Back and Next buttons; the main form may also show a
// page directly.

#include <QStackedWidget>
#include <QString>

class TNotebook : public QStackedWidget {
    Q_OBJECT
    Q_PROPERTY(int PageIndex READ PageIndex WRITE SetPageIndex)

public:
    explicit TNotebook(QWidget *parent = nullptr);

    // Appends Page under Name (also its object name) and returns its index.
    // The notebook takes ownership of the page.
    int AddPage(const QString &name, QWidget *page);
    // The name the page at Index was added with; empty out of range.
    QString PageName(int index) const;
    // The index of the page called Name, letter case ignored; -1 if none.
    int IndexOfPage(const QString &name) const;

    int PageIndex() const { return currentIndex(); }
    int PageCount() const { return count(); }
    // Shows the page at Index. An index equal to the current one, negative,
    // or not less than PageCount leaves the notebook as it is.
    void SetPageIndex(int index);
};
