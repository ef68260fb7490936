#include "gui/tools/compare_files_page.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "gui/shell/main_window.h"
#include "scan/scan_model.h"
#include "support/recording_messages.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::RecordingMessages;
using testing::TempDir;

constexpr const char* kSameFile = "File 1 and 2, both refer to the same file.";

// What one driver made of a pair: the verdict text and whether it refused
// the pair as one file.
struct Outcome {
    std::string verdict;
    bool refusedAsSameFile = false;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "{\"" << o.verdict << "\", same file " << o.refusedAsSameFile << "}";
}

class CompareFilesAgreementTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<TFormMain>(model, StartRequest{});
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        // After the window, which sets its own sink.
        messages = std::make_unique<RecordingMessages>();
    }
    void TearDown() override {
        window.reset();
        messages.reset();
    }

    Outcome OnThePage(const std::string& a, const std::string& b) {
        TFormCompareFiles& page = window->CompareFilesView();
        messages->shown.clear();
        page.WidgetsForTest().FilenameEditA1->setText(QString::fromStdString(a));
        page.WidgetsForTest().FilenameEditA2->setText(QString::fromStdString(b));
        QSignalSpy finished(&page, &TFormCompareFiles::Finished);
        page.bCompareFilesClick();
        for (int i = 0; i < 1000 && finished.count() == 0; ++i) QTest::qWait(10);
        EXPECT_EQ(finished.count(), 1);
        Outcome o;
        o.verdict = page.WidgetsForTest().edFileCompareResult->text().toStdString();
        for (const std::string& text : messages->shown) o.refusedAsSameFile |= text == kSameFile;
        return o;
    }

    static Outcome OnTheCommandLine(const std::string& a, const std::string& b) {
        QProcess cli;
        cli.start(TANDREL_CLI, {"compare-files", QString::fromStdString(a), QString::fromStdString(b)});
        EXPECT_TRUE(cli.waitForFinished(30000));
        Outcome o;
        o.verdict = QString::fromUtf8(cli.readAllStandardOutput()).trimmed().toStdString();
        o.refusedAsSameFile = QString::fromUtf8(cli.readAllStandardError()).contains(kSameFile);
        // The command line prints the verdict of a refused pair as identical;
        // the page leaves its result empty.
        if (o.refusedAsSameFile && o.verdict == "IDENTICAL") o.verdict.clear();
        return o;
    }

    TempDir dir;
    ScanModel model;
    std::unique_ptr<TFormMain> window;
    std::unique_ptr<RecordingMessages> messages;
};

TEST_F(CompareFilesAgreementTest, PageAndCommandLineAgreeOnWhatTheSameFileIs) {
    const std::string lower = dir.WriteFile("pair/a", "same bytes");
    const std::string upper = dir.WriteFile("pair/A", "same bytes");
    const std::string other = dir.WriteFile("pair/b", "same bytez");
    const std::string Other = dir.WriteFile("pair/B", "same bytes");
    const struct {
        const char* name;
        std::string a, b;
        Outcome want;
    } cases[] = {
        {"a and A are two files, both identical", lower, upper, {"IDENTICAL", false}},
        {"b and B are two files, and differ", other, Other, {"loose copy", false}},
        {"a different pair", lower, other, {"loose copy", false}},
        {"one path twice", lower, lower, {"", true}},
        {"one file by two spellings", lower, dir.Path("pair/../pair/./a"), {"", true}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OnThePage(c.a, c.b), c.want) << "page: " << c.name;
        EXPECT_EQ(OnTheCommandLine(c.a, c.b), c.want) << "command line: " << c.name;
    }
}

}  // namespace
}  // namespace tandrel
