#pragma once
// The wizard frame: a 44-pixel strip along the bottom of a window with the
// Help, Back, Next and Cancel/Finish buttons. It moves an attached notebook
// one page back or forward and lets its owner veto or redirect every move
// through OnPageChanging. It knows nothing of the pages themselves.
//
// The owner lays the strip out (fixed height, full width) and sets its object
// name; the translation pass sets the five captions by property name.

#include <QPointer>
#include <QStackedWidget>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>

class QPushButton;

// Where a move comes from: the Next button or the Back button.
enum TWizDirection { wdNext, wdBack };

class TWizardFrame : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool EnableHelp READ EnableHelp WRITE SetEnableHelp)
    Q_PROPERTY(bool EnableNext READ EnableNext WRITE SetEnableNext)
    Q_PROPERTY(QStackedWidget *NoteBook READ NoteBook WRITE SetNoteBook)
    Q_PROPERTY(QString BackCaption READ BackCaption WRITE SetBackCaption)
    Q_PROPERTY(QString NextCaption READ NextCaption WRITE SetNextCaption)
    Q_PROPERTY(QString AbortCaption READ AbortCaption WRITE SetAbortCaption)
    Q_PROPERTY(QString ReadyCaption READ ReadyCaption WRITE SetReadyCaption)
    Q_PROPERTY(QString HelpCaption READ HelpCaption WRITE SetHelpCaption)
    Q_PROPERTY(bool IsLastPage READ IsLastPage)

public:
    using TNotifyEvent = std::function<void(TWizardFrame *sender)>;
    // ShowPage arrives as the page the move would show; the handler may put
    // any index there, the current one to refuse the move. Throwing ends the
    // move with the page, the buttons and IsLastPage untouched.
    using TPageChangingEvent = std::function<void(TWizDirection direction, int &showPage)>;
    // Receives what an OnPageChanging handler threw when a button press
    // started the move; exceptions must not unwind through Qt's event loop.
    using TErrorEvent = std::function<void(TWizardFrame *sender, std::exception_ptr error)>;

    static constexpr int kHeight = 44;

    explicit TWizardFrame(QWidget *parent = nullptr);

    // Shown by the next paint: Help visible exactly when EnableHelp is set,
    // Next enabled exactly when EnableNext is set.
    bool EnableHelp() const { return m_enableHelp; }
    void SetEnableHelp(bool enable);
    bool EnableNext() const { return m_enableNext; }
    void SetEnableNext(bool enable);

    // Not owned; cleared when the notebook is destroyed. Attaching shows its
    // first page and enables the end button; IsLastPage and the end button's
    // caption stay as they are.
    QStackedWidget *NoteBook() const { return m_noteBook; }
    void SetNoteBook(QStackedWidget *noteBook);

    // "&" marks the accelerator of the next letter.
    QString BackCaption() const { return m_backCaption; }
    void SetBackCaption(const QString &caption);
    QString NextCaption() const { return m_nextCaption; }
    void SetNextCaption(const QString &caption);
    QString AbortCaption() const { return m_abortCaption; }
    void SetAbortCaption(const QString &caption);
    // Only stored: it reaches the end button at the next move onto the last
    // page, or at a paint while no notebook is attached.
    QString ReadyCaption() const { return m_readyCaption; }
    void SetReadyCaption(const QString &caption);
    QString HelpCaption() const { return m_helpCaption; }
    void SetHelpCaption(const QString &caption);

    // The last move ended on the notebook's last page: the end button reads
    // ReadyCaption. Not updated when the owner shows a page directly.
    bool IsLastPage() const { return m_isLastPage; }

    // Raised after every Back or Next press, also when the move was refused
    // or no notebook is attached: OnBackClick or OnNextClick, then OnPageChange.
    TNotifyEvent OnBackClick;
    TNotifyEvent OnNextClick;
    TNotifyEvent OnPageChange;
    TPageChangingEvent OnPageChanging;
    // The frame neither closes anything nor shows help; the owner does.
    TNotifyEvent OnEndClick;
    TNotifyEvent OnHelpClick;
    TErrorEvent OnHandlerError;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPushButton *makeButton(const QString &name, const QString &caption, void (TWizardFrame::*click)());
    void placeButtons();
    void applyPaintState();
    // The buttons' handlers. Back and Next let an OnPageChanging exception
    // through; the button press catches it.
    void BackBtnClick();
    void NextBtnClick();
    void AbortBtnClick();
    void HelpBtnClick();
    void step(TWizDirection direction);
    void UpdateButtons();

    QPointer<QStackedWidget> m_noteBook;
    QPushButton *m_backBtn = nullptr;
    QPushButton *m_abortBtn = nullptr;
    QPushButton *m_nextBtn = nullptr;
    QPushButton *m_helpBtn = nullptr;
    bool m_enableHelp = true;
    bool m_enableNext = true;
    QString m_backCaption;
    QString m_nextCaption;
    QString m_abortCaption;
    QString m_readyCaption;
    QString m_helpCaption;
    bool m_isLastPage = false;
};
