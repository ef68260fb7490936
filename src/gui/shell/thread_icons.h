#pragma once
// The one icon fetcher of the process. Paint handlers ask it for the icon of
// a path and never wait: it answers from its cache, or queues the path and
// returns none. Its own thread works out the path's kind (which may touch a
// slow disk) and the icon names of that kind from the MIME database, once
// per kind, and after each drained batch asks the window's thread to repaint.
// The icon itself is made on the window's thread, the only one where pixmaps
// may be made.
//
// Three locks, never nested: the queue lock, the cache lock and the link lock
// (the per-path kinds). The thread holds none of them during a file system
// or MIME call.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "common/stop_token.h"
#include "common/worker_thread.h"
#include "gui/widgets/list_view_ex.h"

namespace tandrel {

// What the icon of a kind is made from: the theme names of its MIME type,
// and whether a folder picture stands in when no theme has them.
struct TIconNames {
    QString name;         // the type's own icon ("text-plain")
    QString genericName;  // its family's ("text-x-generic")
    bool folder = false;
};

struct TIconRecord {
    std::string extension;  // the key
    TIconNames names;
    QIcon icon;  // made on the window's thread at its first use
};

// The icon names of a key from the MIME database, which never opens the
// file: "folder" is a folder; a path key is an executable, or a link that
// leads nowhere, which gets the type its name gives; an extension gives the
// type of a file with that extension. Safe on any thread.
TIconNames IconNamesForKey(const std::string& key);

class TThreadIcons : public TWorkerThread {
public:
    // Starts at once. The fetcher stops, and every lookup returns none, when
    // stop's AppClosing is set (or the fetcher is destroyed). callbackProc
    // runs on the creating thread after each batch. Made on the window's
    // thread; it also settles the icon theme when the platform gave none.
    TThreadIcons(const TStopToken& stop, std::function<void()> callbackProc);
    ~TThreadIcons() override;

    // The icon of a path, or a null icon. Without force (paint handlers) it
    // never waits: a kind not seen yet queues the path. With force the kind
    // is looked up at once. Window's thread only.
    QIcon GetIconForFile(const std::string& path, bool force = false);
    // Forgets every queued path.
    void ResetQueue();

    // Small folder icon of the theme (a standard picture without one).
    QIcon folderIcon;
    // Optional list repainted after each batch as well.
    QPointer<TListViewEx> callbackLv;
    std::function<void()> callbackProc;
    // Paint-time lookups key by the name alone (no file system call).
    bool EnableHeuristics = true;

    // MIME lookups made so far: one per distinct key.
    int MimeLookups() const { return lookups_.load(); }
    int QueuedCount();
    int CachedCount();

protected:
    void Execute() override;
    std::string ErrorPrefix() const override { return "1: "; }

private:
    bool Closing() const { return stop_.AppClosing.load() || terminated_.load(); }
    // The key of a path from the per-path index, the name or the file system.
    std::string KeyOf(const std::string& path, bool forced);
    // On the thread: the key's names into the cache unless they are there.
    void FetchForced(const std::string& path);
    // Names of a key not in the cache yet; counts the lookup.
    TIconNames LookUp(const std::string& key);
    void HandOffRepaint();

    const TStopToken& stop_;
    std::atomic<bool> terminated_{false};
    std::atomic<int> lookups_{0};

    std::mutex queueLock_;
    std::mutex cacheLock_;
    std::mutex linkLock_;
    std::set<std::string> iconsQueueSl;  // sorted, no duplicates
    std::unordered_map<std::string, TIconRecord> iconsDict;
    // Per path, its key where the name alone would give another one (a
    // folder, a link, an executable); every other path needs no entry.
    std::unordered_map<std::string, std::string> linkTargetsAr;

    // Wakes the idle wait when the fetcher is destroyed.
    std::mutex idleLock_;
    std::condition_variable idle_;

    // Lives on the window's thread: the queued repaints go to it, and those
    // still pending die with it.
    QObject receiver_;
};

// The fetcher paint handlers ask; null before the main window made it and
// after it went. Window's thread only.
TThreadIcons* ThreadIcons();
void SetThreadIcons(TThreadIcons* fetcher);

namespace test_hooks {
enum class IconBatchPoint {
    Start,     // paths are queued, none taken yet
    HandedOff  // the batch is drained and its repaint handed to the window
};
// Runs on the fetcher's thread at these points of every batch; a test holds
// the fetcher there (to queue all it wants first, or to close the window
// while a repaint is pending).
void SetIconBatchHook(std::function<void(IconBatchPoint)> hook);
}  // namespace test_hooks

}  // namespace tandrel
