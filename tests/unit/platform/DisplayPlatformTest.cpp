#include "platform/DisplayPlatform.h"

#include "platform/UiLanguage.h"

#include <gtest/gtest.h>

namespace {
struct Case
{
    const char* what;
    DisplayEnvironment environment;
    QByteArray platform;
    bool withoutX11;
};

const Case cases[] = {
    {"X11 session: Qt's own choice", {"", "", ":0"}, "", false},
    {"Wayland with XWayland: X11 through XWayland", {"", "wayland-0", ":0"}, "xcb", false},
    {"Wayland without XWayland: Wayland, and the user is told",
     {"", "wayland-0", ""},
     "wayland",
     true},
    {"no display at all: Qt's own choice and its own message", {"", "", ""}, "", false},
    {"the user's choice of X11 stands", {"xcb", "wayland-0", ":0"}, "", false},
    {"the user's choice of Wayland stands, and is told", {"wayland", "wayland-0", ":0"}, "", true},
    {"a list is tried in order: Wayland first", {"wayland;xcb", "wayland-0", ""}, "", true},
    {"a list is tried in order: X11 first", {"xcb;wayland", "wayland-0", ":0"}, "", false},
    {"Wayland chosen but no Wayland display: nothing to tell", {"wayland", "", ":0"}, "", false},
    {"the offscreen platform of the tests", {"offscreen", "wayland-0", ""}, "", false},
};
} // namespace

TEST(DisplayPlatform, ChoosesX11WhereThereIsOneAndWaylandOtherwise)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DisplayPlatform chosen = ChooseDisplayPlatform(c.environment);
        EXPECT_EQ(chosen.platform, c.platform);
        EXPECT_EQ(chosen.withoutX11, c.withoutX11);
    }
}

TEST(UiLanguage, TheFirstDesktopLanguageTheProgramSpeaks)
{
    // As QLocale::uiLanguages() reports LANGUAGE, LC_ALL, LC_MESSAGES and LANG.
    const struct
    {
        const char* what;
        QStringList languages;
        UiLanguage chosen;
    } cases[] = {
        {"LANG=en_US.UTF-8", {"en-US", "en-Latn-US", "en"}, UiLanguage::English},
        {"LANG=ja_JP.UTF-8", {"ja-JP", "ja-Jpan-JP", "ja"}, UiLanguage::Japanese},
        {"LANG=C: the texts as they were", {"C"}, UiLanguage::Japanese},
        {"LC_ALL=POSIX", {"POSIX"}, UiLanguage::Japanese},
        {"nothing set", {}, UiLanguage::Japanese},
        {"German alone: no translation, Japanese",
         {"de-DE", "de-Latn-DE", "de"},
         UiLanguage::Japanese},
        {"LANGUAGE=de:en: German has none, English is next",
         {"de", "de-DE", "en", "en-US"},
         UiLanguage::English},
        {"LANGUAGE=fr:ja:en: Japanese comes before English",
         {"fr", "ja", "ja-JP", "en"},
         UiLanguage::Japanese},
        {"British English with an underscore", {"en_GB"}, UiLanguage::English},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ChooseUiLanguage(c.languages), c.chosen);
    }
}
