#include "support/UbrmStringList.h"

#include "support/UHandles.h"
#include "support/UText.h"
#include "support/UWholeFile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

using handles::FileHandle;

namespace {

// The user's locale order with string-sort ordering and no case folding, as -1, 0 or +1.
int CompareEntries(const std::wstring& entry, const std::wstring& s) {
    int result =
        CompareStringW(LOCALE_USER_DEFAULT, SORT_STRINGSORT, entry.data(),
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

// The sort key of s under the same locale and flags as CompareEntries: byte strings whose
// unsigned lexicographic order is CompareStringW's order, made once per string instead of
// running the locale comparison at every step of every bisection. Empty when the locale makes
// none (it makes none for the empty string).
std::string SortKey(const std::wstring& s) {
    constexpr DWORD flags = LCMAP_SORTKEY | SORT_STRINGSORT;
    if (s.empty() || s.size() > 0x1000000)
        return {};
    const int length = static_cast<int>(s.size());
    // A first guess that holds the key of most text spares the call that only measures it.
    std::string key(s.size() * 6 + 16, '\0');
    int made = LCMapStringW(LOCALE_USER_DEFAULT, flags, s.data(), length,
                            reinterpret_cast<LPWSTR>(key.data()), static_cast<int>(key.size()));
    if (made == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        const int needed = LCMapStringW(LOCALE_USER_DEFAULT, flags, s.data(), length, nullptr, 0);
        if (needed <= 0)
            return {};
        key.assign(static_cast<size_t>(needed), '\0');
        made = LCMapStringW(LOCALE_USER_DEFAULT, flags, s.data(), length,
                            reinterpret_cast<LPWSTR>(key.data()), needed);
    }
    key.resize(made > 0 ? static_cast<size_t>(made) : 0);
    return key;
}

// Sort keys in byte order, as -1, 0 or +1.
int CompareKeys(const std::string& a, const std::string& b) {
    const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : (a.size() == b.size() ? 0 : 1);
}

// Appends bytes to an output buffer of fixed capacity, writing it out each time it is full.
class BufferedWriter {
public:
    BufferedWriter(HANDLE file, size_t capacityBytes) : FFile(file), FCapacity(capacityBytes) {
        FBuffer.reserve(capacityBytes);
    }
    // Appends one line and its terminator; a line that cannot fit even an empty buffer is
    // written whole, on its own, after what the buffer held.
    void AppendLine(const char* data, size_t bytes, const char* terminator,
                    size_t terminatorBytes) {
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
    FEntries.clear();
    FEntries.shrink_to_fit();
    FSlots.clear();
    FSlots.shrink_to_fit();
    FGapStart = 0;
    FLinesCount = 0;
    FLinesCapacity = 0;
    FSought.clear();
    FSoughtKey.clear();
}

void TbrmStringList::GrowIfFull() {
    if (FLinesCount >= FLinesCapacity) {
        // A full list has no gap, so the new slots at the end are the gap.
        FLinesCapacity += GrowthStep;
        FSlots.resize(static_cast<size_t>(FLinesCapacity));
        FGapStart = FLinesCount;
    }
}

const TbrmStringList::TEntry& TbrmStringList::EntryAt(int index) const {
    const int slot = index < FGapStart ? index : index + (FLinesCapacity - FLinesCount);
    return FEntries[static_cast<size_t>(FSlots[static_cast<size_t>(slot)])];
}

void TbrmStringList::MoveGapTo(int index) {
    const auto slots = FSlots.begin();
    const int gap = FLinesCapacity - FLinesCount;
    if (index < FGapStart)
        std::copy_backward(slots + index, slots + FGapStart, slots + FGapStart + gap);
    else if (index > FGapStart)
        std::copy(slots + FGapStart + gap, slots + index + gap, slots + FGapStart);
    FGapStart = index;
}

void TbrmStringList::Place(int index, TEntry entry) {
    GrowIfFull();
    FEntries.push_back(std::move(entry));
    MoveGapTo(index);
    FSlots[static_cast<size_t>(index)] = static_cast<int>(FEntries.size() - 1);
    ++FGapStart;
    ++FLinesCount;
}

void TbrmStringList::Append(std::wstring line) {
    Place(FLinesCount, TEntry{std::move(line), {}, false});
}

void TbrmStringList::LoadFromFile(const std::wstring& fileName) {
    Clear();
    std::string buffer;
    if (!ReadWholeFile(fileName, buffer))
        return;

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
        const std::wstring& line = EntryAt(i).Text;
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
        const std::string line = ToAnsi(EntryAt(i).Text);
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
    if (FSought != s || FSoughtKey.empty()) {
        std::string key = SortKey(s);
        FSought = s;
        FSoughtKey = std::move(key);
    }
    int lo = 0;
    int hi = FLinesCount - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const TEntry& entry = EntryAt(mid);
        if (!entry.KeyMade) {
            entry.Key = SortKey(entry.Text);
            entry.KeyMade = true;
        }
        // Where either side has no key, the locale comparison itself decides.
        const bool keyed = !entry.Key.empty() && !FSoughtKey.empty();
        const int c = keyed ? CompareKeys(entry.Key, FSoughtKey) : CompareEntries(entry.Text, s);
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
    return EntryAt(index).Text;
}

int TbrmStringList::IndexOf(const std::wstring& s) const {
    int index = 0;
    return Find(s, index) ? index : -1;
}

void TbrmStringList::Insert(int index, const std::wstring& s) {
    if (index < 0 || index > FLinesCount)
        return;
    // The string Find just looked for is usually the one inserted: its key is already made.
    const bool sought = !FSoughtKey.empty() && s == FSought;
    Place(index, TEntry{s, sought ? FSoughtKey : std::string(), sought});
}

void TbrmStringList::Put(int, const std::wstring&) {}

void TbrmStringList::Sort() {}
