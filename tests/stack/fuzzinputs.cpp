// Stack files the fuzzers found troublesome, kept under
// tests/data/stack/fuzz/: each is read again. Reading goes through the whole
// file, logging what it refuses; the stack read writes and reads back with
// the same slices; never a crash, a hang, an unbounded allocation or a
// sanitizer report.

#include "image/imagesourcefilemosaic.h"
#include "stack/stackreader.h"
#include "stack/stackwriter.h"
#include "stackfiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string fuzzDir = std::string(PLEXAN_TEST_DATA_DIR) + "/stack/fuzz";

std::vector<std::string> sliceNames(const Stack& stack)
{
    std::vector<std::string> names;
    for (int i = 0; i < stack.getNumSlices(); ++i)
        names.push_back(stack.getSlice(i)->getName());
    return names;
}

} // namespace

TEST(FuzzStackInputs, ReadThroughLoggedWrittenAndReadBack)
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(fuzzDir))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    const stackfiletest::TemporaryDirectory scratch;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        Stack stack;
        StackReader reader;
        ASSERT_TRUE(reader.read(stack, file));
        for (const std::string& line : reader.getLog())
            EXPECT_TRUE(line.rfind("Error", 0) == 0 || line.rfind("Warning on ", 0) == 0) << line;

        const std::string copy = scratch.path("copy.sdf");
        ASSERT_TRUE(StackWriter().write(stack, copy));
        Stack again;
        ASSERT_TRUE(StackReader().read(again, copy));
        EXPECT_EQ(sliceNames(again), sliceNames(stack));
    }
}

// A mosaic slice of a billion rows and no column (or the other way round)
// has no cell, yet would cost four gigabytes of row heights: both are
// refused like any grid beyond the cell bound, and reading goes on with the
// next statement, which makes a 2 x 2 mosaic. The file gives no spacing:
// the slices lie at one place, which is told too.
TEST(FuzzStackInputs, MosaicOfABillionEmptyRowsRefused)
{
    Stack stack;
    StackReader reader;
    ASSERT_TRUE(reader.read(stack, fuzzDir + "/emptymosaic-billionrows.sdf"));
    EXPECT_EQ(reader.getLog(),
              (std::vector<std::string>{
                  "Error on SLICE: Invalid mosaic dimensions.", "Error on SLICE: Invalid mosaic dimensions.",
                  "Warning on SLICE: slice \"columns\" lies at 0, where slice \"rows\" lies (a slice spacing of 0).",
                  "Warning on SLICE: slice \"cells\" lies at 0, where slice \"columns\" lies (a slice spacing of 0)."}));
    EXPECT_EQ(reader.getNumFatalErrors(), 0);
    ASSERT_EQ(sliceNames(stack), (std::vector<std::string>{"rows", "columns", "cells"}));
    EXPECT_FALSE(stack.getSlice(0)->hasImageSource() || stack.getSlice(1)->hasImageSource());
    const auto* mosaic = dynamic_cast<const ImageSourceFileMosaic*>(&stack.getSlice(2)->getImageSource());
    ASSERT_NE(mosaic, nullptr);
    EXPECT_EQ(mosaic->getRows() * 10 + mosaic->getCols(), 22);
}
