// The two comparison cache files (identical pairs, different pairs): the
// input's halves become the files, the cache loads them, and a verdict stored
// afterwards must be found again, before and after a save and reload.
#include <algorithm>

#include "compare/compare_cache.h"
#include "fuzz_support.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string identical = fuzz::FuzzPath("compare_T_identical.ini");
    static const std::string different = fuzz::FuzzPath("compare_T_loose.ini");
    const std::string_view bytes = fuzz::Bytes(data, size);
    fuzz::WriteInput(identical, bytes.substr(0, size / 2));
    fuzz::WriteInput(different, bytes.substr(size / 2));

    TCompareCache cache(identical, different);
    cache.Load();
    FUZZ_CHECK(cache.IdenticalCount() >= 0 && cache.DifferentCount() >= 0);

    // A pair named by the input's first bytes, so the key lands among the loaded ones.
    // No path holds a NUL.
    std::string name(bytes.substr(0, std::min<std::size_t>(size, 40)));
    std::replace(name.begin(), name.end(), '\0', '_');
    const TComparePairKeys pair = MakePairKeysAt("/a/" + name, 45000.5, "/b/" + name, 45001.25);
    const TComparePairKeys other = MakePairKeysAt("/c/" + name, 45000.5, "/d/" + name, 45001.25);
    cache.Store(pair, FC_IDENTICAL);
    FUZZ_CHECK(cache.Lookup(pair) == FC_IDENTICAL);
    cache.StoreMany({other}, FC_LOOSE_COPY);
    FUZZ_CHECK(cache.Lookup(other) != FC_CACHE_MISS);
    FUZZ_CHECK(cache.Save());

    TCompareCache reloaded(identical, different);
    FUZZ_CHECK(reloaded.Lookup(pair) == FC_IDENTICAL);
    FUZZ_CHECK(reloaded.Lookup(other) != FC_CACHE_MISS);
    return 0;
}
