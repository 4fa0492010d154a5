#include "ArgumentUse.h"

ArgumentUse argumentUse(const QString &argument)
{
    const QString name = argument.mid(argument.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    const QString extension = name.mid(dot).toUpper();
    return {QStringLiteral(".ZIP").startsWith(extension), QStringLiteral(".EXE").startsWith(extension)};
}
