#include <gtest/gtest.h>

#include <sstream>

#include "app/scene_dialogue.h"
#include "support/test_scenes.h"

namespace {

const std::string PROMPT = "Enter the name of the dorn file: ";
const std::string INVALID = "Invalid file name\n";

class SceneDialogueTest : public ::testing::Test {
protected:
    std::unique_ptr<CollisionMesh> run(const std::string& input) {
        std::istringstream in(input);
        auto scene = runSceneDialogue(in, out, err);
        rest.assign(std::istreambuf_iterator<char>(in), {});
        return scene;
    }
    TempFile good{singleLeafFile()};
    std::ostringstream out;
    std::ostringstream err;
    std::string rest;  // what the dialogue left unread
};

TEST_F(SceneDialogueTest, AGoodNameIsAskedForOnce) {
    const auto scene = run(good.path() + "\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->triangles.size(), 1u);
    EXPECT_EQ(out.str(), PROMPT);
    EXPECT_EQ(err.str(), "");
}

TEST_F(SceneDialogueTest, ABadNameIsRefusedAndAskedForAgain) {
    const auto scene = run("missing.dorn\n" + good.path() + "\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(out.str(), PROMPT + INVALID + PROMPT);
    EXPECT_EQ(err.str(), "missing.dorn: cannot open: No such file or directory\n");
}

TEST_F(SceneDialogueTest, TwoNamesOnOneLineAreReadOneAfterTheOther) {
    TempFile truncated(singleLeafFile().substr(0, 100));
    const auto scene = run(truncated.path() + " " + good.path() + " extra\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(out.str(), PROMPT + INVALID + PROMPT);
    EXPECT_NE(err.str().find("ends in the tree section at byte 100"), std::string::npos);
    EXPECT_EQ(rest, " extra\n");
}

TEST_F(SceneDialogueTest, BlankLinesAndLeadingBlanksAreSkippedWithoutANewPrompt) {
    const auto scene = run("\n\n   \t\n \t " + good.path() + "\n");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(out.str(), PROMPT);
}

TEST_F(SceneDialogueTest, EndOfInputEndsTheDialogueWithoutAScene) {
    EXPECT_EQ(run(""), nullptr);
    EXPECT_EQ(out.str(), PROMPT);
    EXPECT_NE(err.str().find("input ended"), std::string::npos);

    out.str("");
    err.str("");
    EXPECT_EQ(run("missing.dorn \n\n"), nullptr);
    EXPECT_EQ(out.str(), PROMPT + INVALID + PROMPT);
}

}  // namespace
