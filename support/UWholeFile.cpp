#include "support/UWholeFile.h"

#include "support/UHandles.h"

bool ReadWholeFile(HANDLE file, std::string& data) {
    data.clear();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > MaxWholeFileBytes)
        return false;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return data.empty() ||
           (ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &read, nullptr) &&
            read == data.size());
}

bool ReadWholeFile(const std::wstring& path, std::string& data) {
    const handles::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        data.clear();
        return false;
    }
    return ReadWholeFile(file.get(), data);
}
