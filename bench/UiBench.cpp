// The work area's hot paths in the real widgets (offscreen): a drag tick
// and a selection change. Prints median and worst times against the goals.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "BenchData.h"
#include "base/AppUtil.h"
#include "imaging/ImageKit.h"
#include "ui/LayerList.h"
#include "ui/MainWindow.h"
#include "ui/WindowDialogs.h"
#include "ui/WorkArea.h"

namespace {

using namespace kalvane;

// Answers nothing: the benchmark asks no questions.
class TSilentDialogs : public ui::IWindowDialogs {
 public:
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void Warn(const std::string&, const std::string&) override {}
  void Inform(const std::string&, const std::string&) override {}
  std::optional<std::string> OpenFile(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  bool AskOkCancel(const std::string&, const std::string&) override { return false; }
  ui::TAnswer AskYesNoCancel(const std::string&, const std::string&) override {
    return ui::TAnswer::No;
  }
  void ShowError(const std::string&, const std::string&) override {}
  std::vector<std::string> PickImages() override { return {}; }
  std::optional<std::string> PickProject(const std::string&) override { return std::nullopt; }
  std::optional<std::string> PickSaveFile(const std::string&, const std::string&,
                                          const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> PickFolder(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<int> AskExportWidth() override { return std::nullopt; }
  void OpenDocument(const std::string&) override {}
  void StartProgram(const std::string&) override {}
  void ShowAbout() override {}
};

struct TStats {
  double Median = 0, Worst = 0;
};

TStats Stats(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

// `count` photos with names of their own, linking to the large set.
std::vector<std::string> Photos(int count) {
  const auto& large = bench::LargeFiles();
  const std::string folder = GetAppFolder() + "data/many-" + std::to_string(count) + "/";
  std::filesystem::create_directories(folder);
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "shot_" + std::to_string(1000 + i) + ".jpg";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
      std::filesystem::create_symlink(large[static_cast<std::size_t>(i) % large.size()], path, ec);
    files.push_back(path);
  }
  return files;
}

std::unique_ptr<ui::TfrmMain> Loaded(ui::IWindowDialogs& dialogs, int count) {
  auto window = std::make_unique<ui::TfrmMain>(&dialogs, GetTempFolder() + "kalvane-bench-velinit");
  window->resize(1000, 800);
  window->show();
  window->AddImages(Photos(count));
  while (window->LoaderRunning())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QCoreApplication::processEvents();
  return window;
}

TStats DragTicks(ui::TfrmMain& window, bool mono) {
  TProjectDocument& document = window.Document();
  document.LayerItems().SetMonoMode(mono ? 1 : 0);
  TViewState view;
  ui::TWorkArea area(document, view, nullptr);
  area.resize(1280 + 35, 960 + 34);  // a 1280 x 960 canvas
  area.show();
  QCoreApplication::processEvents();
  TLayerItemObject* current = document.LayerItems().GetSelected();
  std::vector<double> ms;
  QElapsedTimer clock;
  for (int tick = 0; tick < 200; ++tick) {
    clock.start();
    current->SetOffset({tick % 40 - 20, tick % 30 - 15});
    document.LayerItems().Render();
    area.pboxMain->repaint();
    ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  document.LayerItems().SetMonoMode(0);
  return Stats(ms);
}

TStats SelectionChanges(ui::TfrmMain& window) {
  ui::TflmLayerList& panel = window.LayerList();
  std::vector<double> ms;
  QElapsedTimer clock;
  for (int i = 0; i < 60; ++i) {
    ui::TflmLayerItem* row = panel.Row((i * 7) % panel.RowCount());
    clock.start();
    QTest::mouseClick(row, Qt::LeftButton);
    window.WorkArea().pboxMain->repaint();
    ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  return Stats(ms);
}

// Paint ticks at 400 % while the view pans across the photo, once its
// level is decoded (the decode runs off the GUI thread; panning decodes
// nothing again).
TStats ZoomedPan(ui::TfrmMain& window, double& sharpAfter, double* restedAfter = nullptr) {
  ui::TWorkArea& area = window.WorkArea();
  QElapsedTimer wait;
  wait.start();
  area.SetZoom(4, {100, 100});
  area.pboxMain->repaint();
  while (area.pboxMain->Levels.Pending() > 0)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  sharpAfter = static_cast<double>(wait.nsecsElapsed()) / 1e6;
  std::vector<double> ms;
  QElapsedTimer clock;
  for (int tick = 0; tick < 200; ++tick) {
    clock.start();
    area.PanBy({tick % 50 < 25 ? -23.0 : 23.0, tick % 80 < 40 ? -11.0 : 11.0});
    area.pboxMain->repaint();
    ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  // The view made from the photos again once the panning rests.
  clock.start();
  while (restedAfter && !area.pboxMain->DrewPhoto())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (restedAfter) *restedAfter = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  return Stats(ms);
}

// One zoom step about the canvas's middle, painted (a level not yet
// decoded shows the work bitmap until it arrives).
TStats ZoomSteps(ui::TfrmMain& window) {
  ui::TWorkArea& area = window.WorkArea();
  area.ZoomFit();
  std::vector<double> ms;
  QElapsedTimer clock;
  for (int round = 0; round < 6; ++round) {
    for (int step = 0; step < 9; ++step) {
      clock.start();
      if (round % 2 == 0) {
        area.ZoomIn();
      } else {
        area.ZoomOut();
      }
      area.pboxMain->repaint();
      ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    while (area.pboxMain->Levels.Pending() > 0)
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return Stats(ms);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(GetTempFolder() + "kalvane-bench-config"));
  QApplication app(argc, argv);
  IKInitialize();
  TSilentDialogs dialogs;
  {
    auto window = Loaded(dialogs, 36);
    const TStats normal = DragTicks(*window, false), mono = DragTicks(*window, true);
    std::printf(
        "\nDrag tick, 36 items of 4000x3000, 1280x960 canvas, 200 ticks (goal: worst < 10 ms)\n");
    std::printf("  normal      median %6.2f ms   worst %6.2f ms\n", normal.Median, normal.Worst);
    std::printf("  monochrome  median %6.2f ms   worst %6.2f ms\n", mono.Median, mono.Worst);
    const TStats select = SelectionChanges(*window);
    std::printf(
        "\nSelection change, click to rebuilt panel and repainted canvas (goal: < 16 ms at 300)\n");
    std::printf("  36 items    median %6.2f ms   worst %6.2f ms\n", select.Median, select.Worst);
    double sharp = 0;
    const TStats pan = ZoomedPan(*window, sharp);
    std::printf(
        "\nZoomed canvas, 4000x3000 photos (goals: pan tick worst < 16 ms, zoom step < 50 ms)\n");
    std::printf("  pan at 400 %%, 200 ticks  median %6.2f ms   worst %6.2f ms\n", pan.Median,
                pan.Worst);
    std::printf("  view at 400 %% sharp after %6.2f ms (decoded off the GUI thread)\n", sharp);
    const TStats zoom = ZoomSteps(*window);
    std::printf("  zoom step, 54 steps     median %6.2f ms   worst %6.2f ms\n", zoom.Median,
                zoom.Worst);
    // The monochrome view made from the photos: the current one and five
    // others shown.
    TLayerManagement& items = window->Document().LayerItems();
    for (int i = 6; i < items.Count(); ++i)
      items.SetMonoVisibleByName(items.GetItem(i)->GetItemName(), false);
    items.SelectIndex(0);
    items.SetMonoMode(1);
    double rested = 0;
    const TStats monoPan = ZoomedPan(*window, sharp, &rested);
    std::printf("  monochrome of 6 photos at 400 %%, 200 ticks  median %6.2f ms   worst %6.2f ms\n",
                monoPan.Median, monoPan.Worst);
    std::printf("  (the work bitmap's view while panning, the photos' %.0f ms after it rests)\n",
                rested);
  }
  {
    auto window = Loaded(dialogs, 300);
    const TStats select = SelectionChanges(*window);
    std::printf("  300 items   median %6.2f ms   worst %6.2f ms\n", select.Median, select.Worst);
  }
  return 0;
}
