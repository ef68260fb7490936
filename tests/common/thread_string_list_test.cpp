#include "common/thread_string_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace tandrel {
namespace {

TStringList Lines(TThreadStringList& list) {
    TStringList copy = list.LockList();
    list.UnlockList();
    return copy;
}

TEST(TThreadStringList, WholeTextCarriesOneProgressLine) {
    TThreadStringList list;
    list.SetText("Scanning /home");
    EXPECT_EQ("Scanning /home\r\n", list.GetText());
    EXPECT_EQ(1, list.GetCount());
    list.SetText("a\nb\r\nc");
    EXPECT_EQ((TStringList{"a", "b", "c"}), Lines(list));
    EXPECT_EQ("a\r\nb\r\nc\r\n", list.GetText());
    list.SetText("");
    EXPECT_EQ("", list.GetText());
    EXPECT_EQ(0, list.GetCount());
}

TEST(TThreadStringList, DeleteFirstExactRemovesOnlyTheFirstExactMatch) {
    TThreadStringList list;
    list.AddStrings({"a", "b", "a", "A"});
    EXPECT_FALSE(list.DeleteFirstExact("B"));  // exact: case matters
    EXPECT_TRUE(list.DeleteFirstExact("a"));
    EXPECT_EQ((TStringList{"b", "a", "A"}), Lines(list));
    EXPECT_EQ(1, list.IndexOf("A"));  // IndexOf ignores case
}

TEST(TThreadStringList, EditingByIndex) {
    TThreadStringList list;
    EXPECT_EQ(0, list.Add("one"));
    EXPECT_EQ(1, list.Add("three"));
    list.Insert(1, "two");
    list.Insert(3, "four");
    list.Exchange(0, 3);
    list.SetStrings(1, "TWO");
    EXPECT_EQ((TStringList{"four", "TWO", "three", "one"}), Lines(list));
    list.Delete(0);
    EXPECT_EQ("TWO", list.GetStrings(0));
    EXPECT_THROW(list.Delete(3), TandrelError);
    EXPECT_THROW(list.Insert(5, "x"), TandrelError);
    EXPECT_THROW(list.GetStrings(-1), TandrelError);
    EXPECT_EQ(3, list.GetCount());  // failures leave the list and its lock intact
    list.Clear();
    EXPECT_EQ(0, list.GetCount());
}

TEST(TThreadStringList, SortedListAppliesTheDuplicatesMode) {
    TThreadStringList list;
    list.AddStrings({"pear", "Apple", "fig"});
    list.SetSorted(true);
    EXPECT_EQ((TStringList{"Apple", "fig", "pear"}), Lines(list));
    EXPECT_EQ(Duplicates::Ignore, list.GetDuplicates());
    EXPECT_EQ(-1, list.Add("FIG"));
    EXPECT_EQ(2, list.Add("kiwi"));
    int index = -1;
    EXPECT_TRUE(list.Find("PEAR", index));
    EXPECT_EQ(3, index);
    EXPECT_FALSE(list.Find("banana", index));
    EXPECT_EQ(1, index);
    EXPECT_THROW(list.Insert(0, "zzz"), TandrelError);

    list.SetDuplicates(Duplicates::Accept);
    list.Add("fig");
    EXPECT_EQ((TStringList{"Apple", "fig", "fig", "kiwi", "pear"}), Lines(list));
    list.SetDuplicates(Duplicates::Error);
    EXPECT_THROW(list.Add("apple"), TandrelError);
    EXPECT_EQ(5, list.GetCount());
}

TEST(TThreadStringList, SortUsesLocaleOrderIgnoringCase) {
    TThreadStringList list;
    list.AddStrings({"b", "C", "a"});
    list.Sort();
    EXPECT_EQ((TStringList{"a", "b", "C"}), Lines(list));
    EXPECT_FALSE(list.GetSorted());
}

TEST(TThreadStringList, NamesAndValues) {
    TThreadStringList list;
    list.AddStrings({"plain", "Width=10", "height=20"});
    EXPECT_EQ(1, list.IndexOfName("width"));
    EXPECT_EQ(-1, list.IndexOfName("plain"));
    EXPECT_EQ("Width", list.GetNames(1));
    EXPECT_EQ("", list.GetNames(0));
    EXPECT_EQ("20", list.GetValues("HEIGHT"));
    EXPECT_EQ("", list.GetValues("depth"));
    list.SetValues("width", "11");
    list.SetValues("depth", "a=b");
    EXPECT_EQ("a=b", list.GetValues("depth"));
    list.SetValues("height", "");
    EXPECT_EQ((TStringList{"plain", "width=11", "depth=a=b"}), Lines(list));
}

TEST(TThreadStringList, DelimitedTextRoundTripsAwkwardLines) {
    TThreadStringList list;
    const TStringList awkward = {"a", "b c", "x,y", "say \"hi\"", "", " padded "};
    list.AddStrings(awkward);
    const std::string comma = list.GetCommaText();
    EXPECT_EQ("a,b c,\"x,y\",\"say \"\"hi\"\"\",\"\",\" padded \"", comma);
    list.Clear();
    list.SetCommaText(comma);
    EXPECT_EQ(awkward, Lines(list));

    list.SetDelimiter(';');
    list.SetDelimitedText(" one ; \"t;wo\" ;three;");
    EXPECT_EQ((TStringList{"one", "t;wo", "three", ""}), Lines(list));
    EXPECT_EQ("one;\"t;wo\";three;\"\"", list.GetDelimitedText());
    list.SetDelimitedText("   ");
    EXPECT_EQ(0, list.GetCount());
}

TEST(TThreadStringList, FilesAndStreams) {
    testing::TempDir dir;
    TThreadStringList list;
    list.AddStrings({"first", "zweite Zeile ü"});
    const std::string file = dir.Path("list.txt");
    ASSERT_TRUE(list.SaveToFile(file));
    TThreadStringList loaded;
    ASSERT_TRUE(loaded.LoadFromFile(file));
    EXPECT_EQ(Lines(list), Lines(loaded));
    EXPECT_FALSE(loaded.LoadFromFile(dir.Path("missing.txt")));
    EXPECT_EQ(0, loaded.GetCount());

    std::stringstream stream;
    list.SaveToStream(stream);
    EXPECT_EQ("first\r\nzweite Zeile ü\r\n", stream.str());
    TThreadStringList fromStream;
    fromStream.LoadFromStream(stream);
    EXPECT_EQ(Lines(list), Lines(fromStream));
}

TEST(TThreadStringList, ReaderNeverSeesAHalfWrittenLine) {
    TThreadStringList list;
    list.SetText("line 0");
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 1; i < 20000; ++i) list.SetText("line " + std::to_string(i) + "\nsecond");
        stop = true;
    });
    int bad = 0;
    while (!stop) {
        const std::string text = list.GetText();
        const std::string tail = "\r\nsecond\r\n";
        const bool first = text == "line 0\r\n";
        const bool pair = text.rfind("line ", 0) == 0 && text.size() > tail.size() &&
                          text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
        if (!first && !pair) ++bad;
    }
    writer.join();
    EXPECT_EQ(0, bad);
}

TEST(TThreadStringList, ConcurrentAddsAreAllKept) {
    TThreadStringList list;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&list, t] {
            for (int i = 0; i < 1000; ++i) list.Add(std::to_string(t) + ":" + std::to_string(i));
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(4000, list.GetCount());
    EXPECT_GE(list.GetCapacity(), 4000);
}

TEST(TThreadStringList, MutationsStopOnceDestructionHasStarted) {
    auto* list = new TThreadStringList;
    list->AddStrings({"a", "b", "c"});
    // Hold the lock, so the destructor marks the list and then waits.
    TStringList& inner = list->LockList();
    std::thread destroyer([list] { delete list; });
    while (!list->Destroying()) std::this_thread::yield();
    list->Clear();
    list->Delete(0);
    list->Insert(0, "x");
    list->AddStrings({"y"});
    EXPECT_FALSE(list->DeleteFirstExact("a"));
    EXPECT_EQ(-1, list->Add("z"));
    EXPECT_EQ(0, list->GetCount());
    EXPECT_EQ((TStringList{"a", "b", "c"}), inner);
    list->UnlockList();
    destroyer.join();
}

}  // namespace
}  // namespace tandrel
