#include "ListCommand.h"

#include "TerminalHost.h"
#include "ZipArchiver.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <string>

namespace {

struct ReportedMessage {
    int id;
    QString text;
};

// Entry names are shown as the ZIP format stores them, with "/".
QString displayName(const QString &fileName)
{
    QString name = fileName;
    name.replace('\\', '/');
    return name;
}

QString dosDateTimeText(uint32_t dateTime, char separator)
{
    const unsigned date = dateTime >> 16;
    const unsigned time = dateTime & 0xFFFF;
    char text[24];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u%c%02u:%02u:%02u", 1980 + (date >> 9),
                  (date >> 5) & 15, date & 31, separator, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return QString::fromLatin1(text);
}

const char *methodName(uint16_t method)
{
    switch (method) {
    case 0: return "Stored";
    case 8: return "Deflate";
    case 9: return "Defl64";
    case 12: return "BZip2";
    case 14: return "LZMA";
    case 93: return "Zstd";
    case 95: return "XZ";
    case 99: return "AES";
    default: return "Unknown";
    }
}

void printText(const TZipArchiver &za, const QString &path)
{
    std::string out;
    out.reserve(static_cast<size_t>(za.Count()) * 96 + 1024);
    char line[160];
    out += "Archive: " + path.toStdString() + '\n';
    std::snprintf(line, sizeof line,
                  "Start %lld, end %lld, file size %lld, directory at %lld%s%s\n",
                  static_cast<long long>(za.ArchiveStart), static_cast<long long>(za.ArchiveEnd),
                  static_cast<long long>(za.PhysicalSize), static_cast<long long>(za.CentralDirOffset),
                  za.OffsetsMismatch ? ", offsets not shifted" : "",
                  za.Spanned ? ", spans several volumes" : "");
    out += line;
    if (!za.ArchiveComment.isEmpty())
        out += "Comment: " + za.ArchiveComment.toStdString() + '\n';
    out += "      Length   Compressed  Method   CRC-32    Date       Time      Name\n";
    out += "------------ ------------ ------- -------- ------------------- ----\n";
    uint64_t totalLength = 0;
    uint64_t totalCompressed = 0;
    for (const ZipDirEntry &e : za.Entries()) {
        std::snprintf(line, sizeof line, "%12llu %12llu %-7s %08x %s%s ",
                      static_cast<unsigned long long>(e.UncompressedSize),
                      static_cast<unsigned long long>(e.CompressedSize), methodName(e.Method), e.CRC32,
                      dosDateTimeText(e.DateTime, ' ').toLatin1().constData(), e.Encrypted ? "*" : " ");
        out += line;
        out += displayName(e.FileName).toStdString();
        if (!e.FileComment.isEmpty())
            out += "  [" + e.FileComment.toStdString() + ']';
        out += '\n';
        totalLength += e.UncompressedSize;
        totalCompressed += e.CompressedSize;
    }
    std::snprintf(line, sizeof line, "------------ ------------\n%12llu %12llu %d entries\n",
                  static_cast<unsigned long long>(totalLength),
                  static_cast<unsigned long long>(totalCompressed), za.Count());
    out += line;
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void printJson(const TZipArchiver &za, const QList<ReportedMessage> &messages)
{
    QJsonObject archive{
        {"ArchiveStart", static_cast<qint64>(za.ArchiveStart)},
        {"ArchiveEnd", static_cast<qint64>(za.ArchiveEnd)},
        {"PhysicalSize", static_cast<qint64>(za.PhysicalSize)},
        {"CentralDirOffset", static_cast<qint64>(za.CentralDirOffset)},
        {"OffsetsMismatch", za.OffsetsMismatch},
        {"ArchiveComment", za.ArchiveComment},
        {"Spanned", za.Spanned},
        {"LastDisk", za.LastDisk},
        {"Count", za.Count()},
    };
    QJsonArray entries;
    if (za.Count() > 0) {
        for (const ZipDirEntry &e : za.Entries()) {
            entries.append(QJsonObject{
                {"FileName", displayName(e.FileName)},
                {"CompressedSize", static_cast<qint64>(e.CompressedSize)},
                {"UncompressedSize", static_cast<qint64>(e.UncompressedSize)},
                {"CRC32", static_cast<qint64>(e.CRC32)},
                {"Method", e.Method},
                {"DateTime", dosDateTimeText(e.DateTime, 'T')},
                {"Encrypted", e.Encrypted},
                {"FileComment", e.FileComment},
                {"LocalHeaderOffset", static_cast<qint64>(e.LocalHeaderOffset)},
            });
        }
    }
    QJsonArray reported;
    for (const ReportedMessage &m : messages)
        reported.append(QJsonObject{{"id", m.id}, {"text", m.text}});
    const QJsonObject root{{"archive", archive}, {"entries", entries}, {"messages", reported}};
    const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
}

} // namespace

const char *ListCommand::usage()
{
    return "  mantole-cli list ARCHIVE [--json]\n"
           "      Lists the entries of a ZIP archive or self-extracting executable.\n";
}

int ListCommand::run(const QStringList &args)
{
    QString path;
    bool json = false;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--json"))
            json = true;
        else if (arg.startsWith(QLatin1String("--")) || !path.isEmpty()) {
            std::fprintf(stderr, "mantole-cli list: unexpected argument %s\n%s", qPrintable(arg), usage());
            return 2;
        } else
            path = arg;
    }
    if (path.isEmpty()) {
        std::fprintf(stderr, "mantole-cli list: no archive given\n%s", usage());
        return 2;
    }

    TerminalHost host;
    TZipArchiver za(&host);
    QList<ReportedMessage> messages;
    za.OnMessage = [&messages](TZipArchiver *sender, int, const QString &text) {
        messages.append({sender->ErrCode, text});
    };
    if (!QFileInfo(path).isFile()) {
        za.ReportMessage(11001, QStringLiteral(": ") + path);
        if (json)
            printJson(za, messages);
        return 1;
    }
    za.setZipFileName(path);
    const bool listed = !za.ZipFileName().isEmpty();
    if (json)
        printJson(za, messages);
    else if (listed)
        printText(za, path);
    return listed ? 0 : 1;
}
