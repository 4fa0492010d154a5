// What any Windows program pays to write a set of files under Wine: the
// folders and files named in LIST ("SIZE PATH" lines, "/" separators) are
// made below FOLDER with CreateDirectoryW, CreateFileW, one WriteFile and
// CloseHandle each, nothing more. bench/stub-small-files.sh times it beside
// the stub, so the stub's own share of the time can be told from Wine's.
//   wine-file-floor.exe FOLDER LIST

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3)
        return 2;
    FILE *list = _wfopen(argv[2], L"rb");
    if (!list)
        return 2;
    const std::wstring folder = std::wstring(argv[1]) + L"\\";
    CreateDirectoryW(argv[1], nullptr);
    std::set<std::wstring> made;
    std::vector<char> data;
    unsigned long long size = 0;
    char name[1024];
    while (fscanf(list, "%llu %1023[^\n]\n", &size, name) == 2) {
        std::wstring path = folder;
        for (const char *c = name; *c; ++c)
            path += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
        for (size_t slash = path.find(L'\\', folder.size()); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1))
            if (made.insert(path.substr(0, slash)).second)
                CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
        if (path.back() == L'\\')
            continue;
        data.resize(size);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return 1;
        DWORD put = 0;
        WriteFile(file, data.data(), static_cast<DWORD>(size), &put, nullptr);
        CloseHandle(file);
    }
    fclose(list);
    return 0;
}
