// The rotation step and the adds, against the test prefix's registry, with
// the events coming through the watcher's IDispatch.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakeShellWindows.h"
#include "ToolbarRegistry.h"
#include "app/DataCollection.h"
#include "app/SkinStore.h"

namespace {

// A skin by short name; "" stands for the empty string, and "before" for the
// values the prefix held before the watcher started.
std::string Skin(const std::string& name) {
    if (name.empty() || name == "before") return name;
    return "c:\\zelvo-test-skins\\" + name + ".bmp";
}

enum class Op { Registered, Revoked, Add, Remove };

struct Step {
    Op op;
    std::string skin;  // the skin added
    int index;         // the entry removed
    std::string valuesAfter;
};

Step Registered(const char* after) { return {Op::Registered, "", 0, after}; }
Step Revoked(const char* after) { return {Op::Revoked, "", 0, after}; }
Step Add(const char* skin) { return {Op::Add, skin, 0, skin}; }
Step Remove(int index, const char* after) { return {Op::Remove, "", index, after}; }

struct RotationCase {
    const char* name;
    std::vector<std::string> loaded;  // added in this order, as at start-up
    std::vector<Step> steps;
};

const RotationCase kRotationCases[] = {
    {"ThreeSkinsStartAtTheSecond",
     {"S1", "S2", "S3"},
     {Registered("S2"), Registered("S3"), Registered("S1"), Registered("S2"), Registered("S3"),
      Registered("S1")}},
    {"OneSkinIsWrittenEveryTime", {"S1"}, {Registered("S1"), Registered("S1"), Registered("S1")}},
    {"NoSkinsWriteTheEmptyString", {}, {Revoked("before"), Registered(""), Registered("")}},
    {"AddedSkinIsWrittenAtOnceAndWaitsForItsTurn",
     {"S1", "S2", "S3"},
     {Registered("S2"), Registered("S3"), Add("S4"), Registered("S4"), Registered("S1"), Registered("S2")}},
    {"RemovingTheCurrentLastEntryWrapsToTheFirst",
     {"S1", "S2", "S3"},
     {Registered("S2"), Registered("S3"), Remove(2, "S3"), Registered("S1"), Registered("S2")}},
    {"RemovingAnEarlierEntryKeepsTheIndex",
     {"S1", "S2", "S3"},
     {Registered("S2"), Remove(0, "S2"), Registered("S2"), Registered("S3")}},
    {"AddingToAnEmptyListStartsTheRotation", {}, {Add("S1"), Registered("S1"), Add("S2"), Registered("S2")}},
    {"RevocationsChangeNothing", {"S1", "S2"}, {Revoked("S2"), Registered("S2"), Revoked("S2"), Registered("S1")}},
};

class Rotation : public ::testing::TestWithParam<RotationCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(registration.Registered());
        ResetToolbarKey(true);
        SetToolbarValues("before");
        ASSERT_TRUE(watcher.Connect());
    }
    void TearDown() override {
        ResetToolbarKey(false);
        DeleteFileA(SkinListPath(ProgramFolderPrefix()));
    }

    void Apply(const Step& step) {
        switch (step.op) {
            case Op::Registered: EXPECT_EQ(S_OK, shell.FireLong(200, 1)); break;
            case Op::Revoked: EXPECT_EQ(S_OK, shell.FireLong(201, 1)); break;
            case Op::Add: watcher.AddSkin(Skin(step.skin).c_str()); break;
            case Op::Remove: watcher.RemoveSkin(step.index); break;
        }
    }

    FakeShellWindows shell;
    ShellWindowsRegistration registration{shell};
    CDataCollection watcher;
};

TEST_P(Rotation, WritesBothValuesAfterEveryStep) {
    const RotationCase& c = GetParam();
    for (const std::string& skin : c.loaded) watcher.AddSkin(Skin(skin).c_str());
    EXPECT_TRUE(ToolbarValuesAre(Skin(c.loaded.empty() ? "before" : c.loaded.back())));
    for (size_t i = 0; i < c.steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        Apply(c.steps[i]);
        EXPECT_TRUE(ToolbarValuesAre(Skin(c.steps[i].valuesAfter)));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Rotation, ::testing::ValuesIn(kRotationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The program only opens the key; the index still advances while it is
// missing.
TEST_F(Rotation, MissingKeyIsNeverCreatedAndTheIndexAdvancesAllTheSame) {
    ResetToolbarKey(false);
    for (const char* skin : {"S1", "S2", "S3"}) watcher.AddSkin(Skin(skin).c_str());
    for (const Step& step : {Registered(""), Revoked(""), Add("S4"), Remove(3, "")}) Apply(step);
    EXPECT_FALSE(ToolbarKeyExists());

    ResetToolbarKey(true);
    Apply(Registered(""));
    EXPECT_TRUE(ToolbarValuesAre(Skin("S3")));
}

}  // namespace
