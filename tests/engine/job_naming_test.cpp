// The job naming rules on byte strings, as the window and the command line both name outputs.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/job_naming.h"

namespace {

TEST(JobNaming, TheOutputKeepsTheFolderAndDropsOnlyTheLastExtension) {
    EXPECT_EQ(OutputPathFor("/v/a.mpg"), "/v/converted/a.avi");
    EXPECT_EQ(OutputPathFor("/v/clip.part1.mov"), "/v/converted/clip.part1.avi");
    EXPECT_EQ(OutputPathFor("/v/a.avi"), "/v/converted/a.avi");
    EXPECT_EQ(OutputPathFor("/a.avi"), "/converted/a.avi") << "the root folder";
    EXPECT_EQ(OutputPathFor("/v.d/name"), "/v.d/converted/name.avi") << "a dot in the folder only";
    EXPECT_EQ(OutputPathFor("/v/.hidden"), "/v/converted/.avi");
    EXPECT_EQ(OutputPathFor("clip.mpg"), "converted/clip.avi") << "a bare name stays relative";
    EXPECT_EQ(OutputFolderFor("/v/a.mpg"), "/v/converted");
    EXPECT_EQ(OutputPathIn("/out", "/v/b.c.mpg"), "/out/b.c.avi");

    // Bytes that are not UTF-8 pass through as they are.
    const std::string latin1 = "/v/caf\xE9/\xFF\xFE.mpg";
    EXPECT_EQ(OutputPathFor(latin1), "/v/caf\xE9/converted/\xFF\xFE.avi");
}

TEST(JobNaming, AnotherInputWithTheSameBaseNameGetsANumberedOutput) {
    std::vector<ListedJob> listed;
    const auto add = [&listed](const std::string& input) {
        const std::string output = OutputPathForJob(listed, input, OutputPathFor(input));
        listed.push_back({input, output});
        return output;
    };
    EXPECT_EQ(add("/v/a.mpg"), "/v/converted/a.avi");
    EXPECT_EQ(add("/v/a.mov"), "/v/converted/a (2).avi");
    EXPECT_EQ(add("/v/a.avi"), "/v/converted/a (3).avi");
    EXPECT_EQ(add("/v/a.mov"), "/v/converted/a (2).avi") << "the same input listed twice keeps one output";
    EXPECT_EQ(add("/w/a.mpg"), "/w/converted/a.avi") << "another folder is no clash";

    // A natural name without an extension is numbered at its end.
    const std::vector<ListedJob> bare = {{"/x/one", "/o.d/name"}};
    EXPECT_EQ(OutputPathForJob(bare, "/x/two", "/o.d/name"), "/o.d/name (2)");
}

}  // namespace
