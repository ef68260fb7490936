// The header of a snapshot as the snapshot list reads it.
#include "fuzz_support.h"
#include "scan/snapshot_details.h"
#include "scan/snapshot_file.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string file = fuzz::FuzzPath("header.snapshot");
    fuzz::WriteInput(file, fuzz::Bytes(data, size));
    ReadExtendedVolumeHeader(file);
    static ScanModel model;
    model.SnapshotDetailsCache.clear();
    GetSnapshotDetails(model, file);
    return 0;
}
