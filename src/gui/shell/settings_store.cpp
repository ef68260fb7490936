#include "gui/shell/settings_store.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSpinBox>
#include <QTableView>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidget>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

#include "common/app_folders.h"
#include "common/compare.h"
#include "common/date_time.h"
#include "common/files.h"
#include "common/messages.h"
#include "common/paths.h"
#include "common/split.h"
#include "common/strings.h"
#include "common/text_file.h"
#include "gui/widgets/radio_group.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

enum class Property { Text, ItemIndex, Checked, Items, Lines, Date, Value, Left, Top, Width, Height, Columns };

std::optional<Property> PropertyNamed(std::string_view name) {
    static constexpr std::pair<std::string_view, Property> kNames[] = {
        {"Text", Property::Text},   {"ItemIndex", Property::ItemIndex}, {"Checked", Property::Checked},
        {"Items", Property::Items}, {"Lines", Property::Lines},         {"Date", Property::Date},
        {"Value", Property::Value}, {"Left", Property::Left},           {"Top", Property::Top},
        {"Width", Property::Width}, {"Height", Property::Height},       {"Columns", Property::Columns},
    };
    for (const auto& [text, property] : kNames)
        if (text == name) return property;
    return std::nullopt;
}

// "component.Property" split in its two parts; nothing for blank or malformed entries.
struct Entry {
    std::string text, component, property;
};
std::optional<Entry> ParseEntry(const std::string& entry) {
    std::string text = Trim(entry);
    if (text.empty()) return std::nullopt;
    std::vector<std::string> parts = SplitString(text, ".", false);
    if (parts.size() != 2 || parts[0].empty() || parts[1].empty()) return std::nullopt;
    return Entry{text, parts[0], parts[1]};
}

void Report(const std::string& text) { GetMessages().ShowMessage(MessageKind::Info, text); }

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
std::string S(const QString& text) { return text.toStdString(); }

QStringList ToLines(std::string_view value) {
    QStringList result;
    for (const auto& line : TextToLines(value)) result << Q(line);
    return result;
}
std::string FromLines(const QStringList& lines) { return S(lines.join(QStringLiteral("\r\n"))); }

int ToInt(std::string_view text, int fallback) {
    std::int64_t value = 0;
    if (!TryStrToInt64(text, value) || value < INT32_MIN || value > INT32_MAX) return fallback;
    return static_cast<int>(value);
}

double ToDouble(std::string_view value) {
    std::string text = Trim(value);
    // A comma stands for the point in files written under a comma locale.
    if (text.find('.') == std::string::npos) text = ReplaceAll(text, ",", ".");
    if (!text.empty() && text.front() == '+') text.erase(0, 1);
    double result = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(result)) return 0;
    return result;
}

std::string FormatValue(double value) {
    char buffer[400];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 5);
    return error == std::errc() ? std::string(buffer, end) : std::string("0.00000");
}

std::string FormatDate(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    TDateTime result = 0;
    if (!TryEncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec(), result)) return {};
    return FormatDateTimeMs(result);
}

// Milliseconds of "...hh:nn:ss.zzz" (the date reader stops at the seconds).
int Milliseconds(std::string_view text) {
    const std::size_t dot = text.rfind('.');
    if (dot == std::string_view::npos || dot < 3 || text[dot - 3] != ':') return 0;
    int result = 0, digits = 0;
    for (std::size_t i = dot + 1; i < text.size() && digits < 3 && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
        result = result * 10 + (text[i] - '0');
    for (; digits < 3; ++digits) result *= 10;
    return result;
}

QDateTime ParseDate(std::string_view value) {
    const std::string text = Trim(value);
    TDateTime parsed = 0;
    if (!TryParseIsoDateTime(text, parsed)) return QDateTime(QDate::currentDate(), QTime(0, 0));
    platform::CalendarFields f = DecodeDateTime(parsed);
    f.millisecond = Milliseconds(text);
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second, f.millisecond));
}

QHeaderView* ColumnsHeader(QObject* component) {
    if (auto* tree = qobject_cast<QTreeView*>(component)) return tree->header();
    if (auto* table = qobject_cast<QTableView*>(component)) return table->horizontalHeader();
    return nullptr;
}

// A list-view row: "<checked>1<caption>Name<FF>sub item<FF>sub item".
std::string ListViewLine(const QTreeWidgetItem* item) {
    std::string line = "<checked>";
    line += item->checkState(0) == Qt::Checked ? "1" : "0";
    line += "<caption>" + S(item->text(0));
    for (int column = 1; column < item->columnCount(); ++column) line += "<FF>" + S(item->text(column));
    return line;
}

QTreeWidgetItem* ListViewItem(const std::string& line) {
    auto* item = new QTreeWidgetItem;
    bool checked = false;
    const std::size_t caption = line.find("<caption>");
    if (caption != std::string::npos) {
        std::string flag = line.substr(0, caption);
        if (StartsWith(flag, "<checked>")) flag.erase(0, 9);
        checked = Trim(flag) == "1";
        std::vector<std::string> texts = SplitString(std::string_view(line).substr(caption + 9), "<FF>", false);
        for (std::size_t column = 0; column < texts.size(); ++column)
            item->setText(static_cast<int>(column), Q(texts[column]));
        if (texts.empty()) item->setText(0, QString());
    } else {
        // Older rows: caption#checked#flag; the third flag is not used any more.
        std::vector<std::string> fields = SplitString(line, "#", false);
        item->setText(0, Q(fields.empty() ? std::string() : fields[0]));
        checked = fields.size() > 1 && Trim(fields[1]) == "1";
    }
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

// The value of one property, or nothing when the control has no such value.
std::optional<std::string> ReadProperty(QObject* component, Property property) {
    auto* widget = qobject_cast<QWidget*>(component);
    switch (property) {
        case Property::Text:
            if (auto* edit = qobject_cast<QLineEdit*>(component)) return Escape(S(edit->text()));
            if (auto* combo = qobject_cast<QComboBox*>(component)) return Escape(S(combo->currentText()));
            if (auto* memo = qobject_cast<QPlainTextEdit*>(component)) return Escape(S(memo->toPlainText()));
            if (auto* memo = qobject_cast<QTextEdit*>(component)) return Escape(S(memo->toPlainText()));
            return std::nullopt;
        case Property::ItemIndex:
            if (auto* combo = qobject_cast<QComboBox*>(component)) return std::to_string(combo->currentIndex());
            if (auto* list = qobject_cast<QListWidget*>(component)) return std::to_string(list->currentRow());
            if (auto* group = qobject_cast<TRadioGroup*>(component)) return std::to_string(group->itemIndex());
            return std::nullopt;
        case Property::Checked:
            if (auto* button = qobject_cast<QAbstractButton*>(component)) return button->isChecked() ? "1" : "0";
            return std::nullopt;
        case Property::Items:
            if (auto* combo = qobject_cast<QComboBox*>(component)) {
                QStringList items;
                for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
                return Escape(FromLines(items));
            }
            if (auto* list = qobject_cast<QListWidget*>(component)) {
                QStringList items;
                for (int i = 0; i < list->count(); ++i) items << list->item(i)->text();
                return Escape(FromLines(items));
            }
            if (auto* view = qobject_cast<QTreeWidget*>(component)) {
                TStringList lines;
                for (int i = 0; i < view->topLevelItemCount(); ++i)
                    lines.push_back(ListViewLine(view->topLevelItem(i)));
                return Escape(LinesToText(lines));
            }
            return std::nullopt;
        case Property::Lines:
            if (auto* memo = qobject_cast<QPlainTextEdit*>(component)) return Escape(S(memo->toPlainText()));
            if (auto* memo = qobject_cast<QTextEdit*>(component)) return Escape(S(memo->toPlainText()));
            return std::nullopt;
        case Property::Date:
            if (auto* edit = qobject_cast<QDateTimeEdit*>(component)) return FormatDate(edit->dateTime());
            return std::nullopt;
        case Property::Value:
            if (auto* spin = qobject_cast<QSpinBox*>(component)) return FormatValue(spin->value());
            if (auto* spin = qobject_cast<QDoubleSpinBox*>(component)) return FormatValue(spin->value());
            return std::nullopt;
        case Property::Left:
            if (widget) return std::to_string(widget->geometry().x());
            return std::nullopt;
        case Property::Top:
            if (widget) return std::to_string(widget->geometry().y());
            return std::nullopt;
        case Property::Width:
            if (widget) return std::to_string(widget->geometry().width());
            return std::nullopt;
        case Property::Height:
            if (widget) return std::to_string(widget->geometry().height());
            return std::nullopt;
        case Property::Columns:
            if (QHeaderView* header = ColumnsHeader(component)) {
                std::string widths;
                for (int i = 0; i < header->count(); ++i) {
                    if (i > 0) widths += ",";
                    widths += std::to_string(header->sectionSize(i));
                }
                return widths;
            }
            return std::nullopt;
    }
    return std::nullopt;
}

void SetGeometryPart(QWidget* widget, Property property, int value) {
    QRect bounds = widget->geometry();
    switch (property) {
        case Property::Left:
            bounds.moveLeft(value);
            break;
        case Property::Top:
            bounds.moveTop(value);
            break;
        case Property::Width:
            bounds.setWidth(value);
            break;
        case Property::Height:
            bounds.setHeight(value);
            break;
        default:
            return;
    }
    widget->setGeometry(bounds);
}

// The lines of a memo control (plain or rich text edit); false for another control.
bool WriteMemoText(QObject* component, const std::string& value) {
    const QString text = ToLines(value).join('\n');
    if (auto* memo = qobject_cast<QPlainTextEdit*>(component)) {
        memo->setPlainText(text);
        return true;
    }
    if (auto* memo = qobject_cast<QTextEdit*>(component)) {
        memo->setPlainText(text);
        return true;
    }
    return false;
}

// Applies one unescaped value; false when the control has no such value.
bool WriteProperty(QObject* component, Property property, const std::string& value) {
    auto* widget = qobject_cast<QWidget*>(component);
    switch (property) {
        case Property::Text:
            if (auto* edit = qobject_cast<QLineEdit*>(component)) {
                edit->setText(Q(value));
                return true;
            }
            if (auto* combo = qobject_cast<QComboBox*>(component)) {
                combo->setCurrentText(Q(value));
                return true;
            }
            return WriteMemoText(component, value);
        case Property::ItemIndex: {
            const int index = ToInt(value, -1);
            if (auto* combo = qobject_cast<QComboBox*>(component)) {
                combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
                return true;
            }
            if (auto* list = qobject_cast<QListWidget*>(component)) {
                list->setCurrentRow(index >= 0 && index < list->count() ? index : -1);
                return true;
            }
            if (auto* group = qobject_cast<TRadioGroup*>(component)) {
                group->setItemIndex(index);
                return true;
            }
            return false;
        }
        case Property::Checked:
            if (auto* button = qobject_cast<QAbstractButton*>(component)) {
                // Restoring a value is not a click: the control's handlers stay quiet.
                const QSignalBlocker quiet(button);
                button->setChecked(value == "1");
                return true;
            }
            return false;
        case Property::Items:
            if (auto* combo = qobject_cast<QComboBox*>(component)) {
                const QString current = combo->currentText();
                const QSignalBlocker quiet(combo);
                combo->clear();
                combo->addItems(ToLines(value));
                if (combo->isEditable())
                    combo->setEditText(current);
                else if (const int found = combo->findText(current); found >= 0)
                    combo->setCurrentIndex(found);
                return true;
            }
            if (auto* list = qobject_cast<QListWidget*>(component)) {
                list->clear();
                list->addItems(ToLines(value));
                return true;
            }
            if (auto* view = qobject_cast<QTreeWidget*>(component)) {
                view->clear();
                for (const auto& line : TextToLines(value)) view->addTopLevelItem(ListViewItem(line));
                return true;
            }
            return false;
        case Property::Lines:
            return WriteMemoText(component, value);
        case Property::Date:
            if (auto* edit = qobject_cast<QDateTimeEdit*>(component)) {
                edit->setDateTime(ParseDate(value));
                return true;
            }
            return false;
        case Property::Value:
            if (auto* spin = qobject_cast<QSpinBox*>(component)) {
                const double number = ToDouble(value);
                spin->setValue(number >= INT32_MAX   ? INT32_MAX
                               : number <= INT32_MIN ? INT32_MIN
                                                     : static_cast<int>(std::lround(number)));
                return true;
            }
            if (auto* spin = qobject_cast<QDoubleSpinBox*>(component)) {
                spin->setValue(ToDouble(value));
                return true;
            }
            return false;
        case Property::Left:
        case Property::Top:
        case Property::Width:
        case Property::Height:
            if (!widget) return false;
            SetGeometryPart(widget, property, ToInt(value, 0));
            return true;
        case Property::Columns:
            if (QHeaderView* header = ColumnsHeader(component)) {
                std::vector<std::string> widths = SplitString(value, ",", true);
                for (std::size_t i = 0; i < widths.size() && static_cast<int>(i) < header->count(); ++i)
                    if (const int width = ToInt(widths[i], 0); width > 0)
                        header->resizeSection(static_cast<int>(i), width);
                return true;
            }
            return false;
    }
    return false;
}

QRect WorkArea(const QWidget* window) {
    QScreen* screen = window->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
}

GeometryRect ToGeometry(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// "Projects|*.ini" -> "Projects (*.ini)" for the file dialog.
QString DialogFilter(const std::string& filter) {
    std::vector<std::string> parts = SplitString(filter, "|", true);
    QStringList filters;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) filters << Q(parts[i] + " (" + parts[i + 1] + ")");
    return filters.join(QStringLiteral(";;"));
}

}  // namespace

TBrenixProject::TBrenixProject(QWidget* owner, const std::string& exeFileName) : QObject(owner), owner_(owner) {
    names_ = SettingsFileNamesFor(exeFileName.empty() ? ExtractFileName(platform::ExecutablePath()) : exeFileName);
    settingsFn_ = AppSettingsFile(names_.settings);
    sessionFn_ = AppSettingsFile(names_.session);
    if (!owner_ || !owner_->isWindow()) {
        Report("project: self.Owner is not TForm");
        owner_ = nullptr;
        return;
    }
    AlignFileNameCase(sessionFn_);
    MergeLegacyGeometry();
    Active = true;
    Modified = false;
    owner_->installEventFilter(this);
}

void TBrenixProject::SetProjectExtension(const std::string& extension) {
    projectExtension_ = extension.empty() || extension.front() == '.' ? extension : "." + extension;
}

std::string TBrenixProject::Filter() const {
    if (Contains(filter_, "|")) return filter_;
    return ReplaceAll(filter_ + "|*." + projectExtension_, "..", ".");
}

void TBrenixProject::MergeLegacyGeometry() {
    const std::string legacy = AppSettingsFile(names_.legacyGeometry);
    if (!platform::FileExists(legacy)) return;
    try {
        TStringList legacyLines = ReadFromFile(legacy);
        TStringList merged;
        auto firstLine = std::find_if(legacyLines.begin(), legacyLines.end(),
                                      [](const std::string& line) { return !Trim(line).empty(); });
        // A legacy file that already starts with the section needs no second header.
        if (firstLine == legacyLines.end() || *firstLine != SectionHeader(kFormGeometrySection))
            merged.push_back(SectionHeader(kFormGeometrySection));
        for (auto& line : legacyLines)
            if (!Trim(line).empty()) merged.push_back(std::move(line));
        for (auto& line : ReadFromFile(sessionFn_)) merged.push_back(std::move(line));
        // The legacy file goes only once its content is safe in the session file.
        if (SaveSettingsLines(merged, sessionFn_))
            platform::DeleteFile(legacy);
        else
            GetMessages().ShowMessage(MessageKind::Error, "Saving to " + sessionFn_ + " FAILED");
    } catch (const std::exception& error) {
        GetMessages().ShowMessage(MessageKind::Error, error.what());
    }
}

void TBrenixProject::SetupSingleProject() {
    if (setSingleProjectInitialized_) {
        Report("setSingleProjectInitialized");
        return;
    }
    setSingleProjectInitialized_ = true;
    SingleProjectMode = true;
    AlignFileNameCase(settingsFn_);
    OpenProject(settingsFn_);
    FormSize_Load();
}

void TBrenixProject::OpenProject(const std::string& fileName) {
    std::string path = fileName;
    if (ExtractFileExt(path).empty()) path += projectExtension_;
    path = AppSettingsFile(path);
    ProjectFn = path;
    ProjectName = ChangeFileExt(ExtractFileName(path), "");
    LastLoadedFileDt = FileModificationTime(path);

    TStringList lines;
    const SettingsRead state = LoadSettingsLines(path, lines);
    unreadableAtLoad_ = state == SettingsRead::Unreadable;
    ApplyLegacyRenames(lines);
    ApplyValues(lines);
    Modified = false;

    if (state == SettingsRead::Missing && OnSetProjectDefaultValues) OnSetProjectDefaultValues();
    if (!ProjectName.empty() && OnProjectLoad) OnProjectLoad();
}

void TBrenixProject::ApplyValues(const TStringList& lines) {
    for (const auto& raw : PropertiesList) {
        std::optional<Entry> entry = ParseEntry(raw);
        if (!entry) continue;
        QObject* component = owner_ ? owner_->findChild<QObject*>(Q(entry->component)) : nullptr;
        if (!component) {
            Report("Component " + entry->component + " not found");
            continue;
        }
        std::optional<Property> property = PropertyNamed(entry->property);
        if (!property) {
            Report("Unknown property: " + entry->property);
            continue;
        }
        if (!ReadProperty(component, *property)) {
            Report("Unknown class for object " + entry->component);
            continue;
        }
        // An entry the file does not hold keeps the control's own value; the
        // test is on the header line, so a value that merely mentions the
        // entry cannot blank it.
        if (!HasSection(lines, entry->text)) continue;
        WriteProperty(component, *property, Unescape(ReadSection(lines, entry->text)));
    }
}

TStringList TBrenixProject::CollectValues(bool report) {
    TStringList lines;
    for (const auto& raw : PropertiesList) {
        std::optional<Entry> entry = ParseEntry(raw);
        if (!entry) continue;
        QObject* component = owner_ ? owner_->findChild<QObject*>(Q(entry->component)) : nullptr;
        if (!component) {
            if (report) Report("Component " + entry->component + " not found");
            continue;
        }
        std::optional<Property> property = PropertyNamed(entry->property);
        if (!property) {
            if (report) Report("Unknown property: " + entry->property);
            continue;
        }
        // Left out rather than written empty: an empty section would blank
        // the control at the next load.
        std::optional<std::string> value = ReadProperty(component, *property);
        if (!value) {
            if (report) Report("Unknown class for object " + entry->component);
            continue;
        }
        AppendSection(lines, entry->text, *value);
    }
    return lines;
}

bool TBrenixProject::AskProjectFile() {
    const QString chosen =
        QFileDialog::getSaveFileName(owner_, QString(), Q(AppSettingsFolder()), DialogFilter(Filter()));
    if (chosen.isEmpty()) return false;
    std::string path = S(chosen);
    if (ExtractFileExt(path).empty()) path += projectExtension_;
    ProjectFn = AppSettingsFile(path);
    ProjectName = ChangeFileExt(ExtractFileName(ProjectFn), "");
    return true;
}

bool TBrenixProject::SaveProjectX() {
    if (!Active) return false;
    if (ProjectFn.empty() && !AskProjectFile()) return false;
    if (unreadableAtLoad_ && platform::FileExists(ProjectFn)) {
        GetMessages().ShowMessage(MessageKind::Error,
                                  "The settings were not saved: " + ProjectFn +
                                      " could not be read when the settings were loaded, and saving now would "
                                      "replace the values it holds.");
        return false;
    }
    if (OnProjectBeforeSave) OnProjectBeforeSave();
    const TStringList lines = CollectValues(true);
    const bool written = SaveSettingsLines(lines, ProjectFn);
    LastLoadedFileDt = FileModificationTime(ProjectFn);
    if (!written || FileSizeOf(ProjectFn) == 0) {
        GetMessages().ShowMessage(MessageKind::Error, "Saving to " + ProjectFn + " FAILED");
        return false;
    }
    Modified = false;
    unreadableAtLoad_ = false;
    if (OnProjectSave) OnProjectSave();
    return true;
}

bool TBrenixProject::ReloadProject() {
    if (ProjectFn.empty() || !platform::FileExists(ProjectFn)) {
        LastLoadedFileDt = 0;
        return false;
    }
    OpenProject(ProjectFn);
    return true;
}

bool TBrenixProject::IsProjectChanged() {
    if (ProjectName.empty() || Contains(platform::LowerCase(ProjectFn), "empty.ini")) return false;
    if (!platform::FileExists(ProjectFn) || Modified) return true;
    // The values go through the same writer and reader as the file itself.
    const std::string current =
        AddTimestampToFileName(DataFile("intermediate-" + std::to_string(QCoreApplication::applicationPid()) + ".ini"));
    const bool written = SaveSettingsLines(CollectValues(false), current);
    TStringList currentLines;
    if (written) LoadTextFile(currentLines, current);
    DeleteFileIfExists(current);
    if (!written) return false;
    TStringList storedLines;
    LoadSettingsLines(ProjectFn, storedLines);
    return !SameSettingsContent(storedLines, currentLines);
}

bool TBrenixProject::ProjectModifiedExternally() const {
    if (ProjectFn.empty() || !platform::FileExists(ProjectFn)) return false;
    return !SameFileTime(FileModificationTime(ProjectFn), LastLoadedFileDt);
}

void TBrenixProject::FormSize_Load() {
    if (!owner_ || !SaveFormSize) return;
    TStringList lines;
    LoadSettingsLines(sessionFn_, lines);
    const std::string section = ReadSection(lines, kFormGeometrySection);
    if (section.empty()) {
        owner_->setGeometry(WorkArea(owner_));
        return;
    }
    const TStringList sectionLines = TextToLines(section);
    const StoredGeometry stored = DecodeGeometryLine(sectionLines.front());
    if (stored.maximized) {
        QRect area = WorkArea(owner_);
        // Back on the screen it was maximised on, when that screen is still there.
        if (stored.hasPosition && stored.width && stored.height) {
            const QRect bounds(stored.left, stored.top, *stored.width, *stored.height);
            if (QScreen* screen = QGuiApplication::screenAt(bounds.center())) area = screen->availableGeometry();
        }
        owner_->setGeometry(area);
        owner_->setWindowState((owner_->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        owner_->update();
        return;
    }
    owner_->setWindowState(owner_->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    QRect bounds = owner_->geometry();
    bounds.moveTo(stored.left, stored.top);
    if (stored.width) bounds.setWidth(*stored.width);
    if (stored.height) bounds.setHeight(*stored.height);
    owner_->setGeometry(bounds);
}

void TBrenixProject::FormSize_Save() {
    if (!owner_) return;
    const std::optional<std::string> line =
        EncodeGeometryLine(ToGeometry(owner_->geometry()), owner_->isMaximized(), ToGeometry(WorkArea(owner_)));
    if (!line) return;
    try {
        // A session file that cannot be read is left alone rather than
        // replaced by one holding only the geometry.
        TStringList lines = ReadFromFile(sessionFn_);
        WriteSection(lines, kFormGeometrySection, *line);
        if (!SaveSettingsLines(lines, sessionFn_))
            GetMessages().ShowMessage(MessageKind::Error, "Saving to " + sessionFn_ + " FAILED");
    } catch (const std::exception& error) {
        GetMessages().ShowMessage(MessageKind::Error, error.what());
    }
}

bool TBrenixProject::eventFilter(QObject* watched, QEvent* event) {
    if (watched != owner_ || !owner_) return false;
    try {
        if (event->type() == QEvent::Show && !formInitialized_) {
            // Before the window's own show handling, which expects the values in place.
            formInitialized_ = true;
            if (SingleProjectMode) SetupSingleProject();
        } else if (event->type() == QEvent::Close) {
            // The geometry only: values are saved when the user closes the
            // settings panel, never on the way out. A window closed before it
            // was ever shown has no geometry worth keeping.
            if (Active && SaveFormSize && formInitialized_) FormSize_Save();
        }
    } catch (const std::exception& error) {
        GetMessages().ShowMessage(MessageKind::Error, error.what());
    }
    return false;
}

}  // namespace tandrel
