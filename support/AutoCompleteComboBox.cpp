#include "AutoCompleteComboBox.h"

#include <QKeyEvent>
#include <QLineEdit>

AutoCompleteComboBox::AutoCompleteComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setCompleter(nullptr); // the completion below replaces Qt's own
    setInsertPolicy(QComboBox::NoInsert); // the history decides what joins the list
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, &AutoCompleteComboBox::completeTypedText);
}

bool AutoCompleteComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        m_lastKeyErases = key == Qt::Key_Backspace || key == Qt::Key_Delete;
    }
    return QComboBox::eventFilter(watched, event);
}

void AutoCompleteComboBox::completeTypedText(const QString &typed)
{
    if (m_lastKeyErases)
        return;
    const QString typedUpper = typed.toUpper();
    for (int i = 0; i < count(); ++i) {
        const QString entry = itemText(i);
        if (!entry.toUpper().startsWith(typedUpper))
            continue;
        const QString rest = entry.mid(typed.size());
        lineEdit()->setText(typed + rest);
        lineEdit()->setSelection(typed.size(), rest.size());
        return;
    }
}
