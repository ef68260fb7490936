#pragma once
// The settings store of the main window: persists a list of control
// properties ("componentName.Property") into the settings file and the
// window's position and size into the session file, both in the
// application settings folder.
#include <QObject>
#include <functional>
#include <string>

#include "common/types.h"
#include "gui/shell/settings_file.h"

class QEvent;
class QWidget;

namespace tandrel {

class TBrenixProject : public QObject {
    Q_OBJECT

public:
    // The owner must be a top-level window; the store watches its first show
    // (load the settings and the geometry) and its close (save the geometry).
    // exeFileName names the files ("tandrel" -> "tandrel.ini"); empty means
    // the running executable's file name.
    explicit TBrenixProject(QWidget* owner, const std::string& exeFileName = {});

    // The entries to persist, "componentName.Property", in file order.
    TStringList PropertiesList;
    std::string ProjectFn;    // settings file path
    std::string ProjectName;  // its name without folder and extension
    // When false nothing is written: neither at close nor by a save.
    bool Active = true;
    // Values changed since the last load or save (set by the window).
    bool Modified = false;
    // The settings file's modification time at the last load or save.
    TDateTime LastLoadedFileDt = 0;
    // Window geometry kept in the session file.
    bool SaveFormSize = true;
    // One settings file per executable, opened at the first show.
    bool SingleProjectMode = true;

    // After the values have been applied.
    std::function<void()> OnProjectLoad;
    // Before the values are collected for a save.
    std::function<void()> OnProjectBeforeSave;
    // After a save.
    std::function<void()> OnProjectSave;
    // When the settings file does not exist yet.
    std::function<void()> OnSetProjectDefaultValues;

    const std::string& ProjectExtension() const { return projectExtension_; }
    // A value without a leading "." gets one.
    void SetProjectExtension(const std::string& extension);
    // The save dialog's filter ("Projects|*.ini"): a text without "|" is a
    // description, completed with the extension.
    std::string Filter() const;
    void SetFilter(const std::string& filter) { filter_ = filter; }

    const std::string& SettingsFile() const { return settingsFn_; }
    const std::string& SessionFile() const { return sessionFn_; }

    // Opens the settings file of the executable and applies it, then the
    // window geometry. Runs once, at the first show.
    void SetupSingleProject();
    // Reads the file (the extension added when missing, a relative name taken
    // inside the settings folder) and applies every entry found in it.
    void OpenProject(const std::string& fileName);
    // Collects the values and writes the settings file; asks for a file name
    // when there is none. False when nothing was written.
    bool SaveProjectX();
    bool SaveSettingsX() { return SaveProjectX(); }
    // Re-reads and applies the settings file when it exists.
    bool ReloadProject();
    // The current values differ from the settings file.
    bool IsProjectChanged();
    // The settings file was written by someone else since the last load or save.
    bool ProjectModifiedExternally() const;

    void FormSize_Load();
    void FormSize_Save();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MergeLegacyGeometry();
    // Header and value of every entry that can be read.
    TStringList CollectValues(bool report);
    void ApplyValues(const TStringList& lines);
    bool AskProjectFile();

    QWidget* owner_ = nullptr;
    SettingsFileNames names_;
    std::string settingsFn_;
    std::string sessionFn_;
    std::string projectExtension_ = ".ini";
    std::string filter_ = "Projects";
    bool formInitialized_ = false;
    bool setSingleProjectInitialized_ = false;
    // The settings file existed at the last load but could not be read: it
    // still holds the user's values, which a save would replace with defaults.
    bool unreadableAtLoad_ = false;
};

}  // namespace tandrel
