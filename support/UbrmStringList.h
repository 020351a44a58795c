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
    // One string and, once it has been compared, its sort key (empty when the locale gave none).
    struct TEntry {
        std::wstring Text;
        mutable std::string Key;
        mutable bool KeyMade = false;
    };

    void GrowIfFull();
    // Stores entry at index (0..Count) and moves the later entries up by one.
    void Place(int index, TEntry entry);
    void Append(std::wstring line);
    // The entry at list position index (0..Count-1).
    const TEntry& EntryAt(int index) const;
    // Moves the free slots so that they start at list position index (0..Count).
    void MoveGapTo(int index);

    TbrmDuplicates FDuplicates = dupIgnore;
    // The strings in the order they came in; FSlots puts them in list order. FSlots has one slot
    // per unit of capacity, the unused ones forming a gap at FGapStart, so an insertion moves
    // only the indexes between the last insertion and this one (a sorted merge moves few).
    std::vector<TEntry> FEntries;
    std::vector<int> FSlots;
    int FGapStart = 0;
    int FLinesCount = 0;
    int FLinesCapacity = 0;
    // The last string Find looked for and its key, so that Add and a merge that inserts what
    // Find did not meet make the key once.
    mutable std::wstring FSought;
    mutable std::string FSoughtKey;
};
