// The command run after extraction, with the extraction folder in place of
// its "><" marks. Header-only and free of Windows headers, so the same code
// is checked on Linux.

#pragma once

#include <string>

namespace stubcommand {

inline bool isBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// The folder (ending with "\") in place of every "><" of one word.
inline std::wstring replaceMarks(std::wstring word, const std::wstring &folder)
{
    for (size_t at = word.find(L"><"); at != std::wstring::npos; at = word.find(L"><", at + folder.size()))
        word.replace(at, 2, folder);
    return word;
}

// Words are runs of characters between blanks, a blank between quotes
// belonging to its word. A word with a quote of its own is left as its author
// wrote it, only its marks replaced. A word without quotes that holds a mark
// is put between quotes when, once replaced, it holds a blank: the command
// then works in any folder. Backslashes ending such a word are doubled
// before the closing quote, so that "C:\My Folder\" does not read as an
// escaped quote.
inline std::wstring expandFolderMarks(const std::wstring &command, const std::wstring &folder)
{
    std::wstring out;
    size_t i = 0;
    while (i < command.size()) {
        if (isBlank(command[i])) {
            out += command[i++];
            continue;
        }
        size_t end = i;
        bool quoted = false;
        bool inQuotes = false;
        while (end < command.size() && (inQuotes || !isBlank(command[end]))) {
            if (command[end] == L'"') {
                quoted = true;
                inQuotes = !inQuotes;
            }
            ++end;
        }
        const std::wstring word = command.substr(i, end - i);
        std::wstring expanded = replaceMarks(word, folder);
        if (!quoted && expanded != word && expanded.find_first_of(L" \t") != std::wstring::npos) {
            size_t trailing = 0;
            while (trailing < expanded.size() && expanded[expanded.size() - 1 - trailing] == L'\\')
                ++trailing;
            expanded = L"\"" + expanded + std::wstring(trailing, L'\\') + L"\"";
        }
        out += expanded;
        i = end;
    }
    return out;
}

} // namespace stubcommand
