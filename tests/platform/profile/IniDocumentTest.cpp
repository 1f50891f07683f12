#include "platform/profile/IniDocument.h"

#include <gtest/gtest.h>

#include "platform/strings/StringConv.h"

namespace {

using platform::CIniDocument;

std::string Utf16File(const std::wstring& text) {
    return "\xFF\xFE" + platform::Utf16LeBytesFromWide(text);
}

TEST(IniDocumentTest, LookupRules) {
    const CIniDocument doc(
        "; comment=1\r\n"
        "[Install]\r\n"
        "  Version =  2.1.900 \t\r\n"
        "version=shadowed\r\n"
        "Url=http://a/b?x=1\r\n"
        "Empty=\r\n"
        "NoEquals\r\n"
        "[ install ]\n"
        "Other=second section\n"
        "[Setting]\n"
        "Version=last line without end");
    const struct {
        const wchar_t* section;
        const wchar_t* key;
        std::optional<std::wstring> value;
    } cases[] = {
        {L"INSTALL", L"VERSION", L"2.1.900"},  // case, blanks and the CR are not part of it
        {L"Install", L"url", L"http://a/b?x=1"},
        {L"Install", L"Empty", L""},
        {L"Install", L"NoEquals", std::nullopt},
        {L"Install", L"Other", std::nullopt},  // only the first section of a name is read
        {L"Install", L"; comment", std::nullopt},
        {L"Setting", L"Version", L"last line without end"},
        {L"Missing", L"Version", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Utf8FromWide(std::wstring(c.section) + L"/" + c.key));
        EXPECT_EQ(doc.Get(c.section, c.key), c.value);
    }
}

TEST(IniDocumentTest, EditsKeepEveryOtherByte) {
    const std::string original =
        "\xEF\xBB\xBF; keep me  \r\n[A]\r\nx = 1\r\n\r\n[B]\r\ny=2\r\n\xC3(broken utf-8)=3\r\n";
    CIniDocument doc(original);
    doc.Set(L"a", L"X", L"9");
    EXPECT_EQ(doc.Bytes(), "\xEF\xBB\xBF; keep me  \r\n[A]\r\nX=9\r\n\r\n[B]\r\ny=2\r\n\xC3(broken utf-8)=3\r\n");
    doc.Set(L"A", L"z", L"new");  // added after the last non-blank line of the section
    EXPECT_EQ(doc.Bytes(),
              "\xEF\xBB\xBF; keep me  \r\n[A]\r\nX=9\r\nz=new\r\n\r\n[B]\r\ny=2\r\n\xC3(broken utf-8)=3\r\n");
    EXPECT_TRUE(doc.RemoveKey(L"A", L"x"));
    EXPECT_FALSE(doc.RemoveKey(L"A", L"x"));
    EXPECT_TRUE(doc.RemoveSection(L"b"));
    EXPECT_EQ(doc.Bytes(), "\xEF\xBB\xBF; keep me  \r\n[A]\r\nz=new\r\n\r\n");
    doc.Set(L"C", L"k", L"v");
    EXPECT_EQ(doc.Bytes(), "\xEF\xBB\xBF; keep me  \r\n[A]\r\nz=new\r\n\r\n[C]\r\nk=v\r\n");

    // A last line without its end gets one before a new section; LF files stay LF.
    CIniDocument lf("[S]\nk=v");
    lf.Set(L"T", L"a", L"b");
    EXPECT_EQ(lf.Bytes(), "[S]\nk=v\n[T]\na=b\n");
    CIniDocument empty("");
    empty.Set(L"Config", L"StartupWithOS", L"1");
    EXPECT_EQ(empty.Bytes(), "[Config]\r\nStartupWithOS=1\r\n");
}

TEST(IniDocumentTest, CarriageReturnAloneEndsALine) {
    CIniDocument cr("[S]\rA=1\rB=2\r");
    EXPECT_EQ(cr.Get(L"S", L"B"), L"2");
    cr.Set(L"S", L"C", L"3");
    cr.Set(L"T", L"D", L"4");
    EXPECT_EQ(cr.Bytes(), "[S]\rA=1\rB=2\rC=3\r[T]\rD=4\r");
    EXPECT_EQ(cr.Get(L"S", L"C"), L"3");
    EXPECT_EQ(cr.Get(L"T", L"D"), L"4");

    // Mixed ends each stay as they were; "\r\n" is one end, "\n\r" two.
    CIniDocument mixed(Utf16File(L"[S]\r\nA=1\n\rB=2\rC=3"));
    EXPECT_EQ(mixed.Get(L"s", L"b"), L"2");
    EXPECT_EQ(mixed.Get(L"s", L"c"), L"3");
    EXPECT_TRUE(mixed.RemoveKey(L"S", L"B"));
    EXPECT_EQ(mixed.Bytes(), Utf16File(L"[S]\r\nA=1\n\rC=3"));
}

TEST(IniDocumentTest, Utf16FilesStayUtf16AndByteExact) {
    std::string original = Utf16File(L"[QuorvelNet-Launcher]\r\nInstallPath=D:\\游戏\\a.exe\r\n");
    original += std::string("\x00\xD8", 2);  // a lone surrogate, then an odd final byte
    original += std::string("\r\0\n\0", 4);
    original += "\x41";
    CIniDocument doc(original);
    EXPECT_EQ(doc.Get(L"quorvelnet-launcher", L"installpath"), L"D:\\游戏\\a.exe");
    EXPECT_EQ(doc.Bytes(), original);

    doc.Set(L"QuorvelNet-Launcher", L"SouiInstallPath", L"E:\\é");
    std::string expected = Utf16File(L"[QuorvelNet-Launcher]\r\nInstallPath=D:\\游戏\\a.exe\r\n");
    expected += std::string("\x00\xD8\r\0\n\0", 6);  // the undecodable line is still part of the section
    expected += platform::Utf16LeBytesFromWide(L"SouiInstallPath=E:\\é\r\n") + "\x41";
    EXPECT_EQ(doc.Bytes(), expected);

    CIniDocument bomOnly("\xFF\xFE");
    bomOnly.Set(L"S", L"k", L"值");
    EXPECT_EQ(bomOnly.Bytes(), Utf16File(L"[S]\r\nk=值\r\n"));
}

}  // namespace
