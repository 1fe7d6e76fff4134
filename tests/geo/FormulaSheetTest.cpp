// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/FormulaBlocks.h"
#include "geo/FormulaSheet.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <optional>

namespace tw::geo {
namespace {

struct BlockCase {
    const char* name;
    const char* text;
    BlockKind kind;
    std::optional<std::string_view> inner;
};

class Block : public ::testing::TestWithParam<BlockCase> {};

TEST_P(Block, FindsOnlyValidBlocks)
{
    const auto& c = GetParam();
    EXPECT_EQ(blockInner(c.text, c.kind), c.inner);
}

INSTANTIATE_TEST_SUITE_P(Geo, Block, ::testing::Values(
    BlockCase{"Formulas", "Final:\r\n<?\r\nN 49\r\nE 16\r\n?>", BlockKind::Formulas, "\r\nN 49\r\nE 16\r\n"},
    BlockCase{"Variables", "note <!A=1!> more", BlockKind::Variables, "A=1"},
    BlockCase{"CloseBeforeOpen", "?> then <? x", BlockKind::Formulas, std::nullopt},
    BlockCase{"SharedQuestionMark", "<?>", BlockKind::Formulas, std::nullopt},
    BlockCase{"EmptyBlock", "<?\?>", BlockKind::Formulas, ""},
    BlockCase{"OtherKindIgnored", "<?A=1?>", BlockKind::Variables, std::nullopt},
    BlockCase{"NoBlock", "just a comment", BlockKind::Formulas, std::nullopt}),
    test::RowName());

struct StoreCase {
    const char* name;
    const char* text;
    const char* content;
    const char* expected;
};

class StoreBlock : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoreBlock, AppendsOrReplacesTheBlock)
{
    const auto& c = GetParam();
    EXPECT_EQ(storeBlock(c.text, BlockKind::Formulas, c.content), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Geo, StoreBlock, ::testing::Values(
    StoreCase{"Appended", "Final", "a\r\nb", "Final\r\n<?\r\na\r\nb\r\n?>"},
    StoreCase{"AppendedToEmpty", "", "x", "\r\n<?\r\nx\r\n?>"},
    StoreCase{"Replaced", "Final\r\n<?\r\nold\r\n?> end", "new", "Final\r\n<?\r\nnew\r\n?> end"},
    StoreCase{"EmptyBlockFilled", "<?\?>", "new", "<?\r\nnew\r\n?>"},
    // The same words outside the block are the user's own and stay.
    StoreCase{"OnlyTheBlockChanges", "12 m high <?12?> 12", "34", "12 m high <?\r\n34\r\n?> 12"},
    StoreCase{"InvalidBlockGetsANewOne", "?> <?", "x", "?> <?\r\n<?\r\nx\r\n?>"}),
    test::RowName());

TEST(FormulaBlocks, ReadsFormulaLinesWithEitherLineEnd)
{
    auto pair = readFormulaBlock("x <?  \r\nN 49°12.[A]\r\nE 16°[B]\r\nextra\r\n ?>");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->lat, "N 49°12.[A]");
    EXPECT_EQ(pair->lon, "E 16°[B]");
    pair = readFormulaBlock("<?\nN 1\nE 2\n?>");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->lat, "N 1");
    EXPECT_EQ(pair->lon, "E 2");
    pair = readFormulaBlock("<?one?>");
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->lat, "one");
    EXPECT_EQ(pair->lon, "");
    EXPECT_EQ(readVariableBlock("<!\r\n A=2 B=5 \r\n!>"), "A=2 B=5");
}

TEST(FormulaBlocks, SelectionOfTheNoteBecomesTheVariableBlock)
{
    const std::string note = "Stage 1: windows\r\n A=3 B=12 \r\nthen north";
    const std::size_t start = note.find(" A=");
    const auto stored = storeSelectionAsVariables(note, note.find("north"), start); // selected backwards
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, "Stage 1: windows\r\n <!\r\nA=3 B=12 \r\nthen\r\n!> north");
    EXPECT_EQ(readVariableBlock(*stored), "A=3 B=12 \r\nthen");
    // One block per note; a blank selection makes none.
    EXPECT_FALSE(storeSelectionAsVariables(*stored, 0, 5));
    EXPECT_FALSE(storeSelectionAsVariables(note, 18, 19));
    EXPECT_FALSE(storeSelectionAsVariables(note, 3, 3));
}

const LanguageText kTexts = [](int n) { return "msg" + std::to_string(n); };

TEST(FormulaSheet, OpensNormalisesComputesAndStores)
{
    const std::string comment = "Final\r\n<?\r\nN 49 12.(A*3+B)\r\nW 16 32.[B]0\r\n?>";
    const std::string note = "Stage 1 done\r\n<!\r\nA=2 B=5\r\n!>";
    FormulaSheet sheet = FormulaSheet::open(comment, note);
    EXPECT_EQ(sheet.latFormula, "N 49 12.(A*3+B)");
    EXPECT_EQ(sheet.variables, "A=2 B=5");
    EXPECT_FALSE(sheet.computed);

    sheet.normalise();
    EXPECT_EQ(sheet.latFormula, "49°12.[A*3+B]");
    EXPECT_EQ(sheet.lonFormula, "16°32.[B]0");
    EXPECT_EQ(sheet.lonHemisphere, 'W');

    sheet.compute(kTexts);
    EXPECT_EQ(sheet.resultText, "N 49°12.11\r\nW 16°32.50");
    EXPECT_EQ(sheet.digitSum, 4 + 9 + 1 + 2 + 1 + 1 + 1 + 6 + 3 + 2 + 5 + 0);
    EXPECT_EQ(sheet.variableSum, 7);
    const auto position = sheet.resultPosition();
    ASSERT_TRUE(position);
    EXPECT_NEAR(position->lat, 49 + 12.11 / 60, 1e-9);
    EXPECT_NEAR(position->lon, -(16 + 32.5 / 60), 1e-9);

    const std::string storedComment = sheet.storeFormulas(comment);
    EXPECT_EQ(storedComment, "Final\r\n<?\r\n49°12.[A*3+B]\r\n16°32.[B]0\r\n?>");
    const auto storedNote = sheet.storeVariables(note);
    ASSERT_TRUE(storedNote);
    EXPECT_EQ(*storedNote, "Stage 1 done\r\n<!\r\nA=2 B=5\r\n!>");

    // What was stored opens again as the same sheet.
    const FormulaSheet again = FormulaSheet::open(storedComment, *storedNote);
    EXPECT_EQ(again.latFormula, sheet.latFormula);
    EXPECT_EQ(again.lonFormula, sheet.lonFormula);
    EXPECT_EQ(again.variables, sheet.variables);
}

TEST(FormulaSheet, FailingFormulaShowsItsMessageAndReadsAsNoPosition)
{
    FormulaSheet sheet = FormulaSheet::open("", "");
    EXPECT_EQ(sheet.latFormula, "");
    sheet.latFormula = "49°[7%0]";
    sheet.lonFormula = "16°[Q]";
    sheet.compute(kTexts);
    EXPECT_EQ(sheet.resultText, "N msg305\r\nE msg308 Q");
    EXPECT_EQ(sheet.digitSum, 3 + 5 + 3 + 8);
    EXPECT_FALSE(sheet.resultPosition());
    // One failing formula is enough, whatever digits the rest of the text holds.
    sheet.latFormula = "49°12.345";
    sheet.compute(kTexts);
    EXPECT_TRUE(sheet.failed);
    EXPECT_FALSE(sheet.resultPosition());
    // Without variables the note is left alone.
    EXPECT_FALSE(sheet.storeVariables("note"));
}

TEST(FormulaSheet, ClipboardTextBecomesTheBlock)
{
    EXPECT_EQ(storeFormulaText("c", "N 49 [A]\r\nE 16 [B]"), "c\r\n<?\r\nN 49 [A]\r\nE 16 [B]\r\n?>");
    EXPECT_EQ(storeFormulaText("c <?\r\nold\r\n?>", "new"), "c <?\r\nnew\r\n?>");
}

} // namespace
} // namespace tw::geo
