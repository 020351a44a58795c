// A list of strings with a bisection lookup and line-oriented text-file loading and saving;
// the keyword-file merge uses it.
#pragma once

#include <string>
#include <vector>

enum TbrmDuplicates { dupIgnore, dupAccept, dupError };

class TbrmStringList {
public:
    TbrmStringList() = default;
    ~TbrmStringList() { Clear(); }
    TbrmStringList(const TbrmStringList&) = delete;
    TbrmStringList& operator=(const TbrmStringList&) = delete;

    // Empties the list and frees its storage.
    void Clear();
    // Replaces the list by the lines of an 8-bit (ANSI) text file; a file that cannot be read
    // leaves the list empty.
    void LoadFromFile(const std::wstring& fileName);
    // Kept for the interface; does nothing.
    void MergeFromFile(const std::wstring& fileName);
    // Writes every string as a UTF-16LE line (CR LF, no byte-order mark); silent on failure.
    void SaveToFile(const std::wstring& fileName) const;
    // Writes every string as an ANSI line (CR LF); silent on failure.
    void SaveToFileA(const std::wstring& fileName) const;
    // Inserts s where the bisection places it (also beside an equal string); answers the index.
    int Add(const std::wstring& s);
    // Bisection for s; true when an equal string was met, index gets the position.
    bool Find(const std::wstring& s, int& index) const;
    // The string at index; empty outside 0..Count-1.
    std::wstring Get(int index) const;
    // The position Find met for s, or -1.
    int IndexOf(const std::wstring& s) const;
    // Inserts s at index (0..Count); any other index changes nothing.
    void Insert(int index, const std::wstring& s);
    // Kept for the interface; do nothing.
    void Put(int index, const std::wstring& value);
    void Sort();

    int Count() const { return FLinesCount; }
    TbrmDuplicates Duplicates() const { return FDuplicates; }
    void SetDuplicates(TbrmDuplicates value) { FDuplicates = value; }
    int Capacity() const { return FLinesCapacity; }

    // Entries grow in steps of this many; save buffers hold this many bytes or UTF-16 units.
    static constexpr int GrowthStep = 1024;
    static constexpr size_t SaveBufferSize = 8096;

private:
    void GrowIfFull();
    void Append(std::wstring line);

    TbrmDuplicates FDuplicates = dupIgnore;
    std::vector<std::wstring> FLines;
    int FLinesCount = 0;
    int FLinesCapacity = 0;
};
