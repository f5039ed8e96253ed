#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "platform/types/platform.hpp"
#include "slot_stubs.hpp"

namespace kelvo {
namespace {

using testing_slots::fillAllSlots;
using testing_slots::fillSlot;
using S = PlatformSlot;
using F = PlatformFeature;

enum class Rule { any, all, never };

struct Derivation {
    PlatformFeature feature;
    Rule rule;
    std::vector<PlatformSlot> slots;
};

// Without the backend's own answer, a feature follows from which slots are filled.
const std::vector<Derivation>& derivations() {
    static const std::vector<Derivation> table = {
        {F::main_webview, Rule::any, {S::loadWebView, S::loadWindowWebView}},
        {F::child_webviews, Rule::any, {S::createWebView}},
        {F::native_views, Rule::any, {S::createView}},
        {F::native_control_commands, Rule::any, {S::createView}},
        {F::menus, Rule::any, {S::configureMenus}},
        {F::tray, Rule::any, {S::createTray}},
        {F::shortcuts, Rule::any, {S::configureShortcuts}},
        {F::dialogs, Rule::any, {S::showOpenDialog, S::showSaveDialog, S::showMessageDialog}},
        {F::clipboard_text, Rule::all, {S::readClipboard, S::writeClipboard}},
        {F::clipboard_rich_data, Rule::all, {S::readClipboardData, S::writeClipboardData}},
        {F::open_url, Rule::any, {S::openExternalUrl}},
        {F::reveal_path, Rule::any, {S::revealPath}},
        {F::notifications, Rule::any, {S::showNotification}},
        {F::recent_documents, Rule::any, {S::addRecentDocument, S::clearRecentDocuments}},
        {F::credentials, Rule::all, {S::setCredential, S::getCredential, S::deleteCredential}},
        {F::file_drops, Rule::never, {}},
        {F::app_activation_events, Rule::never, {}},
        {F::gpu_surfaces, Rule::never, {}},
        {F::gpu_surface_scroll_drivers, Rule::any, {S::setGpuSurfaceScrollDrivers}},
        {F::context_menus, Rule::any, {S::showContextMenu}},
        {F::view_surface_adoption, Rule::any, {S::adoptViewSurface}},
        {F::audio_playback, Rule::any, {S::audioLoad}},
        {F::audio_streaming, Rule::any, {S::audioLoadUrl}},
        {F::audio_spectrum, Rule::never, {}},
    };
    return table;
}

Platform platformWith(std::initializer_list<PlatformSlot> slots) {
    Platform platform;
    for (PlatformSlot slot : slots) fillSlot(platform.slots, slot);
    return platform;
}

TEST(PlatformFeatures, TableCoversEveryFeatureInOrder) {
    ASSERT_EQ(derivations().size(), kPlatformFeatureCount);
    for (std::size_t i = 0; i < kPlatformFeatureCount; ++i) {
        EXPECT_EQ(static_cast<std::size_t>(derivations()[i].feature), i);
    }
}

TEST(PlatformFeatures, DerivedFromFilledSlotsWithoutBackendAnswer) {
    Platform full;
    fillAllSlots(full.slots);
    for (const Derivation& row : derivations()) {
        SCOPED_TRACE(std::string(platformFeatureName(row.feature)));
        EXPECT_FALSE(supports(Platform{}, row.feature));
        EXPECT_EQ(supports(full, row.feature), row.rule != Rule::never);

        Platform together;
        for (PlatformSlot slot : row.slots) fillSlot(together.slots, slot);
        EXPECT_EQ(supports(together, row.feature), row.rule != Rule::never);

        for (PlatformSlot slot : row.slots) {
            Platform alone;
            fillSlot(alone.slots, slot);
            EXPECT_EQ(supports(alone, row.feature), row.rule == Rule::any) << platformSlotName(slot);

            Platform allButOne = full;
            testing_slots::clearSlot(allButOne.slots, slot);
            EXPECT_EQ(supports(allButOne, row.feature), row.rule == Rule::any && row.slots.size() > 1)
                << platformSlotName(slot);
        }
    }
}

TEST(PlatformFeatures, SpotChecks) {
    EXPECT_FALSE(supports(platformWith({S::readClipboard}), F::clipboard_text));
    EXPECT_TRUE(supports(platformWith({S::showMessageDialog}), F::dialogs));
    EXPECT_FALSE(supports(platformWith({S::setCredential, S::getCredential}), F::credentials));
}

struct FeatureAnswers {
    bool answer = false;
    std::vector<PlatformFeature> asked;
};

bool answerFeature(void* context, PlatformFeature feature) {
    auto* answers = static_cast<FeatureAnswers*>(context);
    answers->asked.push_back(feature);
    return answers->answer;
}

TEST(PlatformFeatures, BackendAnswerAloneDecides) {
    for (bool answer : {true, false}) {
        FeatureAnswers answers{answer, {}};
        Platform platform;
        platform.context = &answers;
        platform.supportsFeature = &answerFeature;
        if (!answer) fillAllSlots(platform.slots);
        for (std::size_t i = 0; i < kPlatformFeatureCount; ++i) {
            EXPECT_EQ(supports(platform, static_cast<PlatformFeature>(i)), answer) << i;
        }
        ASSERT_EQ(answers.asked.size(), kPlatformFeatureCount);
        EXPECT_EQ(answers.asked.back(), F::audio_spectrum);
    }
}

TEST(PlatformFeatures, OutOfRangeValuesAreRefused) {
    FeatureAnswers answers{true, {}};
    Platform platform;
    platform.context = &answers;
    platform.supportsFeature = &answerFeature;
    EXPECT_FALSE(supports(platform, static_cast<PlatformFeature>(24)));
    EXPECT_FALSE(supports(platform, static_cast<PlatformFeature>(255)));
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(platformFeatureName(static_cast<PlatformFeature>(24)), "");

    EXPECT_EQ(platformFeatureFromNumber(23).value(), F::audio_spectrum);
    EXPECT_EQ(platformFeatureFromNumber(24).error(), Error::InvalidPlatformFeature);
    EXPECT_EQ(platformFeatureFromNumber(~0ull).error(), Error::InvalidPlatformFeature);
}

TEST(PlatformFeatures, NamesRoundTrip) {
    const std::vector<std::string_view> names = {
        "main_webview",
        "child_webviews",
        "native_views",
        "native_control_commands",
        "menus",
        "tray",
        "shortcuts",
        "dialogs",
        "clipboard_text",
        "clipboard_rich_data",
        "open_url",
        "reveal_path",
        "notifications",
        "recent_documents",
        "credentials",
        "file_drops",
        "app_activation_events",
        "gpu_surfaces",
        "gpu_surface_scroll_drivers",
        "context_menus",
        "view_surface_adoption",
        "audio_playback",
        "audio_streaming",
        "audio_spectrum",
    };
    ASSERT_EQ(names.size(), kPlatformFeatureCount);
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto feature = static_cast<PlatformFeature>(i);
        EXPECT_EQ(platformFeatureName(feature), names[i]);
        EXPECT_EQ(platformFeatureFromName(names[i]), feature);
    }
    EXPECT_FALSE(platformFeatureFromName("mainWebview").has_value());
    EXPECT_FALSE(platformFeatureFromName("").has_value());
}

}  // namespace
}  // namespace kelvo
