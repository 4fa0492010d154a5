// Writes COUNT keys, one call each, into SECTION of an INI file: one of the
// processes that race on the same file in the INI tests.
//   profile_writer FILE SECTION COUNT

#include "PrivateProfile.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    const PrivateProfile profile(args[1]);
    const int count = args[3].toInt();
    try {
        for (int i = 0; i < count; ++i)
            profile.writeString(args[2], QStringLiteral("k%1").arg(i), QStringLiteral("value %1").arg(i));
    } catch (const ProfileWriteError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
