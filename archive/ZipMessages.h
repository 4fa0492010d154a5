#pragma once
// The engine's numbered message texts (ids 10101 to 11045). They are French
// and are not translated by the language files.

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

class ZipMessages {
public:
    // The id's text, or nullopt when the table has none.
    static std::optional<QString> text(int id);
    // What is shown for an id without text.
    static QString missingText(int id);
    // Fills %d, %.Nd and %s from args in order; unmatched specifiers stay.
    static QString format(const QString &pattern, const QList<QVariant> &args);
};
