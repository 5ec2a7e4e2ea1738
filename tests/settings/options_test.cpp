// The transfer options against the real store.
#include "common/registry/layout.h"
#include "settings/options.h"
#include "tests/support/store_probe.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace winreg;
using testsupport::StoredString;

namespace {

TEST(Options, WhatIsSavedLoadsBackAndAnUnreadableListIsRefused) {
    testsupport::ScopedStore store;
    const std::string longFolder = "/tmp/" + std::string(100, 'a') + "/日本語フォルダ名" + std::string(300, 'b');
    settings::OptionValues l;
    settings::LoadOptions(l);
    EXPECT_EQ(l.sendChangedOnly, 0u) << "missing: every file is sent, as always";
    settings::OptionValues saved{".txt;", ".zip;", 1, 1, 0, 2, 1, longFolder, 1};
    ASSERT_EQ(settings::SaveOptions(saved), ERROR_SUCCESS);
    settings::LoadOptions(l);
    // A long download folder is a path, not a missing value.
    EXPECT_EQ(std::tie(l.textMode, l.binaryMode, l.codeConvert, l.uploadConvert, l.downloadConvert, l.uploadConvCode,
                       l.downloadConvCode, l.downloadFolder, l.sendChangedOnly),
              std::make_tuple(".txt;", ".zip;", 1u, 1u, 0u, 2u, 1u, longFolder, 1u));

    // A list the store could not give back is not written, and nothing else is either.
    for (bool text : {true, false}) {
        settings::OptionValues tooLong{".a;", ".b;", 0, 0, 0, 0, 0, "/x"};
        (text ? tooLong.textMode : tooLong.binaryMode) = std::string(252, 'x') + ".ab;";
        EXPECT_EQ(settings::SaveOptions(tooLong), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(StoredString(layout::kOptionKey, layout::kTextMode), ".txt;");
        EXPECT_EQ(StoredString(layout::kOptionKey, layout::kDownloadFolder), longFolder);
    }
}

}  // namespace
