#pragma once
// The translation component: every text of the user interface comes from
// the current language file. A translation pass walks a list of property
// paths ("WzdForm.LbZip2.caption") and sets each named property to the text
// the file holds for that path; single texts are looked up by key; the
// file's "reg" section can be copied into the registry store.
//
// The file is read afresh for every pass and every lookup, so an edit takes
// effect at once. The component never writes it.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>

class RegistryStore;

// A value that an integer property cannot take; the pass stops there.
class TranslationError : public std::runtime_error {
public:
    explicit TranslationError(const QString &message);
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

class TLanguage : public QObject {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TLanguage *sender)>;
    // Called for each property about to be set; the handler may change the
    // text that will be set.
    using TLanguageNotifyEvent = std::function<void(TLanguage *sender, QObject *component, QString propertyName,
                                                    QString oldValue, QString &newValue)>;

    explicit TLanguage(QObject *owner = nullptr);

    // The full path of the current language file; set directly by the owner.
    QString FN;
    // The property paths that a pass translates, in order.
    QStringList Properties;
    TNotifyEvent OnBeforeTranslation;
    TNotifyEvent OnAfterTranslation;
    TLanguageNotifyEvent OnTranslate;

    // Separates the items of a list-valued property; "," when set to blanks.
    const QString &Separator() const { return m_separator; }
    void SetSeparator(const QString &separator);

    // One pass over Properties. Throws TranslationError when an integer
    // property is given a text that is not a number.
    void Translate();
    // Sets the property that Path names to Value; an empty value, or a path
    // that names no window, component or property, does nothing.
    void ApplyTranslation(const QString &path, QString value);
    // Value split at Separator, items trimmed; a trailing empty item is left out.
    QStringList SplitList(QString value) const;

    // The text of Key in "Messages", "Buttons" or "Thanks", or Key itself
    // when the file, section or entry is missing.
    QString ReadMessage(const QString &key) const;
    QString ReadButton(const QString &key) const;
    QString ReadThanks(const QString &key) const;

    // Copies the "reg" section into the key it names below the classes
    // root. Throws RegistryWriteError when a value cannot be written.
    void WriteRegistryEntries(RegistryStore &store) const;
    void WriteRegistryEntries() const;

private:
    QString lookup(const QString &section, const QString &key) const;

    QString m_separator;
};
