#include "ListCommand.h"

#include "CentralDirectoryReader.h"
#include "CliFiles.h"
#include "Cp437.h"
#include "TerminalHost.h"
#include "ZipArchiver.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

// Control characters in names and comments (escape sequences, carriage
// returns, direction overrides) would act on the terminal instead of being
// shown: they appear as \xHH or \uHHHH, as --json writes them.
QString escapeControls(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool directionControl = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(static_cast<unsigned>(u), 2, 16, QChar('0'));
        else if (directionControl)
            out += QStringLiteral("\\u%1").arg(static_cast<unsigned>(u), 4, 16, QChar('0'));
        else
            out += c;
    }
    return out;
}

bool isUtf8(const std::string &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

QString fromCp437(const std::string &bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text += QChar(b < 0x80 ? char16_t(b) : zipformat::kCp437UpperHalf[b - 0x80]);
    }
    return text;
}

// Names and comments as the command line shows them. Names that are not
// UTF-8 although their writer claims it (Unix hosts store bytes in whatever
// the user's locale was) would come out as replacement characters, which no
// one can type back for `extract NAME`: those are read as code page 437,
// which the extraction library also matches.
class ShownTexts {
public:
    ShownTexts(const TZipArchiver &za, const QString &path)
    {
        const std::vector<ZipDirEntry> &entries = za.Entries();
        for (const ZipDirEntry &e : entries) {
            m_names.append(displayName(e.FileName));
            m_comments.append(e.FileComment);
        }
        bool damaged = false;
        for (int i = 0; i < m_names.size() && !damaged; ++i)
            damaged = m_names[i].contains(QChar::ReplacementCharacter)
                || m_comments[i].contains(QChar::ReplacementCharacter);
        if (!damaged || za.Spanned)
            return;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        zipformat::CentralDirectory directory;
        const auto readAt = [&file](uint64_t offset, void *dest, size_t count) {
            return file.seek(static_cast<qint64>(offset))
                && file.read(static_cast<char *>(dest), static_cast<qint64>(count)) == static_cast<qint64>(count);
        };
        if (zipformat::readCentralDirectory(readAt, static_cast<uint64_t>(file.size()), &directory)
                != zipformat::DirectoryError::None
            || directory.entries.size() != entries.size())
            return;
        for (int i = 0; i < m_names.size(); ++i) {
            const zipformat::DirectoryEntry &raw = directory.entries[static_cast<size_t>(i)];
            if (m_names[i].contains(QChar::ReplacementCharacter) && !isUtf8(raw.name))
                m_names[i] = displayName(fromCp437(raw.name));
            if (m_comments[i].contains(QChar::ReplacementCharacter) && !isUtf8(raw.comment))
                m_comments[i] = fromCp437(raw.comment);
        }
    }
    const QString &name(int i) const { return m_names[i]; }
    const QString &comment(int i) const { return m_comments[i]; }

private:
    QStringList m_names;
    QStringList m_comments;
};

std::string dosDateTimeText(uint32_t dateTime, char separator)
{
    const unsigned date = dateTime >> 16;
    const unsigned time = dateTime & 0xFFFF;
    char text[24];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u%c%02u:%02u:%02u", 1980 + (date >> 9),
                  (date >> 5) & 15, date & 31, separator, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return text;
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

// Output goes out in pieces, so memory does not grow with the listing.
class Output {
public:
    ~Output() { flush(); }
    Output &operator<<(const std::string &text) { return append(text.data(), text.size()); }
    Output &operator<<(const char *text) { return append(text, std::strlen(text)); }
    Output &operator<<(char c) { return append(&c, 1); }
    Output &operator<<(const QString &text) { return *this << text.toStdString(); }
    Output &operator<<(long long n) { return *this << std::to_string(n); }
    Output &operator<<(unsigned long long n) { return *this << std::to_string(n); }
    Output &append(const char *data, size_t size)
    {
        m_buffer.append(data, size);
        if (m_buffer.size() >= 64 * 1024)
            flush();
        return *this;
    }
    void flush()
    {
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), stdout);
        m_buffer.clear();
    }

private:
    std::string m_buffer;
};

std::string jsonString(const QString &text)
{
    std::string out = "\"";
    for (const char c : text.toStdString()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

const char *jsonBool(bool value)
{
    return value ? "true" : "false";
}

void printText(const TZipArchiver &za, const QString &path, const ShownTexts &shown)
{
    Output out;
    char line[160];
    out << "Archive: " << escapeControls(path) << '\n';
    std::snprintf(line, sizeof line,
                  "Start %lld, end %lld, file size %lld, directory at %lld%s%s\n",
                  static_cast<long long>(za.ArchiveStart), static_cast<long long>(za.ArchiveEnd),
                  static_cast<long long>(za.PhysicalSize), static_cast<long long>(za.CentralDirOffset),
                  za.OffsetsMismatch ? ", offsets not shifted" : "",
                  za.Spanned ? ", spans several volumes" : "");
    out << line;
    if (!za.ArchiveComment.isEmpty())
        out << "Comment: " << escapeControls(za.ArchiveComment) << '\n';
    out << "      Length   Compressed  Method   CRC-32    Date       Time      Name\n";
    out << "------------ ------------ ------- -------- ------------------- ----\n";
    uint64_t totalLength = 0;
    uint64_t totalCompressed = 0;
    int index = 0;
    for (const ZipDirEntry &e : za.Entries()) {
        const int i = index++;
        std::snprintf(line, sizeof line, "%12llu %12llu %-7s %08x %s%s ",
                      static_cast<unsigned long long>(e.UncompressedSize),
                      static_cast<unsigned long long>(e.CompressedSize), methodName(e.Method), e.CRC32,
                      dosDateTimeText(e.DateTime, ' ').c_str(), e.Encrypted ? "*" : " ");
        out << line << escapeControls(shown.name(i));
        if (!shown.comment(i).isEmpty())
            out << "  [" << escapeControls(shown.comment(i)) << ']';
        out << '\n';
        totalLength += e.UncompressedSize;
        totalCompressed += e.CompressedSize;
    }
    std::snprintf(line, sizeof line, "------------ ------------\n%12llu %12llu %d entries\n",
                  static_cast<unsigned long long>(totalLength),
                  static_cast<unsigned long long>(totalCompressed), za.Count());
    out << line;
}

void printJson(const TZipArchiver &za, const QList<ReportedMessage> &messages, const ShownTexts *shown)
{
    Output out;
    out << "{\n  \"archive\": {"
        << "\n    \"ArchiveStart\": " << static_cast<long long>(za.ArchiveStart)
        << ",\n    \"ArchiveEnd\": " << static_cast<long long>(za.ArchiveEnd)
        << ",\n    \"PhysicalSize\": " << static_cast<long long>(za.PhysicalSize)
        << ",\n    \"CentralDirOffset\": " << static_cast<long long>(za.CentralDirOffset)
        << ",\n    \"OffsetsMismatch\": " << jsonBool(za.OffsetsMismatch)
        << ",\n    \"ArchiveComment\": " << jsonString(za.ArchiveComment)
        << ",\n    \"Spanned\": " << jsonBool(za.Spanned)
        << ",\n    \"LastDisk\": " << static_cast<long long>(za.LastDisk)
        << ",\n    \"Count\": " << static_cast<long long>(za.Count()) << "\n  },\n  \"entries\": [";
    const char *separator = "\n";
    if (za.Count() > 0) {
        int index = 0;
        for (const ZipDirEntry &e : za.Entries()) {
            const int i = index++;
            out << separator << "    {\"FileName\": " << jsonString(shown ? shown->name(i) : displayName(e.FileName))
                << ", \"CompressedSize\": " << static_cast<unsigned long long>(e.CompressedSize)
                << ", \"UncompressedSize\": " << static_cast<unsigned long long>(e.UncompressedSize)
                << ", \"CRC32\": " << static_cast<unsigned long long>(e.CRC32)
                << ", \"Method\": " << static_cast<long long>(e.Method)
                << ", \"DateTime\": \"" << dosDateTimeText(e.DateTime, 'T') << '"'
                << ", \"Encrypted\": " << jsonBool(e.Encrypted)
                << ", \"FileComment\": " << jsonString(shown ? shown->comment(i) : e.FileComment)
                << ", \"LocalHeaderOffset\": " << static_cast<unsigned long long>(e.LocalHeaderOffset) << '}';
            separator = ",\n";
        }
    }
    out << "\n  ],\n  \"messages\": [";
    separator = "\n";
    for (const ReportedMessage &m : messages) {
        out << separator << "    {\"id\": " << static_cast<long long>(m.id) << ", \"text\": " << jsonString(m.text)
            << '}';
        separator = ",\n";
    }
    out << "\n  ]\n}\n";
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
    const std::optional<QString> file = CliFiles::readableFile("list", path);
    if (!file) {
        za.ReportMessage(11001, QStringLiteral(": ") + path);
        if (json)
            printJson(za, messages, nullptr);
        return 1;
    }
    za.setZipFileName(*file);
    const bool listed = !za.ZipFileName().isEmpty();
    const ShownTexts shown(za, *file);
    if (json)
        printJson(za, messages, &shown);
    else if (listed)
        printText(za, path, shown);
    return listed ? 0 : 1;
}
