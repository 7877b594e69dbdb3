#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "HoppingDispatcher.h"
#include "LoaderFakes.h"
#include "TestImages.h"
#include "project/LoadThread.h"

namespace kalvane {
namespace {

using test::TempDir;

// Loaders on a worker with a dispatcher that really hops to the GUI thread
// (this test's thread), as the editor's does.
class LoaderThreads : public testing::Test {
 protected:
  std::vector<std::string> Photos(int n) {
    std::vector<std::string> paths;
    for (int i = 0; i < n; ++i) {
      paths.push_back(dir.File("p" + std::to_string(i) + ".png"));
      test::WriteSolid(paths.back(), 40, 30, 90, 90, 90);
    }
    return paths;
  }
  std::string Project(const std::vector<std::string>& paths) {
    std::string text = "[project]\nitemCount=" + std::to_string(paths.size()) + "\n";
    for (std::size_t i = 0; i < paths.size(); ++i)
      text += "[projectItem" + std::to_string(i) + "]\nname=" + paths[i] + "\n";
    std::ofstream(dir.File("p.vpj")) << text;
    return dir.File("p.vpj");
  }
  template <typename Loader>
  std::shared_ptr<Loader> Make() {
    auto loader = std::make_shared<Loader>();
    loader->SetMainWindow(&window.Doc);
    loader->SetDispatcher(&gui);
    loader->SetDialogs(&dialogs);
    return loader;
  }

  TempDir dir;
  test::THoppingDispatcher gui;
  test::TFakeLoaderWindow window;
  test::TScriptedDialogs dialogs;
};

TEST_F(LoaderThreads, EveryListenerCallComesOnTheGuiThread) {
  std::vector<std::thread::id> callers;
  window.Items.SetChangeHandler(
      3, [&](TLayerManagement&) { callers.push_back(std::this_thread::get_id()); });
  auto adder = Make<TPrjItemLoadThread>();
  adder->SetFiles(Photos(6));
  bool ended = false;
  adder->Start([&] { ended = true; });
  gui.PumpUntil([&] { return ended; });
  EXPECT_EQ(window.Items.Count(), 6);
  ASSERT_GE(callers.size(), 7u);  // six insertions and the selection
  for (const std::thread::id& id : callers)
    EXPECT_EQ(id, std::this_thread::get_id());

  callers.clear();
  auto loader = Make<TPrjLoadThread>();
  loader->SetProjectPath(Project(Photos(4)));
  window.Doc.Reset();
  ended = false;
  loader->Start([&] { ended = true; });
  gui.PumpUntil([&] { return ended; });
  EXPECT_EQ(window.Items.Count(), 4);
  EXPECT_FALSE(callers.empty());
  for (const std::thread::id& id : callers)
    EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(LoaderThreads, LettingGoOrClosingDuringALoadNeverWaitsForTheWorker) {
  auto loader = Make<TPrjLoadThread>();
  loader->SetProjectPath(Project(Photos(5)));
  bool ended = false;
  loader->Start([&] { ended = true; });
  // The window closes: it cancels and lets go of the loader while the
  // worker may be waiting for this thread. Neither may block here.
  loader->Cancel();
  loader.reset();
  gui.PumpUntil([&] { return ended; });
  EXPECT_EQ(window.Items.Count(), 0);  // a cancelled project load leaves nothing
  EXPECT_EQ(window.Caption, "Kalvane ");
}

// Dialogs that break down when asked for a file.
class TThrowingDialogs : public test::TScriptedDialogs {
 public:
  std::optional<std::string> OpenFile(const std::string&, const std::string&,
                                      const std::string&) override {
    throw std::runtime_error("out of dialog memory");
  }
};

TEST_F(LoaderThreads, AnErrorOnTheWorkerEndsTheLoadInsteadOfTheProgram) {
  TThrowingDialogs broken;
  auto loader = std::make_shared<TPrjLoadThread>();
  loader->SetMainWindow(&window.Doc);
  loader->SetDialogs(&broken);
  loader->SetProjectPath(Project({"/gone/a.png", Photos(1)[0]}));
  std::promise<void> ended;
  loader->Start([&] { ended.set_value(); });  // direct dispatcher: the step throws on the worker
  ended.get_future().wait();
  EXPECT_EQ(loader->Failure(), "out of dialog memory");
  EXPECT_TRUE(loader->IsCancelled());
  EXPECT_EQ(window.Items.Count(), 0);
  ASSERT_EQ(broken.Count("warn:"), 1);
  EXPECT_NE(broken.Log.back().find("out of dialog memory"), std::string::npos);
}

}  // namespace
}  // namespace kalvane
