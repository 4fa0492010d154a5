#pragma once
// The window's caption drawn over a gradient from black to the colour of
// the "color" setting, the look the program gives its title bar; the real
// title bar belongs to the window manager.

#include <QColor>
#include <QWidget>

class TitleBand : public QWidget {
    Q_OBJECT

public:
    explicit TitleBand(QWidget *parent = nullptr);
    void setEndColour(const QColor &colour);
    const QColor &endColour() const { return m_end; }
    // A Windows colour value (0x00BBGGRR).
    static QColor fromWindowsColour(int value);
    static int toWindowsColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    QColor m_end;
};
