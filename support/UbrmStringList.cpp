#include "support/UbrmStringList.h"

#include "product/UUtils.h"
#include "support/UHandles.h"

#include <windows.h>

using handles::FileHandle;

namespace {

// The user's locale order with string-sort ordering and no case folding, as -1, 0 or +1.
int CompareEntries(const std::wstring& entry, const std::wstring& s) {
    int result = CompareStringW(LOCALE_USER_DEFAULT, SORT_STRINGSORT, entry.data(),
                                static_cast<int>(entry.size()), s.data(), static_cast<int>(s.size()));
    if (result == CSTR_LESS_THAN)
        return -1;
    if (result == CSTR_GREATER_THAN)
        return 1;
    if (result == CSTR_EQUAL)
        return 0;
    // The comparison itself failed; fall back to code-unit order so the bisection stays sound.
    return entry < s ? -1 : (entry == s ? 0 : 1);
}

// Appends bytes to an output buffer of fixed capacity, writing it out each time it is full.
class BufferedWriter {
public:
    BufferedWriter(HANDLE file, size_t capacityBytes) : FFile(file), FCapacity(capacityBytes) {
        FBuffer.reserve(capacityBytes);
    }
    // Appends one line and its terminator; a line that cannot fit even an empty buffer is
    // written whole, on its own, after what the buffer held.
    void AppendLine(const char* data, size_t bytes, const char* terminator, size_t terminatorBytes) {
        const size_t needed = bytes + terminatorBytes;
        if (FBuffer.size() + needed > FCapacity)
            Flush();
        if (needed > FCapacity) {
            Write(data, bytes);
            Write(terminator, terminatorBytes);
            return;
        }
        FBuffer.insert(FBuffer.end(), data, data + bytes);
        FBuffer.insert(FBuffer.end(), terminator, terminator + terminatorBytes);
    }
    void Flush() {
        Write(FBuffer.data(), FBuffer.size());
        FBuffer.clear();
    }

private:
    void Write(const char* data, size_t bytes) {
        while (bytes > 0) {
            DWORD chunk = bytes > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes);
            DWORD written = 0;
            if (!WriteFile(FFile, data, chunk, &written, nullptr) || written == 0)
                return;  // write errors are not reported
            data += written;
            bytes -= written;
        }
    }

    HANDLE FFile;
    size_t FCapacity;
    std::vector<char> FBuffer;
};

FileHandle CreateForWriting(const std::wstring& fileName) {
    return FileHandle(CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

void TbrmStringList::Clear() {
    FLines.clear();
    FLines.shrink_to_fit();
    FLinesCount = 0;
    FLinesCapacity = 0;
}

void TbrmStringList::GrowIfFull() {
    if (FLinesCount >= FLinesCapacity) {
        FLinesCapacity += GrowthStep;
        FLines.resize(static_cast<size_t>(FLinesCapacity));
    }
}

void TbrmStringList::Append(std::wstring line) {
    GrowIfFull();
    FLines[static_cast<size_t>(FLinesCount)] = std::move(line);
    ++FLinesCount;
}

void TbrmStringList::LoadFromFile(const std::wstring& fileName) {
    Clear();
    FileHandle file(CreateFileW(fileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    LARGE_INTEGER size;
    // Text files this list merges are small; anything the address space cannot take is
    // treated as unreadable rather than half read.
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x20000000)
        return;
    std::string buffer(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!buffer.empty() &&
        !ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
        return;
    buffer.resize(read);
    file.reset();

    // CR LF, a lone LF and a lone CR each end a line; a NUL byte ends the text.
    size_t position = 0;
    const size_t end = buffer.find('\0') == std::string::npos ? buffer.size() : buffer.find('\0');
    while (position < end) {
        size_t stop = buffer.find_first_of("\r\n", position);
        if (stop == std::string::npos || stop > end)
            stop = end;
        Append(FromAnsi(buffer.substr(position, stop - position)));
        position = stop;
        if (position < end && buffer[position] == '\r')
            ++position;
        if (position < end && buffer[position] == '\n')
            ++position;
    }
}

void TbrmStringList::MergeFromFile(const std::wstring&) {}

void TbrmStringList::SaveToFile(const std::wstring& fileName) const {
    FileHandle file = CreateForWriting(fileName);
    if (!file)
        return;
    static const wchar_t lineEnd[] = L"\r\n";
    BufferedWriter writer(file.get(), SaveBufferSize * sizeof(wchar_t));
    for (int i = 0; i < FLinesCount; ++i) {
        const std::wstring& line = FLines[static_cast<size_t>(i)];
        writer.AppendLine(reinterpret_cast<const char*>(line.data()), line.size() * sizeof(wchar_t),
                          reinterpret_cast<const char*>(lineEnd), 2 * sizeof(wchar_t));
    }
    writer.Flush();
}

void TbrmStringList::SaveToFileA(const std::wstring& fileName) const {
    FileHandle file = CreateForWriting(fileName);
    if (!file)
        return;
    BufferedWriter writer(file.get(), SaveBufferSize);
    for (int i = 0; i < FLinesCount; ++i) {
        const std::string line = ToAnsi(FLines[static_cast<size_t>(i)]);
        writer.AppendLine(line.data(), line.size(), "\r\n", 2);
    }
    writer.Flush();
}

int TbrmStringList::Add(const std::wstring& s) {
    int index = 0;
    Find(s, index);
    Insert(index, s);
    return index;
}

bool TbrmStringList::Find(const std::wstring& s, int& index) const {
    int lo = 0;
    int hi = FLinesCount - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = CompareEntries(FLines[static_cast<size_t>(mid)], s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                // Only dupAccept goes on to the first of a run of equal strings.
                if (FDuplicates != dupAccept)
                    lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

std::wstring TbrmStringList::Get(int index) const {
    if (index < 0 || index >= FLinesCount)
        return {};
    return FLines[static_cast<size_t>(index)];
}

int TbrmStringList::IndexOf(const std::wstring& s) const {
    int index = 0;
    return Find(s, index) ? index : -1;
}

void TbrmStringList::Insert(int index, const std::wstring& s) {
    if (index < 0 || index > FLinesCount)
        return;
    GrowIfFull();
    for (int i = FLinesCount; i > index; --i)
        FLines[static_cast<size_t>(i)] = std::move(FLines[static_cast<size_t>(i - 1)]);
    FLines[static_cast<size_t>(index)] = s;
    ++FLinesCount;
}

void TbrmStringList::Put(int, const std::wstring&) {}

void TbrmStringList::Sort() {}
