#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "zip/WideUtils.h"

namespace {

// Python's codecs are an independent source of both code pages.
std::u16string PythonDecode(const char* codec) {
    std::string out;
    std::string cmd = std::string("/usr/bin/python3 -c \"import sys; "
                                  "sys.stdout.buffer.write(''.join(bytes([b]).decode('") +
                      codec + "', 'ignore') or '\\x00' for b in range(256)).encode('utf-16-le'))\"";
    EXPECT_EQ(RunCommand(cmd, &out), 0);
    std::u16string s;
    for (size_t i = 0; i + 1 < out.size(); i += 2)
        s += char16_t(static_cast<unsigned char>(out[i]) | (static_cast<unsigned char>(out[i + 1]) << 8));
    return s;
}

TEST(CodePageTest, TablesAgreeWithPythonAndRoundTrip) {
    for (unsigned cp : {CP_OEM_437, CP_ANSI_1252}) {
        std::u16string expected = PythonDecode(cp == CP_OEM_437 ? "cp437" : "cp1252");
        ASSERT_EQ(expected.size(), 256u);
        std::string all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        std::u16string wide = CodePageToWide(all, cp);
        for (int b = 0; b < 256; ++b) {
            // Python leaves the five unassigned 1252 bytes undecodable; we map
            // them to the control characters of the same value.
            if (expected[b] == 0 && b != 0)
                EXPECT_EQ(wide[b], char16_t(b)) << cp << " " << b;
            else
                EXPECT_EQ(wide[b], expected[b]) << cp << " " << b;
        }
        EXPECT_EQ(WideToCodePage(wide, cp), all) << cp;
    }
    EXPECT_EQ(WideToOem(u"caf\u00e9 \u00c4rger"), "caf\x82 \x8Erger");
    EXPECT_EQ(WideToAnsi(u"\u20ac \u0416"), "\x80 ?");
    EXPECT_FALSE(CodePageCanHold(u"\u0416", CP_OEM_437));
}

TEST(UTFTest, UTF8RoundTripAndMalformedInput) {
    std::u16string s = u"a\u00e9\u0416\u263a\U0001F600";
    EXPECT_EQ(UTF8ToWide(WideToUTF8(s)), s);
    EXPECT_EQ(WideToUTF8(u"\u00e9"), "\xC3\xA9");
    EXPECT_EQ(UTF8ToWide("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(UTF8ToWide("\xC0\xAF"), u"\uFFFD"); // overlong "/"
    EXPECT_EQ(WideToUTF8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_FALSE(IsValidUTF8("\xED\xA0\x80"));
}

TEST(UTFTest, UTF7) {
    EXPECT_EQ(WideToUTF7(u"A+B"), "A+-B");
    EXPECT_EQ(WideToUTF7(u"Hi Mom -\u263a-!"), "Hi Mom -+Jjo--!");
    EXPECT_EQ(UTF7ToWide("Hi Mom -+Jjo--!"), u"Hi Mom -\u263a-!");
    EXPECT_EQ(UTF7ToWide("+AGE"), u"a");
    EXPECT_EQ(UTF7ToWide("+AGE-x"), u"ax");
    std::u16string mixed = u"\u65e5\u672c\u8a9e a\\b~ +x";
    EXPECT_EQ(UTF7ToWide(WideToUTF7(mixed)), mixed);
    for (const char* bad : {"+Z", "+AGF", "\xC3\xA9", "+-+"})
        EXPECT_THROW(UTF7ToWide(bad), EUniGeneralError) << bad;
    EXPECT_EQ(CodePageToWide(WideToCodePage(mixed, CP_UTF7), CP_UTF7), mixed);
}

TEST(CaseTest, FoldingCoversNonAsciiBlocks) {
    EXPECT_EQ(WideLowerCase(u"README.TXT \u00c4\u0106\u0178\u0391\u03a3\u0416\u0401"),
              u"readme.txt \u00e4\u0107\u00ff\u03b1\u03c3\u0436\u0451");
    EXPECT_EQ(WideUpperCase(u"\u00e4\u0107\u03b1\u0436\u0451"), u"\u00c4\u0106\u0391\u0416\u0401");
    EXPECT_TRUE(WideSameText(u"\u039f\u03b4\u03cc\u03c2", u"\u03bf\u0394\u038c\u03a3"));
    EXPECT_EQ(WideUpperCase(u"\u00df"), u"\u00df"); // no one-unit upper case
    EXPECT_LT(WideCompareText(u"apple", u"BANANA"), 0);
    EXPECT_GT(WideCompareStr(u"apple", u"BANANA"), 0);
}

TEST(MaskTest, Matches) {
    const struct {
        const char16_t* name;
        const char16_t* mask;
        bool ignoreCase;
        bool match;
    } cases[] = {
        {u"README", u"*.*", true, true},  {u"abc", u"a*c", true, true},
        {u"abc", u"a*", true, true},      {u"a", u"a*b", true, false},
        {u"ABC", u"a?c", true, true},     {u"ABC", u"a?c", false, false},
        {u"abcbd", u"a*b?", true, true},  {u"", u"*", true, true},
        {u"", u"?", true, false},         {u"ab", u"ab?", true, false},
        {u"\u00c9T\u00c9.JPG", u"\u00e9t\u00e9.*", true, true},
        {u"photo.jpeg", u"*.jpg", true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MaskMatches(c.name, c.mask, c.ignoreCase), c.match)
            << WideToUTF8(c.name) << " " << WideToUTF8(c.mask);
}

TEST(PathTest, SplittingAndRelativePaths) {
    EXPECT_EQ(WidePathOf(u"/a/b/c.txt"), u"/a/b/");
    EXPECT_EQ(WideNameOf(u"/a/b/c.txt"), u"c.txt");
    EXPECT_EQ(WideExtensionOf(u"/a.b/c"), u"");
    EXPECT_EQ(WideExtensionOf(u"/a/c.tar.gz"), u".gz");
    EXPECT_EQ(WideDriveOf(u"/a/b"), u"");
    EXPECT_EQ(WideRelativePath(u"/work/", u"/work/pics/a.jpg"), u"pics/a.jpg");
    EXPECT_EQ(WideRelativePath(u"/work/other/", u"/work/pics/a.jpg"), u"../pics/a.jpg");
    EXPECT_EQ(WideRelativePath(u"/x/y/base.txt", u"/x/z.txt"), u"../z.txt");
    EXPECT_EQ(WideLastDelimiterIndex(u"/.", u"a/b.c"), 4u);
    EXPECT_EQ(WideLastDelimiterIndex(u"/", u"abc"), 0u);
}

TEST(ReplaceTest, FlagsAndWholeWords) {
    EXPECT_EQ(WideReplace(u"a-a-a", u"a", u"bb", 0, false), u"bb-a-a");
    EXPECT_EQ(WideReplace(u"a-a-a", u"a", u"bb", rfReplaceAll, false), u"bb-bb-bb");
    EXPECT_EQ(WideReplace(u"Cat cat CAT", u"cat", u"dog", rfReplaceAll | rfIgnoreCase, false),
              u"dog dog dog");
    EXPECT_EQ(WideReplace(u"cat concat cat.", u"cat", u"dog", rfReplaceAll, true),
              u"dog concat dog.");
    EXPECT_EQ(WideReplace(u"aaa", u"", u"x", rfReplaceAll, false), u"aaa");
}

} // namespace
