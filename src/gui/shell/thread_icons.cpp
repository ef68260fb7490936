#include "gui/shell/thread_icons.h"

#include <pthread.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>
#include <QStyle>
#include <QThread>
#include <chrono>
#include <exception>
#include <utility>

#include "common/messages.h"
#include "gui/shell/icon_key.h"

namespace tandrel {

namespace {

constexpr auto kIdlePoll = std::chrono::milliseconds(100);

TThreadIcons* g_fetcher = nullptr;

std::mutex g_hookLock;
std::function<void(test_hooks::IconBatchPoint)> g_batchHook;

void RunBatchHook(test_hooks::IconBatchPoint point) {
    std::function<void(test_hooks::IconBatchPoint)> hook;
    {
        std::lock_guard lock(g_hookLock);
        hook = g_batchHook;
    }
    if (hook) hook(point);
}

QString QPath(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

// A theme that draws file types: the offscreen platform names no theme and
// no folders, and a bare X server only "hicolor", which has no file types.
void SettleIconTheme() {
    static bool settled = false;
    if (settled) return;
    settled = true;
    const QString probe = QStringLiteral("text-x-generic");
    if (QIcon::hasThemeIcon(probe)) return;
    QStringList paths = QIcon::themeSearchPaths();
    QStringList dataDirs = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString& dir : dataDirs) {
        const QString icons = dir + QStringLiteral("/icons");
        if (!paths.contains(icons) && QFileInfo(icons).isDir()) paths << icons;
    }
    QIcon::setThemeSearchPaths(paths);
    const QString before = QIcon::themeName();
    if (!before.isEmpty() && QIcon::hasThemeIcon(probe)) return;
    QStringList candidates = {QStringLiteral("Adwaita"), QStringLiteral("breeze"), QStringLiteral("gnome"),
                              QStringLiteral("oxygen"), QStringLiteral("Tango")};
    for (const QString& dir : paths)
        for (const QString& theme : QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            if (!candidates.contains(theme) && QFileInfo(dir + '/' + theme + QStringLiteral("/index.theme")).exists())
                candidates << theme;
    for (const QString& theme : candidates) {
        QIcon::setThemeName(theme);
        if (QIcon::hasThemeIcon(probe)) return;
    }
    QIcon::setThemeName(before);  // none found: the standard pictures stand in
}

QIcon MakeIcon(const TIconNames& names) {
    for (const QString& name : {names.name, names.genericName})
        if (!name.isEmpty() && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return QApplication::style()->standardIcon(names.folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
}

bool OnThreadOf(const QObject& object) { return QThread::currentThread() == object.thread(); }

}  // namespace

TIconNames IconNamesForKey(const std::string& key) {
    static const QMimeDatabase database;
    QMimeType type;
    TIconNames names;
    if (key == kFolderIconKey) {
        type = database.mimeTypeForName(QStringLiteral("inode/directory"));
        names.folder = true;
    } else if (IconKeyIsPath(key) && !QFileInfo(QPath(key)).isSymLink()) {
        type = database.mimeTypeForName(QStringLiteral("application/x-executable"));
    } else {
        // A dangling link's path, or an extension: the type its name gives.
        const std::string name = IconKeyIsPath(key) ? key : "file" + key;
        type = database.mimeTypeForFile(QPath(name), QMimeDatabase::MatchExtension);
    }
    names.name = type.iconName();
    names.genericName = type.genericIconName();
    return names;
}

TThreadIcons::TThreadIcons(const TStopToken& stop, std::function<void()> callback)
    : callbackProc(std::move(callback)), stop_(stop) {
    SettleIconTheme();
    TIconNames folder;
    folder.name = QStringLiteral("folder");
    folder.folder = true;
    folderIcon = MakeIcon(folder);
    Start();
}

TThreadIcons::~TThreadIcons() {
    if (g_fetcher == this) g_fetcher = nullptr;
    {
        std::lock_guard lock(idleLock_);
        terminated_ = true;
    }
    idle_.notify_all();
    WaitFor();
}

int TThreadIcons::QueuedCount() {
    std::lock_guard lock(queueLock_);
    return static_cast<int>(iconsQueueSl.size());
}

int TThreadIcons::CachedCount() {
    std::lock_guard lock(cacheLock_);
    return static_cast<int>(iconsDict.size());
}

void TThreadIcons::ResetQueue() {
    std::lock_guard lock(queueLock_);
    iconsQueueSl.clear();
}

std::string TThreadIcons::KeyOf(const std::string& path, bool forced) {
    {
        std::lock_guard lock(linkLock_);
        if (auto known = linkTargetsAr.find(path); known != linkTargetsAr.end()) return known->second;
    }
    const std::string byName = PaintIconKey(path);
    if (!forced && EnableHeuristics) return byName;
    std::string key = ForcedIconKey(path);
    if (key != byName) {
        std::lock_guard lock(linkLock_);
        linkTargetsAr.emplace(path, key);
    }
    return key;
}

TIconNames TThreadIcons::LookUp(const std::string& key) {
    ++lookups_;
    return IconNamesForKey(key);
}

QIcon TThreadIcons::GetIconForFile(const std::string& path, bool force) {
    if (Closing() || !OnThreadOf(receiver_)) return {};
    try {
        const std::string key = KeyOf(path, force);
        TIconNames names;
        bool known = false;
        {
            std::lock_guard lock(cacheLock_);
            if (auto hit = iconsDict.find(key); hit != iconsDict.end()) {
                if (!hit->second.icon.isNull()) return hit->second.icon;
                names = hit->second.names;
                known = true;
            }
        }
        if (!known && !force) {
            std::lock_guard lock(queueLock_);
            iconsQueueSl.insert(path);
            return {};
        }
        if (!known) names = LookUp(key);
        // Made outside the lock: only this thread makes icons, the fetcher
        // only adds records.
        QIcon icon = MakeIcon(names);
        std::lock_guard lock(cacheLock_);
        TIconRecord& record = iconsDict[key];
        if (!known) record = TIconRecord{key, names, {}};
        record.icon = icon;
        return icon;
    } catch (const std::exception& e) {
        if (force) GetMessages().ShowMessage(MessageKind::Info, std::string("2: ") + e.what());
        return {};
    }
}

void TThreadIcons::FetchForced(const std::string& path) {
    if (Closing()) return;
    const std::string key = KeyOf(path, true);
    {
        std::lock_guard lock(cacheLock_);
        if (iconsDict.count(key)) return;
    }
    TIconNames names = LookUp(key);
    std::lock_guard lock(cacheLock_);
    iconsDict.emplace(key, TIconRecord{key, std::move(names), {}});
}

void TThreadIcons::Execute() {
    pthread_setname_np(pthread_self(), "TThreadIcons");  // for debuggers and top
    while (!Closing()) {
        if (QueuedCount() == 0) {
            std::unique_lock lock(idleLock_);
            idle_.wait_for(lock, kIdlePoll, [this] { return terminated_.load(); });
            continue;
        }
        RunBatchHook(test_hooks::IconBatchPoint::Start);
        while (!Closing()) {
            std::string path;
            {
                std::lock_guard lock(queueLock_);
                if (iconsQueueSl.empty()) break;
                path = std::move(iconsQueueSl.extract(iconsQueueSl.begin()).value());
            }
            try {
                FetchForced(path);
            } catch (const std::exception& e) {
                GetMessages().ShowMessage(MessageKind::Info, std::string("1: ") + e.what());
            }
        }
        if (Closing()) break;
        HandOffRepaint();
        RunBatchHook(test_hooks::IconBatchPoint::HandedOff);
    }
}

void TThreadIcons::HandOffRepaint() {
    // Queued, so the fetcher never waits for the window; a repaint still
    // pending when closing began is dropped.
    QMetaObject::invokeMethod(
        &receiver_,
        [this] {
            if (Closing()) return;
            if (callbackLv) callbackLv->Invalidate();
            if (callbackProc) callbackProc();
        },
        Qt::QueuedConnection);
}

TThreadIcons* ThreadIcons() { return g_fetcher; }

void SetThreadIcons(TThreadIcons* fetcher) { g_fetcher = fetcher; }

namespace test_hooks {
void SetIconBatchHook(std::function<void(IconBatchPoint)> hook) {
    std::lock_guard lock(g_hookLock);
    g_batchHook = std::move(hook);
}
}  // namespace test_hooks

}  // namespace tandrel
