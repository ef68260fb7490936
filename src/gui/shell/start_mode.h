#pragma once
// Which way the desktop program was started: an ordinary run, or one of the
// command-line modes (compare two files, compare two folders, scan a folder
// and possibly save its snapshot and exit). Decided from the parameters
// stored with SetCommandLineArgs; no window is needed to decide.
#include <string>

namespace tandrel {

enum class StartMode { Ordinary, FileCompare, FolderCompare, FolderScan, SnapshotCompare, Duplicates };

struct StartRequest {
    StartMode mode = StartMode::Ordinary;
    std::string a;             // first file or folder; the list of full paths for Duplicates
    std::string b;             // second file or folder
    bool showTreemap = false;  // the switch "treemap"
    // Folder scan only: the snapshot to write before exiting, with its date
    // placeholders expanded; empty for an interactive scan.
    std::string autoSaveFn;
    // A first parameter naming a snapshot: loaded into the treemap in an
    // ordinary run, the left side of a snapshot-against-folder comparison.
    std::string snapshot;
};

// Throws TandrelError ("invalid date ...") when the snapshot target needs a
// date and the option "date" is malformed.
StartRequest DecideStartMode();

}  // namespace tandrel
