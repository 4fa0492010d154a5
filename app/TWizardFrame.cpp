#include "TWizardFrame.h"

#include <QPainter>
#include <QPushButton>

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

} // namespace

TWizardFrame::TWizardFrame(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAutoFillBackground(true);

    // Creation order is the tab order: Back, Next, end button, Help.
    m_backCaption = QStringLiteral("< &Back");
    m_backBtn = makeButton(QStringLiteral("BackBtn"), m_backCaption, &TWizardFrame::BackBtnClick);
    m_backBtn->setEnabled(false);
    m_nextCaption = QStringLiteral("&Next >");
    m_nextBtn = makeButton(QStringLiteral("NextBtn"), m_nextCaption, &TWizardFrame::NextBtnClick);
    m_abortCaption = QStringLiteral("&Cancel");
    m_abortBtn = makeButton(QStringLiteral("AbortBtn"), m_abortCaption, &TWizardFrame::AbortBtnClick);
    m_readyCaption = QStringLiteral("&Finish");
    m_helpCaption = QStringLiteral("&Help");
    m_helpBtn = makeButton(QStringLiteral("HelpBtn"), m_helpCaption, &TWizardFrame::HelpBtnClick);
    placeButtons();
}

QPushButton *TWizardFrame::makeButton(const QString &name, const QString &caption, void (TWizardFrame::*click)())
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->resize(kButtonWidth, kButtonHeight);
    connect(button, &QPushButton::clicked, this, [this, click] {
        // Qt cannot unwind an exception through its event loop; the owner
        // decides how to show it.
        try {
            (this->*click)();
        } catch (...) {
            if (OnHandlerError)
                OnHandlerError(this, std::current_exception());
            else
                qWarning("TWizardFrame: a page-change handler failed; the move was abandoned");
        }
    });
    return button;
}

void TWizardFrame::SetEnableHelp(bool enable)
{
    m_enableHelp = enable;
    update();
}

void TWizardFrame::SetEnableNext(bool enable)
{
    m_enableNext = enable;
    update();
}

void TWizardFrame::SetNoteBook(QStackedWidget *noteBook)
{
    m_noteBook = noteBook;
    if (noteBook) {
        noteBook->setCurrentIndex(0);
        m_backBtn->setEnabled(false);
        // Fewer than two pages leave nowhere to go.
        m_nextBtn->setEnabled(noteBook->count() > 1);
        m_abortBtn->setEnabled(true);
    }
    update();
}

void TWizardFrame::SetBackCaption(const QString &caption)
{
    m_backCaption = caption;
    m_backBtn->setText(caption);
    placeButtons();
    update();
}

void TWizardFrame::SetNextCaption(const QString &caption)
{
    m_nextCaption = caption;
    m_nextBtn->setText(caption);
    placeButtons();
    update();
}

void TWizardFrame::SetAbortCaption(const QString &caption)
{
    m_abortCaption = caption;
    m_abortBtn->setText(caption);
    placeButtons();
    update();
}

void TWizardFrame::SetReadyCaption(const QString &caption)
{
    m_readyCaption = caption;
}

void TWizardFrame::SetHelpCaption(const QString &caption)
{
    m_helpCaption = caption;
    m_helpBtn->setText(caption);
    placeButtons();
    update();
}

void TWizardFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int right = width() - 9;
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(9, height() - 43, right, height() - 43);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(9, height() - 42, right, height() - 42);
    applyPaintState();
}

void TWizardFrame::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

// Fixed distances from the right and bottom edges; Back and Next touch. A
// caption longer than the button widens it to the left, so that no
// language's text is cut.
void TWizardFrame::placeButtons()
{
    const int top = height() - 31;
    int right = width() - 8;
    const auto place = [&right, top](QPushButton *button, int gapAfter) {
        const int text = button->fontMetrics().horizontalAdvance(QString(button->text()).remove(QLatin1Char('&')));
        const int wide = qMax(kButtonWidth, text + 14);
        button->setGeometry(right - wide, top, wide, kButtonHeight);
        right -= wide + gapAfter;
    };
    place(m_abortBtn, 10);
    place(m_nextBtn, 0);
    place(m_backBtn, 9);
    place(m_helpBtn, 0);
}

// Every paint re-asserts EnableHelp and EnableNext, so a Next disabled by a
// move comes back at the next repaint. Only real changes are made, since a
// change schedules another paint.
void TWizardFrame::applyPaintState()
{
    if (m_helpBtn->isVisibleTo(this) != m_enableHelp)
        m_helpBtn->setVisible(m_enableHelp);
    bool nextEnabled = m_enableNext;
    if (!m_noteBook) {
        if (m_backBtn->isEnabled())
            m_backBtn->setEnabled(false);
        nextEnabled = false;
        if (m_abortBtn->text() != m_readyCaption) {
            m_abortBtn->setText(m_readyCaption);
            placeButtons();
        }
    }
    if (m_nextBtn->isEnabled() != nextEnabled)
        m_nextBtn->setEnabled(nextEnabled);
}

void TWizardFrame::BackBtnClick()
{
    step(wdBack);
}

void TWizardFrame::NextBtnClick()
{
    step(wdNext);
}

void TWizardFrame::step(TWizDirection direction)
{
    if (QStackedWidget *noteBook = m_noteBook) {
        const int current = noteBook->currentIndex();
        int showPage = direction == wdBack ? qMax(current - 1, 0) : qMin(current + 1, noteBook->count() - 1);
        if (OnPageChanging)
            OnPageChanging(direction, showPage);
        // The handler may have destroyed the notebook.
        if (m_noteBook) {
            if (showPage >= 0 && showPage < m_noteBook->count() && showPage != m_noteBook->currentIndex())
                m_noteBook->setCurrentIndex(showPage);
            UpdateButtons();
        }
    }
    const TNotifyEvent &clicked = direction == wdBack ? OnBackClick : OnNextClick;
    if (clicked)
        clicked(this);
    if (OnPageChange)
        OnPageChange(this);
}

void TWizardFrame::UpdateButtons()
{
    const int index = m_noteBook->currentIndex();
    const int count = m_noteBook->count();
    m_backBtn->setEnabled(index > 0);
    if (m_enableNext)
        m_nextBtn->setEnabled(index < count - 1);
    m_isLastPage = index + 1 == count;
    m_abortBtn->setText(m_isLastPage ? m_readyCaption : m_abortCaption);
    placeButtons();
}

void TWizardFrame::AbortBtnClick()
{
    if (OnEndClick)
        OnEndClick(this);
}

void TWizardFrame::HelpBtnClick()
{
    if (OnHelpClick)
        OnHelpClick(this);
}
