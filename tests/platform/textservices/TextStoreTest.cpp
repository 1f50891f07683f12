#include "platform/textservices/TextStore.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using platform::textservices::CTextStore;

namespace {

// The paragraph that holds `cp` in a plain string model: the number of breaks before it.
int ModelParagraphOf(const std::wstring& text, int cp) {
    int paragraph = 0;
    for (int i = 0; i < cp && i < static_cast<int>(text.size()); ++i)
        paragraph += text[i] == L'\r' ? 1 : 0;
    return paragraph;
}

}  // namespace

TEST(TextStoreTest, EditsAgreeWithAPlainStringModel) {
    // Random edits across paragraph breaks; the store's paragraphs, positions and text
    // must always describe the same string as the model.
    CTextStore store;
    std::wstring model;
    std::mt19937 random(20240521);
    const std::wstring pieces[] = {L"", L"a", L"中文", L"\r", L"x\ry", L"\r\r", L"line one\rline two\r", L"😀"};
    for (int round = 0; round < 400; ++round) {
        const int length = static_cast<int>(model.size());
        int start = std::uniform_int_distribution<int>(0, length)(random);
        int end = std::uniform_int_distribution<int>(start, std::min(length, start + 6))(random);
        const std::wstring& piece = pieces[random() % std::size(pieces)];
        const CTextStore::Change change = store.Replace(start, end, piece);
        model.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), piece);
        SCOPED_TRACE(round);
        ASSERT_EQ(store.Length(), static_cast<int>(model.size()));
        ASSERT_EQ(store.Text(0, store.Length()), model);
        ASSERT_EQ(store.ParagraphCount(), ModelParagraphOf(model, static_cast<int>(model.size())) + 1);
        ASSERT_GE(change.inserted, 1);
        const int probe = std::uniform_int_distribution<int>(0, store.Length())(random);
        ASSERT_EQ(store.ParagraphOf(probe), ModelParagraphOf(model, probe));
        const int paragraph = store.ParagraphOf(probe);
        ASSERT_LE(store.ParagraphStart(paragraph), probe);
        ASSERT_LE(probe, store.ParagraphStart(paragraph) + store.ParagraphLength(paragraph));
        ASSERT_EQ(store.CharAt(probe), probe < store.Length() ? model[static_cast<size_t>(probe)] : L'\0');
    }
}

TEST(TextStoreTest, NormalisesBreaksSurrogatesAndNul) {
    const struct {
        const char* why;
        std::wstring in;
        std::wstring out;
    } cases[] = {
        {"CR LF, LF and CR each make one break", L"a\r\nb\nc\rd", L"a\rb\rc\rd"},
        {"LF CR is two breaks", L"a\n\rb", L"a\r\rb"},
        {"a UTF-16 pair becomes one character", std::wstring{L'x', 0xD83D, 0xDE00, L'y'}, L"x\U0001F600y"},
        {"a lone surrogate becomes U+FFFD", std::wstring{0xDC00, L'z', 0xD800}, L"\uFFFDz\uFFFD"},
        {"NUL is dropped", std::wstring{L'a', 0, L'b'}, L"ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(CTextStore::Normalise(c.in), c.out);
    }
}
