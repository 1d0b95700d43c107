#include "Win32SystemFolder.h"

#include <windows.h>

#include <vector>

namespace plat {

std::wstring Win32SystemFolder::Path() {
    const ::UINT size = ::GetSystemDirectoryW(nullptr, 0);
    if (size == 0)
        return std::wstring();
    std::vector<wchar_t> buffer(size + 1);
    const ::UINT n = ::GetSystemDirectoryW(buffer.data(), static_cast<::UINT>(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return std::wstring();
    std::wstring path(buffer.data(), n);
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring Win32SystemFolder::File(const std::wstring& name) {
    if (name.empty() || name.find_first_of(L"\\/:") != std::wstring::npos)
        return std::wstring();
    const std::wstring folder = Path();
    if (folder.empty())
        return std::wstring();
    std::wstring path = folder + L"\\" + name;
    const ::DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::wstring();
    return path;
}

}  // namespace plat
