#pragma once
// A string list with a lock of its own, shared by a worker and the window's
// thread (the published progress line, for one). Every operation takes the
// lock; LockList/UnlockList bracket multi-step work on the inner list. The
// lock is re-entrant, so the owner of LockList may still call the methods.
#include <atomic>
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>

#include "common/types.h"

namespace tandrel {

enum class Duplicates { Ignore, Accept, Error };

class TThreadStringList {
public:
    TThreadStringList();
    // Marks the list as going away, then waits for the lock before freeing it.
    ~TThreadStringList();
    TThreadStringList(const TThreadStringList&) = delete;
    TThreadStringList& operator=(const TThreadStringList&) = delete;

    TStringList& LockList();
    void UnlockList();

    // Appends (on a sorted list: inserts in order, applying the duplicates
    // mode); returns the index, or -1 when a duplicate was ignored.
    int Add(std::string_view line);
    void AddStrings(const TStringList& lines);
    void Delete(int index);
    // Deletes the first line equal to the given one; false when there is none.
    bool DeleteFirstExact(std::string_view line);
    void Clear();
    void Exchange(int index1, int index2);
    // Binary search of a sorted list (locale order, case ignored): true when
    // found; index is the match or the insertion point.
    bool Find(std::string_view line, int& index);
    void Insert(int index, std::string_view line);
    // First line equal ignoring case, or -1.
    int IndexOf(std::string_view line);
    // First "name=value" line whose name equals ignoring case, or -1.
    int IndexOfName(std::string_view name);
    void Sort();

    bool LoadFromFile(const std::string& file);
    bool SaveToFile(const std::string& file);
    void LoadFromStream(std::istream& in);
    void SaveToStream(std::ostream& out);

    std::string GetNames(int index);
    std::string GetValues(std::string_view name);
    // An empty value removes the line of that name.
    void SetValues(std::string_view name, std::string_view value);
    std::string GetStrings(int index);
    void SetStrings(int index, std::string_view line);

    Duplicates GetDuplicates();
    void SetDuplicates(Duplicates mode);
    bool GetSorted();
    // Turning sorting on sorts the list.
    void SetSorted(bool sorted);
    int GetCapacity();
    void SetCapacity(int capacity);
    char GetDelimiter();
    void SetDelimiter(char delimiter);
    // Lines joined by the delimiter; a line holding the delimiter, a quote or
    // blanks at its ends is quoted with '"' (inner quotes doubled).
    std::string GetDelimitedText();
    void SetDelimitedText(std::string_view text);
    std::string GetCommaText();
    void SetCommaText(std::string_view text);
    // 0 once destruction has started.
    int GetCount();
    // Every line followed by CR LF.
    std::string GetText();
    void SetText(std::string_view text);

    // True from the start of destruction on.
    bool Destroying() const { return destroyed_; }

private:
    using Guard = std::lock_guard<std::recursive_mutex>;
    void CheckIndex(int index, int count) const;
    int AddLocked(std::string_view line);
    bool FindLocked(std::string_view line, int& index) const;
    std::string DelimitedLocked(char delimiter) const;
    void SetDelimitedLocked(std::string_view text, char delimiter);

    TStringList list_;
    std::recursive_mutex lock_;
    std::atomic<bool> destroyed_{false};
    Duplicates duplicates_ = Duplicates::Ignore;
    bool sorted_ = false;
    char delimiter_ = ',';
};

}  // namespace tandrel
