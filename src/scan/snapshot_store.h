#pragma once
// Where snapshots live: the temporary snapshot of every live scan, saving it
// under a permanent name, finding snapshots by bare name and cleaning up.
#include <string>

#include "scan/scan_model.h"

namespace tandrel {

// folder + the root path made file-name safe + "_" + "yyyymmdd_hhnnss_zzz"
// of now + ".temp_snapshot", with "__" in the name collapsed to "_".
std::string TempSnapshotFileName(const std::string& folder, const std::string& rootPath);

// Writes the body of the last live scan (model.SnapshotLines) with its header
// as the temporary snapshot of rootPath, replacing the one recorded before.
// On success the file is recorded in model.TempSnapshotFn; a failure is
// silent. The lines are taken in any case.
void SaveTempSnapshot(ScanModel& model, const std::string& rootPath);

// Moves the temporary snapshot to targetName (".snapshot" added when
// missing; a bare name goes into the settings folder; made unique) with the
// file's name as description. automatic: no "Snapshot saved" notification.
// False, after a message, when nothing was saved.
bool SaveSnapshot(ScanModel& model, std::string targetName, bool automatic);

// At shutdown: the recorded temporary snapshot, and, unless another process
// of this program runs, every "*.temp_snapshot" in the settings folder.
void DeleteTempSnapshots(ScanModel& model);
// The same, told whether another process of this program runs (it may still
// need its temporary snapshots, so only our own is deleted then).
void DeleteTempSnapshots(ScanModel& model, bool anotherInstanceRuns);
// True when another process runs the same executable file as this one.
bool AnotherInstanceRuns();

// A bare file name that does not exist as given is looked for in the
// snapshots folder, then in the settings folder; otherwise name unchanged.
std::string ResolveSnapshotPath(ScanModel& model, const std::string& name);

}  // namespace tandrel
