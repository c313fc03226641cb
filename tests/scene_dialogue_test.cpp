#include <gtest/gtest.h>

#include <sstream>

#include "app/scene_dialogue.h"
#include "support/test_scenes.h"

using namespace sweepview;

namespace {

const std::string PROMPT = "Enter the name of the dorn file: ";
const std::string INVALID = "Invalid file name\n";

// Each case: what is typed, whether a scene results, the prompts and messages
// on standard output, a part of standard error, and what is left unread.
TEST(SceneDialogue, AsksUntilASceneLoadsOrTheInputEnds) {
    TempFile good(singleLeafFile());
    TempFile truncated(singleLeafFile().substr(0, 100));
    const std::string g = good.path();
    const struct {
        std::string input;
        bool loads;
        std::string out, errPart, rest;
    } cases[] = {
        {g + "\n", true, PROMPT, "", "\n"},
        {"missing.dorn\n" + g + "\n", true, PROMPT + INVALID + PROMPT,
         "missing.dorn: cannot open: No such file or directory\n", "\n"},
        {truncated.path() + " " + g + " extra\n", true, PROMPT + INVALID + PROMPT,
         "ends in the tree section at byte 100", " extra\n"},
        {"\n\n   \t\n \t " + g + "\n", true, PROMPT, "", "\n"},  // blanks: no new prompt
        {"", false, PROMPT, "input ended", ""},
        {"missing.dorn \n\n", false, PROMPT + INVALID + PROMPT, "input ended", ""},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        std::ostringstream out;
        std::ostringstream err;
        const auto scene = runSceneDialogue(in, out, err);
        EXPECT_EQ(scene != nullptr, c.loads) << c.input;
        EXPECT_EQ(out.str(), c.out) << c.input;
        EXPECT_NE(err.str().find(c.errPart), std::string::npos) << err.str();
        EXPECT_EQ(err.str().empty(), c.errPart.empty()) << err.str();
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), c.rest) << c.input;
    }
}

}  // namespace
