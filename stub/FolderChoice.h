// The folder the user picked with Browse, as the extraction folder.
// Header-only and free of Windows headers, so the same code is checked on
// Linux.

#pragma once

#include <cwctype>
#include <string>

namespace stubfolder {

// The last part of a path, without the separators after it.
inline std::wstring lastPart(std::wstring path)
{
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    const size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

inline bool sameName(const std::wstring &a, const std::wstring &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

// A package proposing C:\Demo that the user points at D:\Apps extracts into
// D:\Apps\Demo: picking a folder means "put it there", as with any
// installer. A pick already ending with the package's name is kept, and a
// package with no folder name of its own takes the pick as it is.
inline std::wstring pickedFolder(const std::wstring &picked, const std::wstring &packageName)
{
    if (packageName.empty() || sameName(lastPart(picked), packageName))
        return picked;
    std::wstring folder = picked;
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder + packageName;
}

} // namespace stubfolder
