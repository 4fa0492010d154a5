#pragma once
// An editable combo box that completes what the user types from its own
// list: the first entry (in list order) that begins with the typed text,
// compared in upper case, fills in the rest of the text, selected so that
// typing on replaces it. Backspace and Delete never complete, so the user
// can shorten the text.

#include <QComboBox>

class AutoCompleteComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit AutoCompleteComboBox(QWidget *parent = nullptr);

protected:
    // Keys reach the line edit, not the box: note whether the last one erases.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void completeTypedText(const QString &typed);

    bool m_lastKeyErases = false;
};
