#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "document/BandManagement.h"
#include "project/EditHistory.h"
#include "project/ProjectDocument.h"

namespace kalvane {

// The undoable changes of a project. Each keeps the values before and
// after, and sets them through the document's operations by item id.

// Offsets of one or more items: a drag, nudges, an automatic alignment.
class TOffsetStep : public TEditStep {
 public:
  struct TChange {
    TItemId Id = 0;
    TItemOffset Before, After;
  };
  using TClock = std::chrono::steady_clock;
  // `nudge`: nudges of one item become one step while they follow each
  // other within kNudgeRun (a key held repeats far faster); a nudge after
  // a pause is a step of its own.
  static constexpr std::chrono::milliseconds kNudgeRun{1000};
  TOffsetStep(std::string name, std::vector<TChange> changes, bool nudge = false,
              TClock::time_point at = TClock::now())
      : StepName(std::move(name)), Changes(std::move(changes)), Nudge(nudge), Last(at) {}
  std::string Name() const override { return StepName; }
  void Undo(TProjectDocument& document) override;
  void Redo(TProjectDocument& document) override;
  int MergeKind() const override { return Nudge ? 1 : -1; }
  bool MergeWith(const TEditStep& later) override;

 private:
  std::string StepName;
  std::vector<TChange> Changes;
  bool Nudge = false;
  TClock::time_point Last;  // of the last nudge merged in
};

// The order of the items: up, down, reverse.
class TOrderStep : public TEditStep {
 public:
  TOrderStep(std::string name, std::vector<TItemId> before, std::vector<TItemId> after)
      : StepName(std::move(name)), Before(std::move(before)), After(std::move(after)) {}
  std::string Name() const override { return StepName; }
  void Undo(TProjectDocument& document) override { document.SetItemOrder(Before); }
  void Redo(TProjectDocument& document) override { document.SetItemOrder(After); }

 private:
  std::string StepName;
  std::vector<TItemId> Before, After;
};

// The rotation of every item.
class TRotationStep : public TEditStep {
 public:
  TRotationStep(std::string name, std::int32_t before, std::int32_t after)
      : StepName(std::move(name)), Before(before), After(after) {}
  std::string Name() const override { return StepName; }
  void Undo(TProjectDocument& document) override { document.SetRotation(Before); }
  void Redo(TProjectDocument& document) override { document.SetRotation(After); }

 private:
  std::string StepName;
  std::int32_t Before = 0, After = 0;
};

// Items deleted (`added` false) or added (true). While they are out of the
// list the step keeps them, pictures and all, and puts the same items back:
// no photo is read again.
class TItemsStep : public TEditStep {
 public:
  TItemsStep(std::string name, std::vector<TItemId> ids, bool added,
             std::vector<TTakenItem> taken = {})
      : StepName(std::move(name)), Ids(std::move(ids)), Added(added), Taken(std::move(taken)) {}
  std::string Name() const override { return StepName; }
  void Undo(TProjectDocument& document) override;
  void Redo(TProjectDocument& document) override;

 private:
  void Take(TProjectDocument& document);
  void PutBack(TProjectDocument& document);
  std::string StepName;
  std::vector<TItemId> Ids;
  bool Added = false;
  std::vector<TTakenItem> Taken;
};

// The trimming box.
class TBoxStep : public TEditStep {
 public:
  TBoxStep(const TRelBox& before, const TRelBox& after) : Before(before), After(after) {}
  std::string Name() const override;
  void Undo(TProjectDocument& document) override { document.SetTrimRelBox(Before); }
  void Redo(TProjectDocument& document) override { document.SetTrimRelBox(After); }

 private:
  TRelBox Before, After;
};

// The guides: one created, moved or deleted, or all deleted.
class TGuidesStep : public TEditStep {
 public:
  TGuidesStep(std::string name, std::vector<TGuideShape> before, std::vector<TGuideShape> after)
      : StepName(std::move(name)), Before(std::move(before)), After(std::move(after)) {}
  std::string Name() const override { return StepName; }
  void Undo(TProjectDocument& document) override { document.SetGuideLines(Before); }
  void Redo(TProjectDocument& document) override { document.SetGuideLines(After); }

 private:
  std::string StepName;
  std::vector<TGuideShape> Before, After;
};

}  // namespace kalvane
