#pragma once
// A label that shows a path shortened in its middle when it is too long for
// the label, with the whole path as its tool tip. Its text is the property
// "filename".

#include <QLabel>

class PathLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString filename READ fileName WRITE setFileName)

public:
    explicit PathLabel(QWidget *parent = nullptr);
    const QString &fileName() const { return m_fileName; }
    void setFileName(const QString &path);
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void showElided();
    QString m_fileName;
};
