// Finding the groups of equal files. Within one size the groups are the
// classes of files with equal content, numbered in the order of their first
// member. They are found with reads linear in the number of files: split by a
// hash of the first block, then by a hash of the rest, and every member is
// confirmed byte for byte against its group's first member before it joins.
// A size whose pairs are all in the comparison cache is answered from it
// without reading. What the groups, keys and cache entries come to is what
// comparing every unprocessed file with every later one of its size gives.
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "common/date_time.h"
#include "common/format_numbers.h"
#include "compare/duplicate_finder.h"
#include "compare/file_content_compare.h"
#include "platform/file_system.h"

namespace tandrel {

namespace {

using HashFn = std::uint64_t (*)(const void* data, std::size_t size, std::uint64_t seed);

std::uint64_t XxHash(const void* data, std::size_t size, std::uint64_t seed) {
    return XXH3_64bits_withSeed(data, size, seed);
}

std::atomic<HashFn> hashFn{&XxHash};
// Buckets up to this many files are compared all at once, block by block.
constexpr int kLockstepLimit = 32;
std::atomic<int> lockstepLimit{kLockstepLimit};
constexpr std::size_t kLockstepChunk = 256 * 1024;

constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kChunk = 1024 * 1024;

// One file of a size class, in index-list order.
struct Candidate {
    int position = 0;  // in the duplicate list
    std::string path;
    std::string cacheKey;  // file key of the comparison cache; empty when its time is unknown
    bool readable = true;  // present with the listed size and read without error
    bool counted = false;  // its content was read in this search
    std::uint64_t head = 0;
    std::uint64_t rest = 0;
    int first = -1;  // the class's first member (index in the run)
};

TComparePairKeys PairKeys(const Candidate& a, const Candidate& b) {
    TComparePairKeys keys;
    if (a.cacheKey.empty() || b.cacheKey.empty()) return keys;
    keys.aThenB = a.cacheKey + '|' + b.cacheKey;
    keys.bThenA = b.cacheKey + '|' + a.cacheKey;
    keys.valid = true;
    return keys;
}

class RunSearch {
public:
    RunSearch(ScanModel& model, TCompareCache& cache, TDuplicateCounters& counters, FileContentComparer& comparer,
              std::vector<char>& buffer)
        : model_(model), cache_(cache), counters_(counters), comparer_(comparer), buffer_(buffer) {}

    // Fills first of every candidate; false when stopped.
    bool Search(std::vector<Candidate>& run, std::int64_t size) {
        bool allKnown = true;
        for (Candidate& c : run) {
            std::int64_t now = 0;
            platform::FileTime time = 0;
            if (!platform::GetFileSizeAndTime(c.path, now, time) || now != size) {
                c.readable = false;
                allKnown = false;
                continue;
            }
            c.cacheKey = CacheFileKey(c.path, FileTimeToLocalDateTime(time));
        }
        if (allKnown && FromCache(run)) return true;
        for (Candidate& c : run) c.first = -1;
        return FromContents(run, size);
    }

private:
    // Every pair the plain walk would compare, looked up; false at the first miss.
    bool FromCache(std::vector<Candidate>& run) {
        int lookups = 0;
        std::vector<bool> processed(run.size(), false);
        for (std::size_t a = 0; a < run.size(); ++a) {
            if (processed[a]) continue;
            run[a].first = static_cast<int>(a);
            for (std::size_t b = a + 1; b < run.size(); ++b) {
                if (processed[b]) continue;
                const TFileCompareResult verdict = cache_.Lookup(PairKeys(run[a], run[b]));
                ++lookups;
                if (verdict == FC_CACHE_MISS) return false;
                if (verdict == FC_IDENTICAL) {
                    processed[a] = processed[b] = true;
                    run[b].first = static_cast<int>(a);
                }
            }
        }
        counters_.fromCache += lookups;
        return true;
    }

    // Reads from offset up to count bytes (to the end when count is 0) and
    // hashes them in chunks; false on a read error or a short file.
    bool HashFile(Candidate& c, std::int64_t offset, std::int64_t count, std::uint64_t& hash) {
        platform::File file;
        if (!file.Open(c.path, platform::File::Mode::Read) || (offset > 0 && !file.Seek(offset))) return false;
        if (!c.counted) {
            c.counted = true;
            ++counters_.fromDisk;
        }
        std::uint64_t h = 0;
        std::int64_t left = count;
        while (left > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, kChunk));
            std::size_t got = 0;
            while (got < want) {
                const std::int64_t n = file.Read(buffer_.data() + got, want - got);
                if (n < 0) return false;
                if (n == 0) return false;  // shorter than listed
                got += static_cast<std::size_t>(n);
            }
            h = hashFn.load()(buffer_.data(), got, h);
            left -= static_cast<std::int64_t>(got);
            if (left > 0 && !model_.WaitWhilePaused()) return false;
        }
        hash = h;
        return true;
    }

    // Splits idx (indices into run) by key, keeping the run order in each part.
    template <typename Key>
    static std::vector<std::vector<int>> SplitBy(const std::vector<Candidate>& run, const std::vector<int>& idx,
                                                 Key key) {
        std::vector<int> sorted = idx;
        std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) { return key(run[a]) < key(run[b]); });
        std::vector<std::vector<int>> parts;
        for (std::size_t i = 0; i < sorted.size();) {
            std::size_t j = i + 1;
            while (j < sorted.size() && key(run[sorted[j]]) == key(run[sorted[i]])) ++j;
            parts.emplace_back(sorted.begin() + static_cast<std::ptrdiff_t>(i),
                               sorted.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
        return parts;
    }

    bool FromContents(std::vector<Candidate>& run, std::int64_t size) {
        const std::int64_t head = std::min<std::int64_t>(size, kFirstBlock);
        std::vector<int> readable;
        for (std::size_t i = 0; i < run.size(); ++i) {
            Candidate& c = run[i];
            if (model_.StopRequested() || !model_.WaitWhilePaused()) return false;
            if (c.readable && !HashFile(c, 0, head, c.head)) c.readable = false;
            if (c.readable) readable.push_back(static_cast<int>(i));
        }
        if (model_.StopRequested()) return false;
        for (const auto& byHead : SplitBy(run, readable, [](const Candidate& c) { return c.head; })) {
            if (byHead.size() < 2) continue;
            // A few files are compared together block by block, each read once;
            // more are hashed to the end first.
            if (size > head && static_cast<int>(byHead.size()) <= lockstepLimit.load()) {
                if (!Lockstep(run, byHead, size)) return false;
                continue;
            }
            std::vector<std::vector<int>> buckets;
            if (byHead.size() == 2 || size <= head) {
                buckets.push_back(byHead);
            } else {
                std::vector<int> hashed;
                for (int i : byHead) {
                    if (model_.StopRequested()) return false;
                    if (HashFile(run[i], head, size - head, run[i].rest))
                        hashed.push_back(i);
                    else
                        run[i].readable = false;
                }
                if (model_.StopRequested()) return false;
                buckets = SplitBy(run, hashed, [](const Candidate& c) { return c.rest; });
            }
            for (const auto& bucket : buckets)
                if (bucket.size() >= 2 && !Confirm(run, bucket)) return false;
        }
        StoreVerdicts(run);
        return true;
    }

    // Reads the files of the bucket side by side, from the start (equal first
    // block hashes prove nothing), and splits them wherever a block differs
    // from its part's first file's block.
    bool Lockstep(std::vector<Candidate>& run, const std::vector<int>& bucket, std::int64_t size) {
        std::vector<std::unique_ptr<platform::File>> files(bucket.size());
        std::vector<std::vector<char>> blocks(bucket.size());
        std::vector<std::vector<int>> parts;  // indices into bucket
        std::vector<int> open;
        for (std::size_t m = 0; m < bucket.size(); ++m) {
            files[m] = std::make_unique<platform::File>();
            if (files[m]->Open(run[bucket[m]].path, platform::File::Mode::Read)) {
                open.push_back(static_cast<int>(m));
                blocks[m].resize(kLockstepChunk);
            } else {
                run[bucket[m]].readable = false;
            }
        }
        if (open.size() >= 2) parts.push_back(open);
        std::int64_t done = 0;
        while (!parts.empty() && done < size) {
            if (model_.StopRequested() || !model_.WaitWhilePaused()) return false;
            const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(size - done, kLockstepChunk));
            std::vector<std::vector<int>> next;
            for (const auto& part : parts) {
                std::vector<int> readable;
                for (int m : part) {
                    std::size_t got = 0;
                    while (got < want) {
                        const std::int64_t n = files[m]->Read(blocks[m].data() + got, want - got);
                        if (n <= 0) break;
                        got += static_cast<std::size_t>(n);
                    }
                    if (got == want)
                        readable.push_back(m);
                    else
                        run[bucket[m]].readable = false;
                }
                std::vector<std::vector<int>> split;
                for (int m : readable) {
                    auto same = std::find_if(split.begin(), split.end(), [&](const std::vector<int>& s) {
                        return std::memcmp(blocks[s.front()].data(), blocks[m].data(), want) == 0;
                    });
                    if (same == split.end())
                        split.push_back({m});
                    else
                        same->push_back(m);
                }
                for (auto& s : split)
                    if (s.size() >= 2) next.push_back(std::move(s));
            }
            parts = std::move(next);
            done += static_cast<std::int64_t>(want);
        }
        for (const auto& part : parts)
            for (int m : part) run[bucket[m]].first = bucket[part.front()];
        return true;
    }

    // Each member joins the first earlier leader it equals byte for byte, or
    // leads a class of its own.
    bool Confirm(std::vector<Candidate>& run, const std::vector<int>& bucket) {
        std::vector<int> leaders{bucket[0]};
        for (std::size_t m = 1; m < bucket.size(); ++m) {
            Candidate& member = run[bucket[m]];
            bool placed = false;
            for (int leader : leaders) {
                if (!run[leader].readable) continue;
                const TFileCompareResult verdict = comparer_.CompareContents(run[leader].path, member.path);
                if (!member.counted) {
                    member.counted = true;
                    ++counters_.fromDisk;
                }
                if (verdict == FC_CANCELLED) return false;
                if (verdict == FC_IDENTICAL) {
                    member.first = leader;
                    placed = true;
                    break;
                }
                if (verdict != FC_LOOSE_COPY) {
                    member.readable = false;
                    placed = true;
                    break;
                }
            }
            if (!placed) leaders.push_back(bucket[m]);
        }
        return true;
    }

    // The verdicts the plain walk would have read: every first member with
    // each of its class, and with every later file not yet in a class.
    void StoreVerdicts(std::vector<Candidate>& run) {
        for (std::size_t i = 0; i < run.size(); ++i)
            if (run[i].first < 0 || !run[i].readable) run[i].first = static_cast<int>(i);
        std::vector<std::string> fileKeys(run.size());
        for (std::size_t i = 0; i < run.size(); ++i) fileKeys[i] = run[i].cacheKey;
        std::vector<std::pair<int, int>> same, different;
        for (std::size_t a = 0; a < run.size(); ++a) {
            if (run[a].first != static_cast<int>(a) || !run[a].readable) continue;
            for (std::size_t b = a + 1; b < run.size(); ++b) {
                if (!run[b].readable || run[b].first < static_cast<int>(a)) continue;
                (run[b].first == static_cast<int>(a) ? same : different)
                    .emplace_back(static_cast<int>(a), static_cast<int>(b));
            }
        }
        cache_.StorePairs(fileKeys, same, FC_IDENTICAL);
        cache_.StorePairs(fileKeys, different, FC_LOOSE_COPY);
    }

    ScanModel& model_;
    TCompareCache& cache_;
    TDuplicateCounters& counters_;
    FileContentComparer& comparer_;
    std::vector<char>& buffer_;
};

}  // namespace

namespace test_hooks {
void SetDuplicateHash(std::uint64_t (*hash)(const void* data, std::size_t size, std::uint64_t seed)) {
    hashFn = hash ? hash : &XxHash;
}
void SetDuplicateLockstepLimit(int files) { lockstepLimit = files < 0 ? kLockstepLimit : files; }
}  // namespace test_hooks

bool TDuplicateFinder::FindDuplicates() {
    cache_.Load([this](const std::string& text) { model_.ProgressText.SetText(text); });
    Counters = {};
    FoundGroups.Clear();
    if (duplicateFilesLVItems.Empty()) return true;
    for (const auto& entry : Entries) {
        entry->Processed = false;
        entry->DuplicateGroupId = 0;
    }
    model_.ProgressText.SetText("Processing");

    const std::vector<int>& index = duplicateFilesLVItems.Items();
    const std::size_t n = index.size();
    std::vector<int> firstOf(Entries.size(), -1);  // position of each searched entry's first member
    std::vector<char> buffer(kChunk);
    FileContentComparer comparer(model_);
    RunSearch search(model_, cache_, Counters, comparer, buffer);
    bool stopped = false;
    std::size_t nextProgress = 0;
    for (std::size_t i = 0; i < n && !stopped;) {
        const std::int64_t size = Entry(index[i]).Size;
        std::size_t j = i + 1;
        while (j < n && Entry(index[j]).Size == size) ++j;
        if (i >= nextProgress) {
            model_.ProgressText.SetText("Processing file " + FormatCount(static_cast<double>(i + 1)) + " of " +
                                        FormatCount(static_cast<double>(n)));
            nextProgress = (i / 100 + 1) * 100;
        }
        if (model_.StopRequested() || !model_.WaitWhilePaused()) {
            stopped = true;
            break;
        }
        if (size == 0) {
            i = j;
            continue;
        }
        if (j - i == 1) {
            Entry(index[i]).Checksum.clear();
            firstOf[static_cast<std::size_t>(index[i])] = index[i];
            i = j;
            continue;
        }
        std::vector<Candidate> run(j - i);
        for (std::size_t k = i; k < j; ++k) {
            run[k - i].position = index[k];
            run[k - i].path = Entry(index[k]).FullFileName();
        }
        if (!search.Search(run, size)) {
            stopped = true;
            break;
        }
        // Keys as the walk leaves them: a member carries its first file's
        // key; a first file its own while a later file was left to compare.
        for (std::size_t a = 0; a < run.size(); ++a) {
            TFileEntryDuplicates& entry = Entry(run[a].position);
            const int first = run[a].first;
            firstOf[static_cast<std::size_t>(run[a].position)] = run[static_cast<std::size_t>(first)].position;
            if (first != static_cast<int>(a)) {
                entry.Checksum = DuplicateGroupKey(Entry(run[static_cast<std::size_t>(first)].position));
                continue;
            }
            bool laterLeft = false;
            for (std::size_t b = a + 1; b < run.size() && !laterLeft; ++b)
                laterLeft = run[b].first >= static_cast<int>(a);
            entry.Checksum = laterLeft ? DuplicateGroupKey(entry) : std::string();
        }
        // The size's groups are whole now: a window may show them.
        FoundGroups.AddRun(
            run, [](const Candidate& c) { return c.position; }, [](const Candidate& c) { return c.first; });
        i = j;
    }

    // Group numbers in the order of the first members in the index list.
    std::vector<int> members(Entries.size(), 0);
    for (int p : index)
        if (firstOf[static_cast<std::size_t>(p)] >= 0)
            ++members[static_cast<std::size_t>(firstOf[static_cast<std::size_t>(p)])];
    std::vector<int> groupOf(Entries.size(), 0);
    int next = kFirstGroupId - 1;
    for (int p : index) {
        const auto at = static_cast<std::size_t>(p);
        if (firstOf[at] == p && members[at] >= 2) groupOf[at] = ++next;
    }
    for (int p : index) {
        const auto at = static_cast<std::size_t>(p);
        if (firstOf[at] < 0 || members[static_cast<std::size_t>(firstOf[at])] < 2) continue;
        Entry(p).DuplicateGroupId = groupOf[static_cast<std::size_t>(firstOf[at])];
        Entry(p).Processed = true;
    }
    return !stopped;
}

}  // namespace tandrel
