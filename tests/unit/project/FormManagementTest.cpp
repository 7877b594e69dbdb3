#include "project/FormManagement.h"

#include <gtest/gtest.h>

#include "FakeCommands.h"

namespace kalvane {
namespace {

using test::TFakeCommands;

const char* kItemCommands[] = {"btnNewProject",
                               "FM1",
                               "btnSaveAs",
                               "FM4",
                               "btnFlashExport",
                               "FM5",
                               "btnDesignExport",
                               "FM7",
                               "btnMFlashExport",
                               "FM9",
                               "FM10",
                               "LM2",
                               "LM3",
                               "LM4",
                               "LM5",
                               "LM6",
                               "LM9",
                               "LM10",
                               "btnLayerTrash",
                               "btnLayerTrashAll",
                               "btnLayerUp",
                               "btnLayerDown",
                               "btnLayerReverse",
                               "btnLayerRotate1",
                               "btnLayerRotate2",
                               "btnLayerMono",
                               "W1",
                               "btnImageLock",
                               "btnTrimShow",
                               "btnTrimLock",
                               "btnGuideShow",
                               "btnGuideLock",
                               "btnHTMLPreview",
                               "btnPreview",
                               "cmbFrameRate",
                               "OM1",
                               "OM2"};

TEST(CommandStates, WithItemsEverythingIsOn) {
  TFakeCommands w;
  w.Items = 3;
  w.Down = {"btnTrimShow"};
  TFormManagement form;
  form.SetMainWindow(&w);
  form.UpdateCommandStates();
  for (const char* name : kItemCommands)
    EXPECT_TRUE(w.IsCommandEnabled(name)) << name;
  EXPECT_FALSE(w.IsCommandEnabled("LM7"));  // monochrome is off
  EXPECT_TRUE(w.Visible["flmLayer"]);
  EXPECT_TRUE(w.Visible["pboxDrag"]);
  EXPECT_TRUE(w.TrimBox);
  EXPECT_FALSE(w.Guides);
  EXPECT_EQ(w.Enabled.count("btnSave"), 0u);  // not its business
  w.Down.insert("btnLayerMono");
  form.UpdateCommandStates();
  EXPECT_TRUE(w.IsCommandEnabled("LM7"));
  EXPECT_TRUE(w.IsCommandEnabled("LM8"));
}

TEST(CommandStates, TheLastItemGoneSwitchesAllOffAndMonochromeToo) {
  TFakeCommands w;
  w.Items = 0;
  w.Down = {"btnLayerMono", "btnTrimShow", "btnGuideShow"};
  TFormManagement form;
  form.SetMainWindow(&w);
  form.UpdateCommandStates();
  for (const char* name : kItemCommands)
    EXPECT_FALSE(w.IsCommandEnabled(name)) << name;
  EXPECT_FALSE(w.IsCommandEnabled("LM7"));
  EXPECT_FALSE(w.IsButtonDown("btnLayerMono"));
  EXPECT_EQ(w.Clicks, "btnLayerMono;");
  EXPECT_FALSE(w.Visible["flmLayer"]);
  EXPECT_FALSE(w.TrimBox);
  EXPECT_FALSE(w.Guides);
}

TEST(SavedState, KeptInTheModelAndShownByTheSaveCommands) {
  TFakeCommands w;
  TFormManagement form;
  form.MarkModified();  // without a window the state is still kept
  EXPECT_FALSE(form.IsSaved());
  form.SetMainWindow(&w);
  form.MarkSaved();
  EXPECT_TRUE(form.IsSaved());
  EXPECT_FALSE(w.IsCommandEnabled("btnSave"));
  EXPECT_FALSE(w.IsCommandEnabled("FM3"));
  // Commands left on by someone else do not hide a change from the model.
  w.Enabled["btnSave"] = w.Enabled["FM3"] = true;
  form.MarkModified();
  EXPECT_FALSE(form.IsSaved());
  form.MarkModified();
  EXPECT_FALSE(form.IsSaved());
  EXPECT_TRUE(w.IsCommandEnabled("btnSave"));
  EXPECT_TRUE(w.IsCommandEnabled("FM3"));
  form.MarkSaved();
  EXPECT_FALSE(w.IsCommandEnabled("FM3"));
}

}  // namespace
}  // namespace kalvane
