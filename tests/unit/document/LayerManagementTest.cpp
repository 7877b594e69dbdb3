#include "document/LayerManagement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <future>

#include "TestImages.h"

namespace kalvane {
namespace {

using Px = TBitmap24::Pixel;
using test::TempDir;

class ItemList : public testing::Test {
 protected:
  void SetUp() override {
    list.SetWorkBitmap(&work);
    list.SetItemScale(1.0);
    list.SetChangeHandler(1, [this](TLayerManagement& sender) {
      EXPECT_EQ(&sender, &list);
      ++notified;
    });
  }
  // A grey picture of the given size, loaded at scale 1.
  std::string Photo(const std::string& name, int w = 30, int h = 20, int grey = 100) {
    const std::string path = dir.File(name);
    test::WriteSolid(path, w, h, grey, grey, grey);
    return path;
  }
  void AddPhotos(std::initializer_list<const char*> names) {
    for (const char* name : names)
      list.AddItem(name, Photo(name));
  }
  std::vector<std::string> Order() const {
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i) {
      EXPECT_EQ(list.GetItem(i)->GetIndex(), i);
      names.push_back(list.GetItem(i)->GetItemName());
    }
    return names;
  }

  TempDir dir;
  TBitmap24 work;
  TLayerManagement list;
  std::atomic<int> notified{0};
};

using Names = std::vector<std::string>;

TEST_F(ItemList, OnlyTheNeighboursAroundTheTurnAreOverlaid) {
  AddPhotos({"a.png", "b.png", "c.png", "d.png"});
  auto shown = [&] {
    std::string s;
    for (int i = 0; i < list.Count(); ++i)
      s += list.GetItem(i)->GetMonoVisible() ? '1' : '0';
    return s;
  };
  list.SelectIndex(2);
  list.SetMonoVisibleNeighbours();
  EXPECT_EQ(shown(), "0101");
  list.SelectIndex(0);  // the last photo comes before the first
  list.SetMonoVisibleNeighbours();
  EXPECT_EQ(shown(), "0101");
  list.SelectIndex(3);
  list.SetMonoVisibleNeighbours();
  EXPECT_EQ(shown(), "1010");
}

TEST_F(ItemList, IndexOutOfRangeGivesNothing) {
  AddPhotos({"a.png"});
  EXPECT_EQ(list.GetItem(-1), nullptr);
  EXPECT_EQ(list.GetItem(1), nullptr);
  EXPECT_NE(list.GetItem(0), nullptr);
}

TEST_F(ItemList, InsertClampsThePositionAndRenumbers) {
  AddPhotos({"a.png", "b.png", "c.png"});
  notified = 0;
  list.InsertItem("d.png", 99, Photo("d.png"));
  EXPECT_EQ(Order(), (Names{"a.png", "b.png", "c.png", "d.png"}));
  list.InsertItem("e.png", -2, Photo("e.png"));
  EXPECT_EQ(Order(), (Names{"e.png", "a.png", "b.png", "c.png", "d.png"}));
  EXPECT_EQ(notified, 2);
  EXPECT_FALSE(list.GetItem(0)->GetSelected());  // new items are not selected
}

TEST_F(ItemList, MoveSwapsWithTheNeighbourWithinBounds) {
  AddPhotos({"a.png", "b.png", "c.png"});
  notified = 0;
  list.Move(0, 0);
  list.Move(2, 1);
  list.Move(5, 1);
  EXPECT_EQ(notified, 0);
  list.Move(0, 1);
  EXPECT_EQ(Order(), (Names{"b.png", "a.png", "c.png"}));
  list.Move(2, 7);  // anything but 1 is up
  EXPECT_EQ(Order(), (Names{"b.png", "c.png", "a.png"}));
  EXPECT_EQ(notified, 2);
}

TEST_F(ItemList, DeleteRenumbersAndSelectsTheFirst) {
  AddPhotos({"a.png", "b.png", "c.png"});
  list.SelectIndex(2);
  notified = 0;
  list.Delete(1);
  EXPECT_EQ(Order(), (Names{"a.png", "c.png"}));
  EXPECT_EQ(list.GetSelected(), list.GetItem(0));
  EXPECT_EQ(notified, 2);  // the selection, then the delete
  notified = 0;
  list.Delete(7);
  EXPECT_EQ(notified, 0);
}

TEST_F(ItemList, DeletingTheOnlyItemNotifiesOnce) {
  AddPhotos({"a.png"});
  notified = 0;
  list.Delete(0);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.GetSelected(), nullptr);
  EXPECT_EQ(notified, 1);
}

TEST_F(ItemList, DeleteAndClearNeedTheWorkBitmap) {
  TLayerManagement bare;
  bare.AddItem("a.png", Photo("a.png"));
  bare.Delete(0);
  bare.Clear();
  EXPECT_EQ(bare.Count(), 1);
  AddPhotos({"a.png", "b.png"});
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ItemList, NamesAreCaseSensitiveAndTheLastMatchWins) {
  list.AddItem("a.jpg", Photo("a.png"));
  list.AddItem("A.jpg", Photo("b.png"));
  list.AddItem("a.jpg", Photo("c.png"));
  EXPECT_EQ(list.FindByName("A.jpg"), list.GetItem(1));
  EXPECT_EQ(list.FindByName("a.jpg"), list.GetItem(2));
  EXPECT_EQ(list.FindByName("x.jpg"), nullptr);
  list.SelectName("a.jpg");  // both items of that name
  EXPECT_TRUE(list.GetItem(0)->GetSelected());
  EXPECT_FALSE(list.GetItem(1)->GetSelected());
  EXPECT_EQ(list.GetSelected(), list.GetItem(2));
}

TEST_F(ItemList, ReverseAndSelectNotifyEvenWhenEmpty) {
  list.Reverse();
  list.SelectIndex(0);
  list.SetMonoVisibleAll(false);
  EXPECT_EQ(notified, 3);
  AddPhotos({"a.png", "b.png", "c.png"});
  list.Reverse();
  EXPECT_EQ(Order(), (Names{"c.png", "b.png", "a.png"}));
}

TEST_F(ItemList, RotationIsStoredAsGivenAndReducedOnceForTheItems) {
  list.SetRotation(45000);  // empty: stored, no notification
  EXPECT_EQ(list.GetRotation(), 45000);
  EXPECT_EQ(notified, 0);
  list.SetRotation(0);
  list.AddItem("a.png", Photo("a.png", 30, 20));
  list.SetRotation(45000);
  EXPECT_EQ(list.GetRotation(), 45000);
  EXPECT_EQ(list.GetItem(0)->GetRotation(), 9000);
  EXPECT_EQ(list.GetItem(0)->GetDisplayBitmap()->Width(), 20);
  list.SetRotation(-45000);
  EXPECT_EQ(list.GetItem(0)->GetRotation(), -9000);
  EXPECT_EQ(list.GetItem(0)->GetDisplayBitmap()->Width(), 20);
  list.SetRotation(81000);
  EXPECT_EQ(list.GetItem(0)->GetRotation(), 45000);
  EXPECT_EQ(list.GetItem(0)->GetDisplayBitmap()->Width(), 20);
  list.SetRotation(18000);
  EXPECT_EQ(list.GetItem(0)->GetDisplayBitmap()->Width(), 30);
}

TEST_F(ItemList, NewItemsTakeTheListRotationAndScale) {
  list.SetItemScale(0.5);
  list.SetRotation(9000);
  list.AddItem("a.png", Photo("a.png", 40, 20));
  EXPECT_EQ(list.GetItem(0)->GetRotation(), 9000);
  EXPECT_EQ(list.GetItem(0)->GetDisplayBitmap()->Width(), 10);
  EXPECT_EQ(list.GetItem(0)->GetDisplayBitmap()->Height(), 20);
}

TEST_F(ItemList, ItemScaleIsCheckedAndPassedOnWithoutReloading) {
  AddPhotos({"a.png", "b.png"});
  notified = 0;
  list.SetItemScale(0);
  list.SetItemScale(1.2);
  EXPECT_EQ(list.GetItemScale(), 1.0);
  list.SetItemScale(0.4);
  EXPECT_EQ(list.GetItemScale(), 0.4);
  EXPECT_EQ(list.GetItem(1)->GetScale(), 0.4);
  EXPECT_EQ(list.GetItem(1)->GetDisplayBitmap()->Width(), 30);
  EXPECT_EQ(notified, 0);
}

TEST_F(ItemList, MonoSettingsAndTheirNotifications) {
  AddPhotos({"a.png"});
  notified = 0;
  list.SetMonoMode(2);
  EXPECT_EQ(list.GetMonoMode(), 0);
  EXPECT_EQ(notified, 0);
  list.SetMonoMode(1);
  EXPECT_EQ(notified, 1);
  list.SetMonoVisibleByName("zzz", false);
  EXPECT_EQ(notified, 1);
  EXPECT_FALSE(list.GetMonoVisibleByName("zzz"));
  list.SetMonoVisibleByName("a.png", false);
  EXPECT_FALSE(list.GetMonoVisibleByName("a.png"));
  EXPECT_EQ(notified, 2);
  list.SetDensity(0);
  EXPECT_EQ(list.GetDensity(), 0.3);
  list.SetDensity(0.7);
  EXPECT_EQ(list.GetDensity(), 0.7);
  EXPECT_EQ(notified, 2);
}

TEST_F(ItemList, ListenersRunInSlotOrder) {
  std::string order;
  for (int slot : {5, 3, 2, 4}) {
    list.SetChangeHandler(slot, [&order, slot](TLayerManagement&) { order += char('0' + slot); });
  }
  list.SetChangeHandler(1, nullptr);
  list.SetChangeHandler(6, [&order](TLayerManagement&) { order += '6'; });
  list.Changed();
  EXPECT_EQ(order, "2345");
}

TEST_F(ItemList, EmptyRenderIsAWhiteSquareOfHundred) {
  work.SetSize(5, 5);
  work.Fill(0, 0, 0);
  list.Render();
  EXPECT_EQ(work.Width(), 100);
  EXPECT_EQ(work.Height(), 100);
  EXPECT_EQ(work.GetPixel(99, 99), (Px{255, 255, 255}));
}

TEST_F(ItemList, WorkBitmapTakesTheLargestWidthAndHeight) {
  list.AddItem("w.png", Photo("w.png", 300, 225));
  list.AddItem("t.png", Photo("t.png", 225, 300));
  list.Render();
  EXPECT_EQ(work.Width(), 300);
  EXPECT_EQ(work.Height(), 300);
  EXPECT_EQ(list.GetOverlayBitmap().Width(), 300);
}

TEST_F(ItemList, ColourRenderDrawsOnlyTheSelectedItemAtItsOffset) {
  list.AddItem("a.png", Photo("a.png", 30, 20, 100));
  list.AddItem("b.png", Photo("b.png", 30, 20, 50));
  list.SelectIndex(1);
  list.GetItem(1)->SetOffset({5, 2});
  list.Render();
  EXPECT_EQ(work.GetPixel(4, 10), (Px{255, 255, 255}));
  EXPECT_EQ(work.GetPixel(5, 2), (Px{50, 50, 50}));
  EXPECT_EQ(work.GetPixel(29, 19), (Px{50, 50, 50}));
}

TEST_F(ItemList, MonoRenderDarkensTheRedItemByTheOverlay) {
  list.AddItem("a.png", Photo("a.png", 30, 20, 100));  // mono 180
  list.AddItem("b.png", Photo("b.png", 30, 20, 100));
  list.SelectIndex(0);
  list.SetMonoMode(1);
  list.Render();
  // overlay: 255 - Round(75 * 0.3) = 233; red item (255, 180, 180);
  // e = Round(|233 - 255| * 0.8) = 18
  EXPECT_EQ(list.GetOverlayBitmap().GetPixel(3, 3), (Px{233, 233, 233}));
  EXPECT_EQ(work.GetPixel(3, 3), (Px{162, 162, 237}));
  // unmarking the other item leaves a white overlay and the plain red item
  list.SetMonoVisibleByName("b.png", false);
  list.Render();
  EXPECT_EQ(work.GetPixel(3, 3), (Px{180, 180, 255}));
}

// The zoomed canvas composes the same view from other pictures: from the
// items' own monochrome copies it must be the rendered work bitmap.
TEST_F(ItemList, ComposedMonoViewIsTheRenderedOne) {
  test::WriteGradient(dir.File("g.png"), 40, 30);
  list.AddItem("g.png", dir.File("g.png"));
  list.AddItem("a.png", Photo("a.png", 30, 20, 20));
  list.AddItem("b.png", Photo("b.png", 36, 24, 210));
  test::WriteGradient(dir.File("h.png"), 24, 40);
  list.AddItem("h.png", dir.File("h.png"));
  list.GetItem(1)->SetOffset({4, 3});
  list.GetItem(2)->SetOffset({-5, 8});
  list.GetItem(3)->SetOffset({12, -6});
  list.SetMonoVisibleByName("h.png", false);
  list.SelectIndex(2);
  list.SetDensity(0.6);
  list.SetMonoMode(1);
  list.Render();
  auto placed = [this](int i) {
    TBitmap24 layer(work.Width(), work.Height());
    layer.Fill(0, 0, 0);
    const TLayerItemObject& item = *list.GetItem(i);
    layer.Draw(*item.GetMonoBitmap(), item.GetOffset().X, item.GetOffset().Y);
    return layer;
  };
  const TBitmap24 view = ComposeMono({placed(0), placed(1)}, placed(2), 0.6);
  ASSERT_EQ(view.Width(), work.Width());
  for (int y = 0; y < work.Height(); ++y) {
    SCOPED_TRACE(y);
    ASSERT_TRUE(std::equal(view.Row(y), view.Row(y) + view.Width() * 3, work.Row(y)));
  }
}

TEST_F(ItemList, ChangesInColourModeReachTheOverlayWhenMonochromeRenders) {
  list.AddItem("a.png", Photo("a.png", 30, 20, 100));
  list.AddItem("b.png", Photo("b.png", 30, 20, 100));
  list.SelectIndex(0);
  list.SetMonoMode(1);
  list.SetMonoMode(0);
  list.SetMonoVisibleByName("b.png", false);  // changed while the overlay is not shown
  list.SetMonoMode(1);
  list.Render();
  EXPECT_EQ(work.GetPixel(3, 3), (Px{180, 180, 255}));
}

TEST_F(ItemList, RenderDoesNotRebuildTheOverlay) {
  list.AddItem("a.png", Photo("a.png", 30, 20, 100));
  list.AddItem("b.png", Photo("b.png", 30, 20, 100));
  list.SelectIndex(0);
  list.SetMonoMode(1);
  list.SetAutoOverlay(false);
  list.GetItem(1)->SetMonoVisible(false);  // not through the list: no rebuild
  list.Render();
  EXPECT_EQ(work.GetPixel(3, 3), (Px{162, 162, 237}));
  list.SetDensity(0.3);  // rebuilds
  list.Render();
  EXPECT_EQ(work.GetPixel(3, 3), (Px{180, 180, 255}));
}

TEST_F(ItemList, MonoRenderFollowsOffsetsMovedWithoutANotice) {
  // automatic alignment and its undo move other items' offsets directly
  list.AddItem("a.png", Photo("a.png", 30, 20, 100));
  list.AddItem("b.png", Photo("b.png", 30, 20, 100));
  list.SelectIndex(0);
  list.SetMonoMode(1);
  list.Render();
  list.GetItem(1)->SetOffset({10, 5});
  list.Render();
  EXPECT_EQ(work.GetPixel(3, 3), (Px{180, 180, 255}));  // b has left this place
  EXPECT_EQ(work.GetPixel(12, 7), (Px{162, 162, 237}));
  list.GetItem(1)->SetOffset({0, 0});
  list.Render();
  EXPECT_EQ(work.GetPixel(3, 3), (Px{162, 162, 237}));
}

// The overlay as its definition gives it: white, then every marked item that
// is not current blended in list order.
TBitmap24 ReferenceOverlay(const TLayerManagement& list) {
  TBitmap24 expected(list.GetOverlayBitmap().Width(), list.GetOverlayBitmap().Height());
  expected.FillWhite();
  for (int i = 0; i < list.Count(); ++i) {
    const TLayerItemObject* item = list.GetItem(i);
    if (item->GetMonoVisible() && !item->GetSelected()) {
      item->DrawMonoDark(expected, list.GetDensity());
    }
  }
  return expected;
}

bool SamePixels(const TBitmap24& a, const TBitmap24& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (!(a.GetPixel(x, y) == b.GetPixel(x, y))) return false;
  return true;
}

TEST_F(ItemList, OverlayAlwaysEqualsAFullRebuild) {
  list.SetMonoMode(1);  // the mode that shows it, where every change keeps it up to date
  const int greys[] = {60, 100, 140, 30, 90};
  auto check = [&](const char* step) {
    SCOPED_TRACE(step);
    EXPECT_TRUE(SamePixels(list.GetOverlayBitmap(), ReferenceOverlay(list)));
  };
  for (int i = 0; i < 5; ++i) {
    const std::string name = "p" + std::to_string(i) + ".png";
    list.AddItem(name, Photo(name, 30 + i, 20, greys[i]));
    check("add");
    // as the project loader does: the offset is set after the add, without
    // a notification; the next add must draw the item where it now is
    list.GetItem(i)->SetOffset({i - 2, 1 - i});
  }
  list.Changed();
  check("offsets");
  list.SelectIndex(2);
  check("select");
  list.SetMonoVisibleByName("p0.png", false);
  check("unmark first");
  list.Move(3, 1);
  check("move");
  list.SetDensity(0.55);
  check("density");
  list.SetRotation(9000);
  check("rotation");
  list.Delete(4);
  check("delete");
  list.InsertItem("q.png", 1, Photo("q.png", 25, 25, 70));
  check("insert");
}

TEST_F(ItemList, AnItemThatCouldNotBeDecodedTakesNoRoom) {
  std::ofstream(dir.File("broken.jpg")) << "not a jpeg";
  TLayerItemObject* broken = list.AddItem("broken.jpg", dir.File("broken.jpg"));
  EXPECT_FALSE(broken->HasImage());
  EXPECT_FALSE(broken->LoadError().empty());
  list.SelectIndex(0);
  list.SetMonoMode(1);
  list.Render();
  EXPECT_EQ(work.Width(), 100);
  list.AddItem("a.png", Photo("a.png", 30, 20));
  list.Render();
  EXPECT_EQ(work.Width(), 30);
  EXPECT_EQ(work.Height(), 20);
}

TEST_F(ItemList, CreatedItemsCanBeCheckedBeforeTheyAreAdded) {
  std::unique_ptr<TLayerItemObject> item = list.CreateItem("a.png", Photo("a.png"));
  EXPECT_EQ(list.Count(), 0);
  ASSERT_TRUE(item->HasImage());
  list.InsertCreated(std::move(item), 5);
  EXPECT_EQ(list.GetItem(0)->GetIndex(), 0);
  EXPECT_EQ(notified, 1);
}

TEST_F(ItemList, ItemsDecodedOnWorkersJoinOnTheGuiThreadWhileItPaints) {
  for (int i = 0; i < 12; ++i)
    Photo("p" + std::to_string(i) + ".png", 40 + i, 30);
  list.SetMonoMode(1);
  std::vector<std::future<std::unique_ptr<TLayerItemObject>>> decoding;
  for (int i = 0; i < 12; ++i) {
    const std::string name = "p" + std::to_string(i) + ".png";
    decoding.push_back(std::async(std::launch::async,
                                  [this, name] { return list.CreateItem(name, dir.File(name)); }));
  }
  for (auto& decoded : decoding) {
    list.Render();
    {
      // What the canvas paints: the list held still, the bitmap fitted to it.
      const TLayerManagement::TLockedView view = list.LockedView();
      CanvasLock lock(work);
      int widest = 100;
      for (int i = 0; i < view.Count(); ++i)
        widest = i == 0 ? view[i].GetDisplayBitmap()->Width()
                        : std::max(widest, view[i].GetDisplayBitmap()->Width());
      EXPECT_EQ(work.Width(), widest);
    }
    list.InsertCreated(decoded.get(), list.Count());
    if (list.Count() == 1) list.SelectIndex(0);
  }
  list.Render();
  EXPECT_EQ(list.Count(), 12);
  EXPECT_EQ(work.Width(), 51);
}

}  // namespace
}  // namespace kalvane
