#include "TLanguage.h"

#include "PrivateProfile.h"
#include "RegistryStore.h"

#include <QApplication>
#include <QMetaProperty>
#include <QWidget>

#include <optional>

namespace {

const QString kTranslations = QStringLiteral("Translations");

// Qt widgets call a caption "text", "title" or "windowTitle" and a hint
// "toolTip"; a path may use the older names for them.
const QList<std::pair<QString, QStringList>> kPropertyAliases = {
    {QStringLiteral("caption"), {QStringLiteral("text"), QStringLiteral("title"), QStringLiteral("windowTitle")}},
    {QStringLiteral("hint"), {QStringLiteral("toolTip")}},
};

std::optional<QMetaProperty> propertyNamed(const QObject *component, const QString &name)
{
    const QMetaObject *meta = component->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (name.compare(QLatin1String(property.name()), Qt::CaseInsensitive) == 0)
            return property;
    }
    return std::nullopt;
}

// The property itself, else one that a Qt widget uses for it.
std::optional<QMetaProperty> findProperty(const QObject *component, const QString &name)
{
    if (auto property = propertyNamed(component, name))
        return property;
    for (const auto &[alias, qtNames] : kPropertyAliases) {
        if (name.compare(alias, Qt::CaseInsensitive) != 0)
            continue;
        for (const QString &qtName : qtNames)
            if (auto property = propertyNamed(component, qtName))
                return property;
    }
    return std::nullopt;
}

enum class PropertyKind { Text, Integer, TextList, Other };

PropertyKind kindOf(const QMetaProperty &property)
{
    switch (property.metaType().id()) {
    case QMetaType::QString:
        return PropertyKind::Text;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return PropertyKind::Integer;
    case QMetaType::QStringList:
        return PropertyKind::TextList;
    default:
        return PropertyKind::Other;
    }
}

// The first-segment windows are the application's top-level widgets.
QObject *findForm(const QString &name)
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (name.compare(window->objectName(), Qt::CaseInsensitive) == 0)
            return window;
    return nullptr;
}

// A window owns every component built into it, however deeply nested; the
// first in creation order wins.
QObject *findComponent(const QObject *owner, const QString &name)
{
    for (QObject *child : owner->findChildren<QObject *>())
        if (name.compare(child->objectName(), Qt::CaseInsensitive) == 0)
            return child;
    return nullptr;
}

int integerValue(const QString &value)
{
    bool ok = false;
    const int number = value.trimmed().toInt(&ok, 10);
    if (!ok)
        throw TranslationError(QStringLiteral("'%1' is not a valid integer value").arg(value));
    return number;
}

} // namespace

TranslationError::TranslationError(const QString &message)
    : std::runtime_error(message.toStdString()), m_message(message)
{
}

TLanguage::TLanguage(QObject *owner) : QObject(owner)
{
}

void TLanguage::SetSeparator(const QString &separator)
{
    m_separator = separator.trimmed().isEmpty() ? QStringLiteral(",") : separator;
}

void TLanguage::Translate()
{
    if (OnBeforeTranslation)
        OnBeforeTranslation(this);
    // One read of the file per pass; an edit shows at the next pass.
    const ProfileEntries translations = PrivateProfile(FN).readSection(kTranslations);
    for (const QString &line : Properties) {
        if (line.trimmed().isEmpty())
            continue;
        ApplyTranslation(line, PrivateProfile::valueIn(translations, line).value_or(QString()));
    }
    if (OnAfterTranslation)
        OnAfterTranslation(this);
}

void TLanguage::ApplyTranslation(const QString &path, QString value)
{
    QString rest = path.trimmed();
    if (rest.isEmpty())
        return;
    // nullptr while at the application, the owner of all windows.
    QObject *current = nullptr;
    bool found = true;
    while (rest.contains('.')) {
        const qsizetype dot = rest.indexOf('.');
        const QString segment = rest.left(dot).trimmed();
        rest = rest.mid(dot + 1).trimmed();
        if (!found)
            continue;
        current = current ? findComponent(current, segment) : findForm(segment);
        found = current != nullptr;
    }
    if (!current || value.isEmpty())
        return;

    const std::optional<QMetaProperty> property = findProperty(current, rest);
    if (OnTranslate) {
        const bool isText = property && kindOf(*property) == PropertyKind::Text;
        OnTranslate(this, current, rest, isText ? property->read(current).toString() : QString(), value);
    }
    if (!property)
        return;
    switch (kindOf(*property)) {
    case PropertyKind::Text:
        property->write(current, value);
        break;
    case PropertyKind::Integer:
        property->write(current, integerValue(value));
        break;
    case PropertyKind::TextList:
        property->write(current, SplitList(value));
        break;
    case PropertyKind::Other:
        break; // flags, choices and objects have no text form
    }
}

QStringList TLanguage::SplitList(QString value) const
{
    QStringList items;
    if (!m_separator.isEmpty()) {
        for (qsizetype at = value.indexOf(m_separator); at >= 0; at = value.indexOf(m_separator)) {
            items << value.left(at).trimmed();
            value.remove(0, at + m_separator.size());
        }
    }
    value = value.trimmed();
    if (!value.isEmpty())
        items << value;
    return items;
}

QString TLanguage::lookup(const QString &section, const QString &key) const
{
    return PrivateProfile(FN).readString(section, key, key);
}

QString TLanguage::ReadMessage(const QString &key) const
{
    return lookup(QStringLiteral("Messages"), key);
}

QString TLanguage::ReadButton(const QString &key) const
{
    return lookup(QStringLiteral("Buttons"), key);
}

QString TLanguage::ReadThanks(const QString &key) const
{
    return lookup(QStringLiteral("Thanks"), key);
}

void TLanguage::WriteRegistryEntries() const
{
    RegistryStore store;
    WriteRegistryEntries(store);
}

void TLanguage::WriteRegistryEntries(RegistryStore &store) const
{
    const ProfileEntries section = PrivateProfile(FN).readSection(QStringLiteral("reg"));
    const QString keyPath = PrivateProfile::valueIn(section, QStringLiteral("key")).value_or(QStringLiteral("TEST"));

    // Each name once, with its first value; empty values are left out.
    ProfileEntries entries;
    QStringList seen;
    for (const auto &[name, value] : section) {
        if (name.isEmpty() || seen.contains(name, Qt::CaseInsensitive))
            continue;
        seen << name;
        if (!value.isEmpty())
            entries.append({name, value});
    }

    if (!store.openKey(keyPath, true))
        throw RegistryWriteError(entries.isEmpty() ? QStringLiteral("key") : entries.first().first);
    for (const auto &[name, value] : entries)
        store.writeString(name, value);
}
