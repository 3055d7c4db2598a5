#include <gtest/gtest.h>

#include "zip/TZAHashedStringList.h"
#include "zip/WideUtils.h"

namespace {

TEST(TZAStringHashTest, HashOfAndBuckets) {
    TZAStringHash hash(7);
    EXPECT_EQ(hash.HashOf(u""), 0u);
    EXPECT_EQ(hash.HashOf(u"A"), 0x41u);
    EXPECT_EQ(hash.HashOf(u"AB"), 0x146u);
    hash.Add(u"k", 1);
    hash.Add(u"k", 2);
    EXPECT_EQ(hash.ValueOf(u"k"), 2);
    hash.Remove(u"k");
    EXPECT_EQ(hash.ValueOf(u"k"), 1);
    hash.Remove(u"missing");
    hash.Clear();
    EXPECT_EQ(hash.ValueOf(u"k"), -1);
}

TEST(TZAHashedStringListTest, CaseInsensitiveLookupsAfterChanges) {
    TZAHashedStringList list;
    list.Add(u"readme.txt");
    list.Add(u"\u00e9t\u00e9/\u0444\u043e\u0442\u043e.jpg");
    list.Add(u"b");
    EXPECT_EQ(list.IndexOf(u"README.TXT"), 0);
    EXPECT_EQ(list.IndexOf(u"\u00c9T\u00c9/\u0424\u041e\u0422\u041e.JPG"), 1);
    EXPECT_EQ(list.IndexOf(u"missing"), -1);

    // Adds after the index exists go straight into it.
    list.Add(u"\u03a3\u039f\u03a6\u0399\u0391");
    EXPECT_EQ(list.IndexOf(u"\u03c3\u03bf\u03c6\u03b9\u03b1"), 3);

    list.Delete(0);
    EXPECT_EQ(list.IndexOf(u"readme.txt"), -1);
    EXPECT_EQ(list.IndexOf(u"B"), 1);
    EXPECT_EQ(list.IndexOf(u"\u03c3\u03bf\u03c6\u03b9\u03b1"), 2);

    list.Replace(1, u"Renamed.BIN");
    EXPECT_EQ(list.IndexOf(u"b"), -1);
    EXPECT_EQ(list.IndexOf(u"renamed.bin"), 1);

    list.Clear();
    EXPECT_EQ(list.IndexOf(u"renamed.bin"), -1);
    list.Add(u"x");
    EXPECT_EQ(list.IndexOf(u"X"), 0);
}

TEST(TZAHashedStringListTest, CaseSensitiveListKeepsCase) {
    TZAHashedStringList list;
    list.SetCaseSensitive(true);
    list.Add(u"Readme");
    EXPECT_EQ(list.IndexOf(u"readme"), -1);
    EXPECT_EQ(list.IndexOf(u"Readme"), 0);
}

TEST(TZAHashedStringListTest, DuplicatesFindTheLastAndReplaceKeepsTheOther) {
    TZAHashedStringList list;
    list.Add(u"a");
    list.Add(u"b");
    list.Add(u"a");
    EXPECT_EQ(list.IndexOf(u"a"), 2);
    // Renaming the later copy must leave the earlier one findable.
    list.Replace(2, u"c");
    EXPECT_EQ(list.IndexOf(u"a"), 0);
    EXPECT_EQ(list.IndexOf(u"c"), 2);
}

TEST(TZAHashedStringListTest, IndexGrowsPastFiveTimesItsBuckets) {
    TZAHashedStringList list;
    list.Add(u"first");
    EXPECT_EQ(list.IndexOf(u"FIRST"), 0); // builds the index with 1000 buckets
    EXPECT_EQ(list.StringIndexBuckets(), 1000u);
    for (int i = 1; i < 5000; ++i)
        list.Add(u"n" + UTF8ToWide(std::to_string(i)));
    EXPECT_EQ(list.StringIndexBuckets(), 1000u);
    EXPECT_EQ(list.IndexOf(u"N4321"), 4321);
    list.Add(u"last"); // the 5001st entry
    EXPECT_EQ(list.StringIndexBuckets(), 0u);
    EXPECT_EQ(list.IndexOf(u"LAST"), 5000);
    EXPECT_EQ(list.StringIndexBuckets(), 5001u);
    EXPECT_EQ(list.IndexOf(u"n17"), 17);
}

TEST(TZAHashedStringListTest, IndexOfNameAndMovedEntries) {
    TZAHashedStringList list;
    list.Add(u"Title=x");
    list.Add(u"Other");
    list.Add(u"Plain");
    EXPECT_EQ(list.IndexOfName(u"title"), 0);
    EXPECT_EQ(list.IndexOfName(u"Other"), -1);
    list.Add(u"Width=3");
    EXPECT_EQ(list.IndexOfName(u"WIDTH"), 3);

    // Entries moved by the base list (insert, exchange, sort) must not leave
    // stale positions in either index.
    list.Insert(0, u"first");
    EXPECT_EQ(list.IndexOf(u"plain"), 3);
    EXPECT_EQ(list.IndexOfName(u"title"), 1);
    list.Exchange(0, 3);
    EXPECT_EQ(list.IndexOf(u"plain"), 0);
    list.SetSorted(true);
    EXPECT_EQ(list.Get(list.IndexOf(u"OTHER")), u"Other");
    list.Add(u"aaa"); // lands in the middle of the sorted list
    EXPECT_EQ(list.Get(list.IndexOf(u"width=3")), u"Width=3");
}

TEST(TUniStringListTest, SortedFindAndDuplicates) {
    TUniStringList list;
    list.SetSorted(true);
    list.Add(u"b");
    list.Add(u"a");
    list.Add(u"B");
    EXPECT_EQ(list.Count(), 2);
    list.SetDuplicates(TDuplicates::dupAccept);
    list.Add(u"b");
    list.Add(u"c");
    int index = -1;
    EXPECT_TRUE(list.Find(u"B", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(list.Find(u"bb", index));
    EXPECT_EQ(index, 3);
    list.SetDuplicates(TDuplicates::dupError);
    EXPECT_THROW(list.Add(u"a"), EStringListError);
    EXPECT_THROW(list.Insert(0, u"z"), EStringListError);
    EXPECT_THROW(list.Get(9), EStringListError);
    try {
        list.Delete(-1);
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    }
}

TEST(TUniStringListTest, SortOrdersCaseInsensitively) {
    TUniStringList list;
    for (const char16_t* s : {u"delta", u"Alpha", u"charlie", u"Bravo", u"echo", u"alpha2"})
        list.Add(s);
    list.Sort();
    std::u16string joined;
    for (int i = 0; i < list.Count(); ++i)
        joined += list.Get(i) + u",";
    EXPECT_EQ(joined, u"Alpha,alpha2,Bravo,charlie,delta,echo,");
}

} // namespace
