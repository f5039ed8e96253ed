// The bundled program without a display: it cannot make its window, says so and ends.

#include <gtest/gtest.h>

#include "program_run.hpp"

namespace kelvo {
namespace {

TEST(VostraStudioWithoutDisplay, EndsWithCreateFailedAndWritesNothing) {
    const std::string folder = testing::makeOutputFolder("no-display");
    const std::string home = folder + "/home";
    std::filesystem::create_directories(home);
    testing::ProgramRun run(testing::environmentWith({"HOME=" + home}, {"DISPLAY", "WAYLAND_DISPLAY", "KELVO_LOG_DIR"}),
                            folder, folder + "/stderr.txt");
    ASSERT_TRUE(run.started());
    EXPECT_TRUE(run.endsWith(1, std::chrono::seconds(30)));
    EXPECT_EQ(run.written(), "error: CreateFailed\n");
    // Neither a log nor a state folder: both come after the window. (GTK may make its cache folder.)
    EXPECT_FALSE(std::filesystem::exists(home + "/Library"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/kelvo.jsonl"));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kelvo
